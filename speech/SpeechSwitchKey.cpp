#include "speech/SpeechSwitchKey.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "speech/SpeechSettings.h"

namespace sor {
namespace {

const QKeySequence kSwitchKeys(Qt::CTRL | Qt::ALT | Qt::Key_S);

bool ownsSwitchCommand(const QWidget* window)
{
    for (const QAction* a : window->findChildren<QAction*>())
        if (a->isEnabled() && a->shortcut() == kSwitchKeys)
            return true;
    return false;
}

}  // namespace

TSpeechSwitchKey::TSpeechSwitchKey(SpeechSettings& settings, QObject* parent) : QObject(parent), settings_(settings)
{
    qApp->installEventFilter(this);
}

TSpeechSwitchKey::~TSpeechSwitchKey()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool TSpeechSwitchKey::isSwitchKey(const QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods =
        key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
    if (mods != (Qt::ControlModifier | Qt::AltModifier))
        return false;
    // The S key also under a Russian layout, where it types "ы".
    return key->key() == Qt::Key_S || key->nativeVirtualKey() == 's' || key->nativeVirtualKey() == 'S';
}

bool TSpeechSwitchKey::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!isSwitchKey(key) || key->isAutoRepeat())
        return false;
    if (ownsSwitchCommand(static_cast<QWidget*>(watched)->window()))
        return false;
    settings_.switchSpeechByPlayer();
    return true;  // taken: the window below does not get it once more
}

}  // namespace sor

#include "speech/SpokenMessageBox.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "speech/Announce.h"
#include "speech/MessageDlg.h"
#include "speech/SpeechRoutines.h"

namespace sor {
namespace {

struct ButtonKind
{
    int bit;
    const char* name;  // the button's name in the set
    QString caption;
    int result;        // -1: does not close the box
    bool announced;
};

// In the order shown.
const QList<ButtonKind>& buttonKinds()
{
    static const QList<ButtonKind> kinds = {
        {mbYes, "Yes", QStringLiteral("Да"), mrYes, true},
        {mbNo, "No", QStringLiteral("Нет"), mrNo, true},
        {mbOK, "OK", QStringLiteral("ОК"), mrOk, true},
        {mbCancel, "Cancel", QStringLiteral("Отмена"), mrCancel, true},
        {mbAbort, "Abort", QStringLiteral("Прервать"), mrAbort, true},
        {mbRetry, "Retry", QStringLiteral("Повторить"), mrRetry, true},
        {mbIgnore, "Ignore", QStringLiteral("Игнорировать"), mrIgnore, true},
        // The system never asks for these three; they keep the platform's captions.
        {mbAll, "All", QStringLiteral("&All"), 12, false},
        {mbNoToAll, "NoToAll", QStringLiteral("N&o to All"), 13, false},
        {mbYesToAll, "YesToAll", QStringLiteral("Yes to &All"), 14, false},
        {mbHelp, "Help", QStringLiteral("Помощь"), -1, true},
        {mbClose, "Close", QStringLiteral("Закрыть"), mrClose, true},
    };
    return kinds;
}

QPointer<SpokenMessageBox> gOpenBox;
bool gBoxOpen = false;

}  // namespace

SpokenMessageBox::SpokenMessageBox(const QString& text, int buttons, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MessageBox"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Image"));
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);

    text_ = new QLabel(text, this);
    text_->setObjectName(QStringLiteral("Message"));
    text_->setTextFormat(Qt::PlainText);  // a message is never markup
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A screen reader reads a box by its title and buttons; the message
    // reaches it on the game's route (SpeechOut below), once: the box carries
    // no description repeating it.
    text_->setAccessibleName(text);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(text_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (const ButtonKind& kind : buttonKinds()) {
        if (!(buttons & kind.bit))
            continue;
        auto* b = new QPushButton(kind.caption, this);
        b->setObjectName(QLatin1String(kind.name));
        b->setAccessibleName(kind.caption);
        b->setAutoDefault(true);
        row->addWidget(b);
        buttons_.append({kind.bit, b});
        const int result = kind.result;
        if (result >= 0)
            connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
    }
    row->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addLayout(row);
    column->setSizeConstraint(QLayout::SetFixedSize);
    text_->setMinimumWidth(qMin(text_->fontMetrics().horizontalAdvance(text), 420));

    default_ = button(mbOK) ? button(mbOK) : button(mbYes) ? button(mbYes) : button(mbRetry);
    escape_ = button(mbCancel) ? button(mbCancel) : button(mbNo) ? button(mbNo) : button(mbOK);
    if (default_) {
        default_->setDefault(true);
        default_->setFocus();
    }
}

QPushButton* SpokenMessageBox::button(int bit) const
{
    for (const auto& [b, button] : buttons_)
        if (b == bit)
            return button;
    return nullptr;
}

QList<QPushButton*> SpokenMessageBox::buttons() const
{
    QList<QPushButton*> list;
    for (const auto& entry : buttons_)
        list.append(entry.second);
    return list;
}

void SpokenMessageBox::reject()
{
    if (escape_)
        escape_->click();
}

SpokenMessageBox* openMessageBox()
{
    return gOpenBox.data();
}

int ShowMyMessageDlg(QObject* owner, const QString& text, const QString& caption, int buttons)
{
    if (gBoxOpen)
        return mrNone;  // never 6: a refused question must not read as consent

    // Whatever happens from here on, the program comes back as it was and
    // nothing more is said.
    struct Leave
    {
        QList<QPointer<QWidget>> disabled;
        KeptFocus focus;
        QPointer<SpokenMessageBox> box;
        ~Leave()
        {
            delete box.data();
            gOpenBox = nullptr;
            gBoxOpen = false;
            for (const QPointer<QWidget>& w : disabled)
                if (w)
                    w->setEnabled(true);
            // The keyboard goes back where the player left it, unannounced:
            // closing the box cuts off what is being said, and that is all.
            focus.giveBack();
            SpeechStop();
        }
    } leave;
    gBoxOpen = true;

    // The other windows go quiet first; a box created after that is not
    // disabled along with the window that owns it.
    QList<QWidget*> toDisable;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isEnabled() && !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip))
            toDisable.append(w);
    leave.focus.disable(toDisable);
    for (QWidget* w : std::as_const(toDisable))
        leave.disabled.append(w);

    QWidget* ownerWindow = owner && owner->isWidgetType() ? static_cast<QWidget*>(owner)->window() : nullptr;
    QWidget* active = QApplication::activeWindow();
    auto* box = new SpokenMessageBox(text, buttons, active ? active : ownerWindow);
    leave.box = box;
    gOpenBox = box;
    box->setEnabled(true);
    box->setWindowTitle(caption);

    for (const ButtonKind& kind : buttonKinds())
        if (kind.announced && box->button(kind.bit))
            announceMessageBoxButton(box->button(kind.bit));

    SpeechOut(text, true);
    const int result = box->exec();
    return leave.box ? result : int(mrNone);
}

}  // namespace sor

#include "data/ReconnectWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include "data/ReconnectUi.h"
#include "speech/Announce.h"
#include "platform/Process.h"

TfrProcessReconnect::TfrProcessReconnect(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frProcessReconnect"));
    setWindowTitle(QStringLiteral("Прогресс подключения к серверу"));
    setAccessibleName(windowTitle());
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);
    setFixedSize(341, 68);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Подключение к серверу"));
    ProgressBar1->setRange(0, 0);  // a running bar: activity, not progress
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(0, 0, 341, 25);

    btnCloseApp = new QPushButton(QStringLiteral("Закрыть программу"), this);
    btnCloseApp->setObjectName(QStringLiteral("btnCloseApp"));
    btnCloseApp->setAccessibleName(btnCloseApp->text());
    btnCloseApp->setGeometry(109, 31, 128, 29);
    btnCloseApp->setDefault(true);
    connect(btnCloseApp, &QPushButton::clicked, this, &TfrProcessReconnect::btnCloseAppClick);
    setFocusProxy(btnCloseApp);
}

void TfrProcessReconnect::btnCloseAppClick()
{
    sor::haltProgram();
}

void TfrProcessReconnect::closeEvent(QCloseEvent* event)
{
    // The player's close (Alt+F4, the window manager) is refused; the program's
    // own end (quit, session end) is not held up.
    if (event->spontaneous())
        event->ignore();
    else
        event->accept();
}

namespace {

class WidgetReconnectUi : public sor::ReconnectUi
{
public:
    QObject* createReconnectWindow() override
    {
        activeForm_ = QApplication::activeWindow();
        return new TfrProcessReconnect;
    }

    QList<QPointer<QObject>> disableOtherWindows(QObject* reconnectWindow) override
    {
        QList<QPointer<QObject>> disabled;
        QList<QWidget*> toDisable;
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget* w : windows)
            if (w != reconnectWindow && w->isWindow() && w->isVisible() && w->isEnabled())
                toDisable.append(w);
        focus_.disable(toDisable);
        for (QWidget* w : std::as_const(toDisable))
            disabled.append(w);
        return disabled;
    }

    void showReconnectWindow(QObject* reconnectWindow) override
    {
        auto* w = qobject_cast<QWidget*>(reconnectWindow);
        if (!w)
            return;
        // In front of the active window, also when that one is a modal dialog
        // (the login): the window takes the input, the others are disabled anyway.
        w->setWindowModality(Qt::ApplicationModal);
        w->winId();
        if (activeForm_ && activeForm_->windowHandle())
            w->windowHandle()->setTransientParent(activeForm_->windowHandle());
        if (QScreen* screen = QGuiApplication::primaryScreen())
            w->move(screen->availableGeometry().center() - w->rect().center());
        w->show();
        w->raise();
        w->activateWindow();
        w->repaint();
    }

    void enableWindows(const QList<QPointer<QObject>>& windows) override
    {
        for (const QPointer<QObject>& p : windows)
            if (auto* w = qobject_cast<QWidget*>(p.data()))
                w->setEnabled(true);
        // Back where the player left it, and not announced again.
        focus_.giveBack();
    }

    void closeReconnectWindow(QObject* reconnectWindow) override
    {
        if (auto* w = qobject_cast<QWidget*>(reconnectWindow)) {
            w->hide();
            w->deleteLater();
        } else {
            delete reconnectWindow;
        }
    }

private:
    QPointer<QWidget> activeForm_;
    sor::KeptFocus focus_;
};

}  // namespace

void sor::installReconnectWindow()
{
    setReconnectUi(std::make_unique<WidgetReconnectUi>());
}

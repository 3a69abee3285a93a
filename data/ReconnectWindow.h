#pragma once
// The reconnect window: shown while the connection to the game server is lost,
// in front of the other windows (which are disabled meanwhile); the data module
// closes it when the connection is back. Its only action ends the program.

#include <QWidget>

class QProgressBar;
class QPushButton;

class TfrProcessReconnect : public QWidget
{
    Q_OBJECT

public:
    explicit TfrProcessReconnect(QWidget* owner = nullptr);

    QProgressBar* ProgressBar1;
    QPushButton* btnCloseApp;

public slots:
    void btnCloseAppClick();

protected:
    // No close box: the window goes when the connection is back, or with the program.
    void closeEvent(QCloseEvent* event) override;
};

namespace sor {
// Makes the data module show TfrProcessReconnect and disable the program's windows.
void installReconnectWindow();
}  // namespace sor

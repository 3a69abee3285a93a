#pragma once
// The about window: the game's logo, name, version and developer, and an OK
// button. It says nothing of its own.
//
// Use (the main window's N8Click):
//
//     ShowAboutBox(this);
//
// While the window exists the global AboutBox points to it.

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace sor {
class TImage;
}

class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    QFrame* Panel1;
    sor::TImage* ProgramIcon;
    QLabel* ProductName;
    QLabel* lblVersion;
    QLabel* Copyright;
    QPushButton* OKButton;

private:
    void FormCreate();
};

// The about window while it exists, else null.
extern TAboutBox* AboutBox;

// Creates the about window (transient for `mainWindow`, which may be null, and
// centred on its screen), shows it modally, frees it and returns its result
// (1 for OK).
int ShowAboutBox(QWidget* mainWindow);

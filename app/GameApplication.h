#pragma once
// The application object. A database failure that no handler caught ends its
// event quietly when the error report has dealt with it (EDbAbort), and is shown
// in a plain box otherwise, instead of taking the program down.

#include <QApplication>

namespace sor {

class GameApplication : public QApplication
{
    Q_OBJECT

public:
    GameApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace sor

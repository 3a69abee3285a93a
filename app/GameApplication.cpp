#include "app/GameApplication.h"

#include "data/DbErrors.h"
#include "platform/PlainMessage.h"

namespace sor {

GameApplication::GameApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GameApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EDbAbort&) {
        // the error report has dealt with it: the action simply ends
    } catch (const EDbError& e) {
        PlainMessageBox(e.message());
    } catch (const std::exception& e) {
        PlainMessageBox(QString::fromUtf8(e.what()));
    }
    return false;
}

}  // namespace sor

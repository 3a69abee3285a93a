#include "app/UiServices.h"

#include <QMessageBox>

#include "platform/AppInfo.h"
#include "data/ReconnectWindow.h"
#include "platform/PlainMessage.h"
#include "speech/MessageDlg.h"
#include "speech/SpokenMessageBox.h"

void sor::installUiServices()
{
    setPlainMessageImpl([](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, appTitle(), text, QMessageBox::Ok);
        box.exec();
    });
    installReconnectWindow();
    setMessageDlgImpl(ShowMyMessageDlg);
}

#include "app/UiServices.h"

#include <QMessageBox>

#include "app/AppInfo.h"
#include "data/unitProcessReconnect.h"
#include "platform/PlainMessage.h"
#include "speech/MessageDlg.h"
#include "speech/uMyMessageDlg.h"

void sor::installUiServices()
{
    setPlainMessageImpl([](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, appTitle(), text, QMessageBox::Ok);
        box.exec();
    });
    installReconnectWindow();
    setMessageDlgImpl(ShowMyMessageDlg);
}

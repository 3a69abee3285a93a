#include "game/ConfirmClose.h"

#include "speech/MessageDlg.h"

namespace sor {

bool confirmProgramClose(QObject* owner)
{
    return MyMessageDlg(owner, QStringLiteral("Закрыть прогграмму?"), QStringLiteral("Вопрос."), mbYes | mbNo) == mrYes;
}

}  // namespace sor

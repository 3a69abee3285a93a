#include "MessageRecorder.h"

#include "platform/PlainMessage.h"
#include "speech/MessageDlg.h"

namespace sortest {

MessageRecorder::MessageRecorder()
{
    sor::setMessageDlgImpl([this](QObject* owner, const QString& text, const QString& caption, int buttons) {
        messages.append({owner, text, caption, buttons, false});
        if (onMessage)
            onMessage(messages.last());
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    });
    sor::setPlainMessageImpl([this](const QString& text) {
        messages.append({nullptr, text, {}, 0, true});
        if (onMessage)
            onMessage(messages.last());
    });
}

MessageRecorder::~MessageRecorder()
{
    sor::setMessageDlgImpl(nullptr);
    sor::setPlainMessageImpl(nullptr);
}

}  // namespace sortest

#pragma once
// Records what the logic asks the spoken message box and the plain box to show,
// and answers with scripted results (OK by default), without any window.

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace sortest {

struct RecordedMessage
{
    QObject* owner = nullptr;
    QString text;
    QString caption;
    int buttons = 0;
    bool plain = false;  // the platform's plain box rather than the spoken one
};

class MessageRecorder
{
public:
    MessageRecorder();   // installs itself
    ~MessageRecorder();  // uninstalls

    QList<RecordedMessage> messages;
    QList<int> answers;        // results handed out in order; then defaultAnswer
    int defaultAnswer = 1;     // OK
    // When set, called with each message as it is shown (for a look at what
    // holds while the box is open).
    std::function<void(const RecordedMessage&)> onMessage;

    void clear() { messages.clear(); }
};

}  // namespace sortest

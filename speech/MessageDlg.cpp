#include "speech/MessageDlg.h"

#include <cstdio>
#include <utility>

namespace {
sor::MessageDlgImpl& impl()
{
    static sor::MessageDlgImpl f;
    return f;
}
int openMessages = 0;
}  // namespace

bool sor::messageDlgOpen()
{
    return openMessages > 0;
}

void sor::setMessageDlgImpl(MessageDlgImpl f)
{
    impl() = std::move(f);
}

int MyMessageDlg(QObject* owner, const QString& text, const QString& caption, int buttons)
{
    if (impl()) {
        struct Open
        {
            Open() { ++openMessages; }
            ~Open() { --openMessages; }
        } open;
        return impl()(owner, text, caption, buttons);
    }
    // No windows (a tool or a test without a recorder): say it on the console.
    std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    return sor::mrNone;
}

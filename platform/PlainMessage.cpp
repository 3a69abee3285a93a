#include "platform/PlainMessage.h"

#include <cstdio>
#include <utility>

namespace sor {
namespace {
std::function<void(const QString&)>& impl()
{
    static std::function<void(const QString&)> f;
    return f;
}
}  // namespace

void PlainMessageBox(const QString& text)
{
    if (impl())
        impl()(text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void setPlainMessageImpl(std::function<void(const QString&)> f)
{
    impl() = std::move(f);
}

}  // namespace sor

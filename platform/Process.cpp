#include "platform/Process.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace sor {
namespace {

struct Hook
{
    int id;
    std::function<void()> fn;
};

std::vector<Hook>& hooks()
{
    static std::vector<Hook> list;
    return list;
}

std::function<void()>& haltHandler()
{
    static std::function<void()> handler;
    return handler;
}

int nextId = 1;

}  // namespace

int addProgramEndHook(std::function<void()> hook)
{
    hooks().push_back({nextId, std::move(hook)});
    return nextId++;
}

void removeProgramEndHook(int id)
{
    auto& list = hooks();
    std::erase_if(list, [id](const Hook& h) { return h.id == id; });
}

void runProgramEndHooks()
{
    // A hook may register or remove hooks; work on a snapshot.
    std::vector<Hook> pending;
    pending.swap(hooks());
    for (auto& h : pending)
        if (h.fn)
            h.fn();
}

void haltProgram()
{
    runProgramEndHooks();
    if (auto handler = haltHandler())
        handler();
    std::fflush(nullptr);
    std::_Exit(0);
}

void setHaltHandler(std::function<void()> handler)
{
    haltHandler() = std::move(handler);
}

}  // namespace sor

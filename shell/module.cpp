#include "shell/module.h"

#include <atomic>

namespace wrenfield::shell {
namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

}  // namespace

void objectCreated() noexcept
{
    ++liveObjects;
}

void objectDestroyed() noexcept
{
    --liveObjects;
}

void lockServer(bool lock) noexcept
{
    if (lock)
        ++serverLocks;
    else if (serverLocks.load() > 0)
        --serverLocks;
}

bool moduleInUse() noexcept
{
    return liveObjects.load() > 0 || serverLocks.load() > 0;
}

}  // namespace wrenfield::shell

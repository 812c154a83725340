// The library's count of live objects (instances and class factories) and
// of server locks, which decide whether it can be unloaded.
#pragma once

namespace wrenfield::shell {

void objectCreated() noexcept;
void objectDestroyed() noexcept;
void lockServer(bool lock) noexcept;
// True while any object is alive or any lock is held.
bool moduleInUse() noexcept;

}  // namespace wrenfield::shell

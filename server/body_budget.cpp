#include "server/body_budget.h"

namespace wrenfield::server {

bool BodyBudget::reserve(const std::string& address, std::uint64_t bytes)
{
    std::lock_guard lock(mutex_);
    if (bytes > total_ - inUse_)
        return false;
    std::uint64_t& held = byAddress_[address];
    if (bytes > perAddress_ - held) {
        if (held == 0)
            byAddress_.erase(address);
        return false;
    }
    held += bytes;
    inUse_ += bytes;
    return true;
}

void BodyBudget::release(const std::string& address, std::uint64_t bytes)
{
    std::lock_guard lock(mutex_);
    auto it = byAddress_.find(address);
    if (it == byAddress_.end())
        return;
    it->second -= bytes;
    inUse_ -= bytes;
    if (it->second == 0)
        byAddress_.erase(it);
}

std::uint64_t BodyBudget::inUse() const
{
    std::lock_guard lock(mutex_);
    return inUse_;
}

}  // namespace wrenfield::server

#include "server/answer_room.h"

#include <mutex>

namespace wrenfield::server {

namespace {

struct KeptRoom {
    std::mutex mutex;
    std::vector<std::string> texts;
    std::size_t bytes = 0;  // their capacity in all
};

KeptRoom& keptRoom()
{
    static KeptRoom room;
    return room;
}

}  // namespace

std::string takeAnswerRoom()
{
    KeptRoom& room = keptRoom();
    std::lock_guard lock(room.mutex);
    if (room.texts.empty())
        return {};
    std::string text = std::move(room.texts.back());
    room.texts.pop_back();
    room.bytes -= text.capacity();
    return text;
}

void keepAnswerRoom(std::vector<std::string>& texts)
{
    KeptRoom& room = keptRoom();
    {
        std::lock_guard lock(room.mutex);
        for (std::string& text : texts) {
            // Short texts are not worth keeping (most answers are one), long ones not kept for good.
            const std::size_t capacity = text.capacity();
            if (capacity < (std::size_t{64} << 10) || capacity > kKeptTextBytes ||
                room.bytes + capacity > kKeptAnswerBytes)
                continue;
            room.bytes += capacity;
            room.texts.push_back(std::move(text));
        }
    }
    // What was not kept goes here, outside the lock.
    texts.clear();
}

}  // namespace wrenfield::server

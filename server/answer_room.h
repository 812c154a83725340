// Room for the texts of long answers, kept from one answer to the next: an
// array's answer is several megabytes, and memory the process has just
// written is cheaper to write again than memory it must first be given and
// have cleared. A connection hands an answer's texts back once they are
// sent; the writer of the next takes them. At most kKeptAnswerBytes are
// kept, in texts of at most kKeptTextBytes each.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace wrenfield::server {

inline constexpr std::size_t kKeptAnswerBytes = std::size_t{16} << 20;
inline constexpr std::size_t kKeptTextBytes = std::size_t{2} << 20;

// A text whose room was kept, holding what it held (to be written over), or
// an empty one when none is kept.
std::string takeAnswerRoom();

// The texts of an answer that was sent, kept for the next as room allows;
// `texts` is left empty.
void keepAnswerRoom(std::vector<std::string>& texts);

}  // namespace wrenfield::server

// The ethnic groups as people type them. A population's list spells each
// group one way ("Maori", "S Korean", "Phillipino"); users and registers
// write "Māori", "MAORI", "south-korean", "Filipino". One table here says
// which spellings name which group, so that every front end (the command
// line, a file, a data frame, the HTTP service) takes the same ones.
#pragma once

#include <string>
#include <string_view>

#include "engine/coefficient_set.h"

namespace wrenfield::reading {

// The text reduced to what tells one group's name from another: letters and
// digits only, in lower case, with the accents and macrons of Latin letters
// taken off ("Māori" and "MAORI" give "maori", "Indian / Pakistani" gives
// "indianpakistani"). Blanks, hyphens, dots, slashes and other marks between
// the words do not count.
std::string groupNameKey(std::string_view text);

// The group of `set` that `text` names: the list's own name in any of the
// ways groupNameKey does not tell apart, or one of the variants of the
// table (a word written out: "South Korean"; the usual spelling of a name
// the list spells its own way: "Filipino", "Moroccan"; a part of a joined
// group: "Pakistani" for Australia's "Indian/Pakistani"). Nothing when no
// group has that name.
const engine::EthnicGroup* ethnicGroupBySpelling(const engine::CoefficientSet& set, std::string_view text);

}  // namespace wrenfield::reading

#include "reading/group_names.h"

#include <array>

#include "reading/text_match.h"

namespace wrenfield::reading {

namespace {

using engine::Population;

// Spellings of a group other than the ones groupNameKey already folds into
// the list's own name. Each is a spelling of the same group, never a guess
// at a related one.
struct Variant {
    Population population;
    std::string_view group;  // the list's own name
    std::string_view spelling;
};

constexpr Variant kVariants[] = {
    // United Kingdom
    {Population::UnitedKingdom, "Afro-Caribbean", "African Caribbean"},
    {Population::UnitedKingdom, "South East Asian", "SE Asian"},
    // Sweden: the list writes a few names its own way, and abbreviates.
    {Population::Sweden, "Phillipino", "Filipino"},
    {Population::Sweden, "Phillipino", "Philippino"},
    {Population::Sweden, "Moroccon", "Moroccan"},
    {Population::Sweden, "S Korean", "South Korean"},
    {Population::Sweden, "S Vietnamese", "South Vietnamese"},
    {Population::Sweden, "N Vietnamese", "North Vietnamese"},
    {Population::Sweden, "Czechoslovakian", "Czechoslovak"},
    {Population::Sweden, "Yugoslavian", "Yugoslav"},
    {Population::Sweden, "Abyssinian", "Ethiopian"},
    {Population::Sweden, "Scandinavian", "Swedish"},
    {Population::Sweden, "Scandinavian", "Norwegian"},
    {Population::Sweden, "Scandinavian", "Danish"},
    // New Zealand: the macron of "Māori" is folded by groupNameKey.
    {Population::NewZealand, "European", "NZ European"},
    {Population::NewZealand, "European", "New Zealand European"},
    {Population::NewZealand, "European", "Pakeha"},
    // Australia: one group for two names.
    {Population::Australia, "Indian/Pakistani", "Indian"},
    {Population::Australia, "Indian/Pakistani", "Pakistani"},
};

// The base letter of each of U+00C0 to U+017F (Latin-1's letters and Latin
// Extended-A), lower case; '*' marks a letter written with two ('Æ', 'ß',
// 'Þ', 'Ĳ', 'Œ'), '-' a sign that is no letter ('×', '÷').
constexpr std::string_view kLatinBase = "aaaaaa*ceeeeiiiidnooooo-ouuuuy**"   // U+00C0..U+00DF
                                        "aaaaaa*ceeeeiiiidnooooo-ouuuuy*y"   // U+00E0..U+00FF
                                        "aaaaaaccccccccddddeeeeeeeeeegggg"   // U+0100..U+011F
                                        "gggghhhhiiiiiiiiii**jjkkklllllll"   // U+0120..U+013F
                                        "lllnnnnnnnnnoooooo**rrrrrrssssss"   // U+0140..U+015F
                                        "ssttttttuuuuuuuuuuuuwwyyyzzzzzzs";  // U+0160..U+017F
static_assert(kLatinBase.size() == 0x180 - 0xC0);

std::string_view twoLetters(unsigned codePoint)
{
    switch (codePoint) {
    case 0xC6:
    case 0xE6:
        return "ae";
    case 0xDE:
    case 0xFE:
        return "th";
    case 0xDF:
        return "ss";
    case 0x132:
    case 0x133:
        return "ij";
    case 0x152:
    case 0x153:
        return "oe";
    default:
        return {};
    }
}

bool isAsciiLetterOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string groupNameKey(std::string_view text)
{
    std::string key;
    key.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (isAsciiLetterOrDigit(text[i]))
                key += asciiLower(text[i]);
            ++i;
            continue;
        }
        // A two-byte character: U+0080 to U+07FF.
        if ((byte & 0xE0) == 0xC0 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            const unsigned codePoint = ((byte & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
            i += 2;
            if (codePoint >= 0xC0 && codePoint < 0x180) {
                const char base = kLatinBase[codePoint - 0xC0];
                if (base == '*')
                    key += twoLetters(codePoint);
                else if (base != '-')
                    key += base;
            } else if (codePoint < 0xC0 || (codePoint >= 0x300 && codePoint < 0x370)) {
                // Latin-1's signs and blanks (a no-break space) separate
                // words; combining accents (a decomposed "a" + macron) fall away.
            } else {
                key.append(text.substr(i - 2, 2));
            }
            continue;
        }
        // Any other character is kept as it is: it names no group.
        key += text[i];
        ++i;
    }
    return key;
}

const engine::EthnicGroup* ethnicGroupBySpelling(const engine::CoefficientSet& set, std::string_view text)
{
    const std::string key = groupNameKey(text);
    if (key.empty())
        return nullptr;
    for (const engine::EthnicGroup& group : set.ethnicGroups)
        if (groupNameKey(group.name) == key)
            return &group;
    for (const Variant& variant : kVariants)
        if (variant.population == set.population && groupNameKey(variant.spelling) == key)
            return engine::ethnicGroupByName(set, variant.group);
    return nullptr;
}

}  // namespace wrenfield::reading

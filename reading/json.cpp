#include "reading/json.h"
#include "reading/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include <nlohmann/json.hpp>

#include "reading/fields.h"
#include "reading/input_text.h"

namespace wrenfield::reading {

namespace {

// Whether a text is well-formed UTF-8: no stray continuation byte, no
// sequence cut short, none longer than needed, no surrogate, nothing beyond
// U+10FFFF.
bool wellFormedUtf8(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p != end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0;  // not overlong
            else if (c == 0xED)
                high = 0x9F;  // no surrogate
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;  // up to U+10FFFF
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high)
            return false;
        for (std::size_t k = 2; k < length; ++k)
            if (p[k] < 0x80 || p[k] > 0xBF)
                return false;
        p += length;
    }
    return true;
}

// Appends JSON tokens to a text, on one line as nlohmann/json's dump writes
// them (no blanks between tokens, UTF-8 kept as it is, bytes that are not
// UTF-8 replaced by U+FFFD as the library replaces them).
class JsonOut {
public:
    // Writes after what `out` already holds; the text is trimmed to what was
    // written when the writer goes.
    explicit JsonOut(std::string& out)
        : out_(out)
        , p_(nullptr)
        , end_(nullptr)
    {
        const std::size_t used = out_.size();
        out_.resize(used + kRecordRoom);
        p_ = out_.data() + used;
        end_ = out_.data() + out_.size();
    }
    ~JsonOut() { out_.resize(static_cast<std::size_t>(p_ - out_.data())); }
    JsonOut(const JsonOut&) = delete;
    JsonOut& operator=(const JsonOut&) = delete;

    void open(char bracket)
    {
        separate();
        room(1);
        *p_++ = bracket;
        first_ = true;
    }
    void close(char bracket)
    {
        room(1);
        *p_++ = bracket;
        first_ = false;
    }
    // A member's name: our own field names, which need no escaping.
    void key(std::string_view name)
    {
        separate();
        room(name.size() + 3);
        *p_++ = '"';
        std::memcpy(p_, name.data(), name.size());
        p_ += name.size();
        *p_++ = '"';
        *p_++ = ':';
        first_ = true;  // the value follows without a comma
    }
    void value(std::string_view text)
    {
        separate();
        string(text);
    }
    // A whole number without a fraction ("38", as a reader expects a count
    // of weeks), anything else in the shortest text that reads back to the
    // same double, the text every other way out writes; JSON has no
    // infinity or NaN.
    void value(double number)
    {
        separate();
        room(kShortestTextRoom);
        constexpr double kExactWhole = 9007199254740992.0;  // 2^53
        if (!std::isfinite(number)) {
            std::memcpy(p_, "null", 4);
            p_ += 4;
            return;
        }
        if (number == std::floor(number) && std::fabs(number) < kExactWhole && !(number == 0 && std::signbit(number)))
            p_ = std::to_chars(p_, end_, static_cast<std::int64_t>(number)).ptr;
        else
            p_ = writeShortest(p_, number);
    }

private:
    // A computed record is about 600 bytes.
    static constexpr std::size_t kRecordRoom = 1024;

    void room(std::size_t bytes)
    {
        if (static_cast<std::size_t>(end_ - p_) >= bytes)
            return;
        const std::size_t used = static_cast<std::size_t>(p_ - out_.data());
        out_.resize(std::max(2 * out_.size(), used + bytes + kRecordRoom));
        p_ = out_.data() + used;
        end_ = out_.data() + out_.size();
    }

    void put(std::string_view bytes)
    {
        room(bytes.size());
        std::memcpy(p_, bytes.data(), bytes.size());
        p_ += bytes.size();
    }

    void separate()
    {
        if (!first_) {
            room(1);
            *p_++ = ',';
        }
        first_ = false;
    }

    void string(std::string_view text)
    {
        // Most texts are plain ASCII with nothing to escape: written in one go.
        bool asItStands = true;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            asItStands &= byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\';
        }
        if (asItStands) {
            room(text.size() + 2);
            *p_++ = '"';
            std::memcpy(p_, text.data(), text.size());
            p_ += text.size();
            *p_++ = '"';
            return;
        }
        if (!wellFormedUtf8(text)) {
            // The replacement of the broken bytes exactly as the library makes it.
            put(nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
            return;
        }
        room(6 * text.size() + 2);  // every byte escaped as \u00XX at most
        *p_++ = '"';
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x20 && byte != '"' && byte != '\\') {
                *p_++ = c;
                continue;
            }
            *p_++ = '\\';
            switch (byte) {
            case '"':
                *p_++ = '"';
                break;
            case '\\':
                *p_++ = '\\';
                break;
            case '\b':
                *p_++ = 'b';
                break;
            case '\f':
                *p_++ = 'f';
                break;
            case '\n':
                *p_++ = 'n';
                break;
            case '\r':
                *p_++ = 'r';
                break;
            case '\t':
                *p_++ = 't';
                break;
            default: {
                static constexpr char kHex[] = "0123456789abcdef";
                const char escape[] = {'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
                std::memcpy(p_, escape, sizeof escape);
                p_ += sizeof escape;
            }
            }
        }
        *p_++ = '"';
    }

    std::string& out_;
    char* p_;
    char* end_;
    bool first_ = true;
};

void member(JsonOut& json, ResultField field, std::string_view text)
{
    json.key(fieldName(field));
    json.value(text);
}

void member(JsonOut& json, ResultField field, double number)
{
    json.key(fieldName(field));
    json.value(number);
}

// The texts a record repeats from birth to birth (a band's label and words
// under the same thresholds, a gestation of whole days, a code's name),
// made once per thread and kept: an array of births names the same few
// again and again.
class RepeatedTexts {
public:
    std::string_view bandLabel(Band band, const BandThresholds& thresholds)
    {
        return bandTexts(band, thresholds).label;
    }
    std::string_view bandWords(Band band, const BandThresholds& thresholds)
    {
        return bandTexts(band, thresholds).words;
    }
    std::string_view gestation(double days)
    {
        return kept(gestation_, days, [](double d) { return gestationText(d); });
    }
    std::string_view sex(double code)
    {
        return kept(sex_, code, [](double c) { return sexText(c); });
    }
    std::string_view parity(double code)
    {
        return kept(parity_, code, [](double c) { return parityText(c); });
    }
    std::string_view ethnicGroup(engine::Population population, double code)
    {
        const engine::CoefficientSet& set = engine::coefficients(population);
        return kept(ethnicGroup_[static_cast<std::size_t>(population)], code,
                    [&set](double c) { return ethnicGroupText(set, c); });
    }

private:
    struct BandText {
        std::string label;
        std::string words;
    };
    const BandText& bandTexts(Band band, const BandThresholds& thresholds)
    {
        const auto same = [](const BandThresholds& a, const BandThresholds& b) {
            return a.verySmall == b.verySmall && a.sga == b.sga && a.lga == b.lga && a.veryLarge == b.veryLarge;
        };
        if (!bandsMade_ || !same(thresholds, thresholds_)) {
            for (std::size_t b = 0; b < bands_.size(); ++b)
                bands_[b] = {reading::bandLabel(static_cast<Band>(b), thresholds),
                             reading::bandWords(static_cast<Band>(b), thresholds)};
            thresholds_ = thresholds;
            bandsMade_ = true;
        }
        return bands_[static_cast<std::size_t>(band)];
    }

    // The text of a whole number below N, made once; any other made each time.
    template <std::size_t N, typename Make>
    std::string_view kept(std::array<std::string, N>& texts, double value, const Make& make)
    {
        if (!(value >= 0 && value < static_cast<double>(N) && value == std::floor(value)) || std::signbit(value)) {
            other_ = make(value);
            return other_;
        }
        std::string& text = texts[static_cast<std::size_t>(value)];
        if (text.empty())
            text = make(value);
        return text;
    }

    bool bandsMade_ = false;
    BandThresholds thresholds_;
    std::array<BandText, 5> bands_;
    std::array<std::string, 400> gestation_;
    std::array<std::string, 16> sex_;
    std::array<std::string, 16> parity_;
    std::array<std::array<std::string, 32>, engine::kPopulationCount> ethnicGroup_;
    std::string other_;  // the last text not kept
};

RepeatedTexts& repeatedTexts()
{
    thread_local RepeatedTexts texts;
    return texts;
}

// The names of the echoed inputs are part of the library's exported
// interface (its stored binary interface lists the table). The writer's keys
// may all be folded to constants, which would leave the table out of the
// library: it is kept there on purpose.
[[gnu::used]] const void* const kKeepInputEchoNames = &kInputEchoNames;

void inputs(JsonOut& json, const BirthResult& r)
{
    RepeatedTexts& texts = repeatedTexts();
    const engine::CentileInputs& in = r.inputs;
    static_assert(kInputEchoNames.size() == 11);
    json.key(fieldName(ResultField::Inputs));
    json.open('{');
    json.key(kInputEchoNames[0]);
    json.value(in.bwt);
    json.key(kInputEchoNames[1]);
    json.value(in.gestDays);
    json.key(kInputEchoNames[2]);
    json.value(texts.gestation(in.gestDays));
    json.key(kInputEchoNames[3]);
    json.value(in.wt);
    json.key(kInputEchoNames[4]);
    json.value(in.ht);
    json.key(kInputEchoNames[5]);
    json.value(in.sex);
    json.key(kInputEchoNames[6]);
    json.value(texts.sex(in.sex));
    json.key(kInputEchoNames[7]);
    json.value(in.eth);
    json.key(kInputEchoNames[8]);
    json.value(texts.ethnicGroup(r.population, in.eth));
    json.key(kInputEchoNames[9]);
    json.value(in.par);
    json.key(kInputEchoNames[10]);
    json.value(texts.parity(in.par));
    json.close('}');
}

}  // namespace

std::string resultJson(const BirthResult& result)
{
    std::string out;
    appendResultJson(out, result);
    return out;
}

void appendResultJson(std::string& out, const BirthResult& r)
{
    JsonOut json(out);
    json.open('{');
    if (!r.computed()) {
        member(json, ResultField::Error, r.error);
        if (!r.field.empty())
            member(json, ResultField::Field, r.field);
        json.close('}');
        return;
    }
    const engine::CentileDetail& d = r.detail;
    member(json, ResultField::Population, engine::coefficients(r.population).name);
    member(json, ResultField::Centile, d.centile);
    member(json, ResultField::Rounded, roundedCentile(d.centile));
    member(json, ResultField::CentileText, centileText(d.centile, r.thresholds));
    member(json, ResultField::Band, bandCode(r.band));
    RepeatedTexts& texts = repeatedTexts();
    member(json, ResultField::BandLabel, texts.bandLabel(r.band, r.thresholds));
    member(json, ResultField::BandWords, texts.bandWords(r.band, r.thresholds));
    member(json, ResultField::TermWeight, d.termWeight);
    member(json, ResultField::Weeks, d.weeks);
    member(json, ResultField::Proportion, d.proportion);
    member(json, ResultField::ExpectedWeight, d.expected);
    member(json, ResultField::Spread, d.spread);
    member(json, ResultField::Z, d.z);
    json.key(fieldName(ResultField::Flags));
    json.open('[');
    for (const Flag& flag : r.flags) {
        json.open('{');
        json.key(kFlagFieldNames[0]);
        json.value(flag.code);
        json.key(kFlagFieldNames[1]);
        json.value(flag.text);
        json.close('}');
    }
    json.close(']');
    inputs(json, r);
    // The version's own text, not the exported constant that holds it, which
    // the library's interface does not list among its names.
    constexpr std::string_view kVersion = engine::kCoefficientSetVersion;
    member(json, ResultField::CoefficientSetVersion, kVersion);
    json.close('}');
}

}  // namespace wrenfield::reading

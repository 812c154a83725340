#include "reading/json.h"
#include "reading/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include <nlohmann/json.hpp>

#include "platform/small_copy.h"
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
        : JsonOut(out, out.size())
    {
        trim_ = true;
    }
    // Writes after the first `used` bytes of `out`, whose size beyond them is
    // room already made (the room of many records, made once): the text is
    // left as it is when the writer goes, and used() tells how much of it
    // holds what was written.
    JsonOut(std::string& out, std::size_t used)
        : out_(out)
        , p_(nullptr)
        , end_(nullptr)
    {
        if (out_.size() < used + kRecordRoom)
            out_.resize(used + kRecordRoom);
        p_ = out_.data() + used;
        end_ = out_.data() + out_.size();
    }
    ~JsonOut()
    {
        if (trim_)
            out_.resize(used());
    }
    JsonOut(const JsonOut&) = delete;
    JsonOut& operator=(const JsonOut&) = delete;

    std::size_t used() const { return static_cast<std::size_t>(p_ - out_.data()); }

    // Room for `bytes` written straight at the pointer returned, without a
    // check of each token; done() takes the end of what was written.
    char* at(std::size_t bytes)
    {
        room(bytes);
        return p_;
    }
    void done(char* end)
    {
        p_ = end;
        first_ = true;  // as after raw(): a value that follows takes no comma
    }

    // The caller's own name for the birth, first in its record: `"id":` and
    // the name as JSON, and the comma before the next member.
    void leadingId(std::string_view idJson)
    {
        put("\"");
        put(kBirthIdName);
        put("\":");
        put(idJson);
        put(",");
        first_ = true;
    }

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
        copySmall(p_, name.data(), name.size());
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
    void value(double number)
    {
        separate();
        bare(number);
    }
    // Bytes that are JSON already (a member's name and its punctuation, a
    // text escaped before), written as they stand; a value that follows
    // takes no comma.
    void raw(std::string_view json)
    {
        put(json);
        first_ = true;
    }
    // A number right after raw(): a whole number without a fraction ("38",
    // as a reader expects a count of weeks), anything else in the shortest
    // text that reads back to the same double, the text every other way out
    // writes; JSON has no infinity or NaN.
    void bare(double number)
    {
        room(kShortestTextRoom);
        p_ = putNumber(p_, number);
    }

    // The same at p, which has room for kShortestTextRoom bytes; returns the
    // end of the text. Most numbers of a record are whole, not negative and
    // below 10,000 (the inputs, the rounded centile, the weeks): told apart
    // by a conversion and back, and spelt here in place.
    [[gnu::always_inline]] static char* putNumber(char* p, double number)
    {
        if (number >= 0 && number < 10000) {
            const auto whole = static_cast<std::uint32_t>(number);
            if (static_cast<double>(whole) == number && !std::signbit(number))
                return putSmallWhole(p, whole);
        }
        return putOtherNumber(p, number);
    }

    // A whole number below 10,000, its digits in pairs from a table.
    static char* putSmallWhole(char* p, std::uint32_t n)
    {
        static constexpr char kPairs[] =
            "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
            "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
            "8081828384858687888990919293949596979899";
        if (n < 10) {
            *p = static_cast<char>('0' + n);
            return p + 1;
        }
        if (n < 100) {
            std::memcpy(p, kPairs + 2 * n, 2);
            return p + 2;
        }
        const std::uint32_t high = n / 100, low = n % 100;
        if (high < 10) {
            *p = static_cast<char>('0' + high);
            std::memcpy(p + 1, kPairs + 2 * low, 2);
            return p + 3;
        }
        std::memcpy(p, kPairs + 2 * high, 2);
        std::memcpy(p + 2, kPairs + 2 * low, 2);
        return p + 4;
    }

    // Any other number: a whole one without a fraction ("-3", "20000"),
    // anything else in its shortest text; JSON has no infinity or NaN.
    static char* putOtherNumber(char* p, double number)
    {
        constexpr double kExactWhole = 9007199254740992.0;  // 2^53
        if (!std::isfinite(number)) {
            std::memcpy(p, "null", 4);
            return p + 4;
        }
        // Below 2^53 a number is whole when a conversion and back keeps it;
        // negative zero is not written as a whole number ("-0").
        if (std::fabs(number) < kExactWhole) {
            const auto whole = static_cast<std::int64_t>(number);
            if (static_cast<double>(whole) == number && !(whole == 0 && std::signbit(number)))
                return std::to_chars(p, p + kShortestTextRoom, whole).ptr;
        }
        return writeShortest(p, number);
    }

    // Whether a text needs no escaping: plain ASCII, no quote, no backslash.
    static bool asItStands(std::string_view text)
    {
        bool plain = true;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            plain &= byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\';
        }
        return plain;
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
        copySmall(p_, bytes.data(), bytes.size());
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
        if (asItStands(text)) {
            room(text.size() + 2);
            *p_++ = '"';
            copySmall(p_, text.data(), text.size());
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
    bool trim_ = false;
};

void member(JsonOut& json, ResultField field, std::string_view text)
{
    json.key(fieldName(field));
    json.value(text);
}

// A text as JSON, quotes and escapes included.
std::string jsonText(std::string_view text)
{
    std::string out;
    JsonOut(out).value(text);
    return out;
}

// `,"name":` (or `"name":` first in its object).
std::string memberName(std::string_view name, bool first = false)
{
    std::string out = first ? "" : ",";
    out += '"';
    out += name;
    out += "\":";
    return out;
}

std::string memberName(ResultField field, bool first = false)
{
    return memberName(fieldName(field), first);
}

// The texts of the version and of a flag's names themselves, not the
// exported constants that hold them, which the library's interface does not
// list among its names.
constexpr std::string_view kVersion = engine::kCoefficientSetVersion;
constexpr std::string_view kFlagCodeName = kFlagFieldNames[0];
constexpr std::string_view kFlagTextName = kFlagFieldNames[1];

// The bytes between the numbers of a computed record that are the same for
// every birth: the members' names and the punctuation around them, made
// once from the names the fields are given.
struct RecordPieces {
    std::string rounded = memberName(ResultField::Rounded);
    std::string centileText = memberName(ResultField::CentileText);
    std::string weeks = memberName(ResultField::Weeks);
    std::string proportion = memberName(ResultField::Proportion);
    std::string expected = memberName(ResultField::ExpectedWeight);
    std::string spread = memberName(ResultField::Spread);
    std::string z = memberName(ResultField::Z);
    std::string flags = memberName(ResultField::Flags) + "[";
    std::string flagCode = "{" + memberName(kFlagCodeName, true);
    std::string flagText = memberName(kFlagTextName);
    std::string inputs = "]" + memberName(ResultField::Inputs) + "{" + memberName(kInputEchoNames[0], true);
    std::string gestDays = memberName(kInputEchoNames[1]);
    std::string ht = memberName(kInputEchoNames[4]);
    std::string sex = memberName(kInputEchoNames[5]);
    std::string end = "}" + memberName(ResultField::CoefficientSetVersion) + jsonText(kVersion) + "}";
    // `{"population":"United Kingdom","centile":`, for each population.
    std::array<std::string, engine::kPopulationCount> opening;
    // `{"id":`, which opens the record instead when the birth has a name.
    std::string id = "{" + memberName(kBirthIdName, true);
    // The bytes of the pieces every record writes between its opening and
    // its flags, and between its flags and its echoed gestation.
    std::size_t headBytes = rounded.size() + centileText.size() + weeks.size() + proportion.size() + expected.size() +
        spread.size() + z.size() + flags.size();
    std::size_t tailBytes = inputs.size() + gestDays.size() + ht.size() + sex.size();

    RecordPieces()
    {
        for (const engine::CoefficientSet& set : engine::allCoefficientSets())
            opening[static_cast<std::size_t>(set.population)] =
                "{" + memberName(ResultField::Population, true) + jsonText(set.name) + memberName(ResultField::Centile);
    }
};

const RecordPieces& recordPieces()
{
    static const RecordPieces pieces;
    return pieces;
}

// The texts a record repeats from birth to birth (a band's code, label and
// words under the same thresholds, a gestation of whole days, a code's
// name), each with the names of the members around it, made once per
// thread and kept: an array of births names the same few again and again.
class RepeatedTexts {
public:
    // `,"band":"AGA","bandLabel":"AGA","bandWords":"...","termWeight":`
    std::string_view band(Band band, const BandThresholds& thresholds)
    {
        const auto same = [](const BandThresholds& a, const BandThresholds& b) {
            return a.verySmall == b.verySmall && a.sga == b.sga && a.lga == b.lga && a.veryLarge == b.veryLarge;
        };
        if (!bandsMade_ || !same(thresholds, thresholds_)) {
            for (std::size_t b = 0; b < bands_.size(); ++b) {
                const auto each = static_cast<Band>(b);
                bands_[b] = memberName(ResultField::Band) + jsonText(bandCode(each)) +
                    memberName(ResultField::BandLabel) + jsonText(bandLabel(each, thresholds)) +
                    memberName(ResultField::BandWords) + jsonText(bandWords(each, thresholds)) +
                    memberName(ResultField::TermWeight);
            }
            thresholds_ = thresholds;
            bandsMade_ = true;
        }
        return bands_[static_cast<std::size_t>(band)];
    }
    // `,"gest":"277 days (39+4)","wt":`
    std::string_view gestation(double days)
    {
        return kept(gestation_, otherGestation_, days, kInputEchoNames[2], kInputEchoNames[3],
                    [](double d) { return gestationText(d); });
    }
    // `,"sexName":"Male (1)","eth":`
    std::string_view sex(double code)
    {
        return kept(sex_, otherSex_, code, kInputEchoNames[6], kInputEchoNames[7], [](double c) { return sexText(c); });
    }
    // `,"ethName":"European (1)","par":`
    std::string_view ethnicGroup(engine::Population population, double code)
    {
        const engine::CoefficientSet& set = engine::coefficients(population);
        return kept(ethnicGroup_[static_cast<std::size_t>(population)], otherEthnicGroup_, code, kInputEchoNames[8],
                    kInputEchoNames[9], [&set](double c) { return ethnicGroupText(set, c); });
    }
    // `,"parName":"0"` and the end of the record.
    std::string_view parity(double code)
    {
        return kept(parity_, otherParity_, code, kInputEchoNames[10], {}, [](double c) { return parityText(c); });
    }

private:
    // The text of a whole number below N, made once; any other made each
    // time, in `other` (and valid until the next of its kind).
    template <std::size_t N, typename Make>
    std::string_view kept(std::array<std::string, N>& pieces, std::string& other, double value, std::string_view name,
                          std::string_view next, const Make& make)
    {
        // Below N a value is whole when a conversion and back keeps it.
        const bool keep = value >= 0 && value < static_cast<double>(N) &&
            static_cast<double>(static_cast<std::size_t>(value)) == value && !std::signbit(value);
        std::string& piece = keep ? pieces[static_cast<std::size_t>(value)] : other;
        if (keep && !piece.empty())
            return piece;
        piece = memberName(name) + jsonText(make(value));
        piece += next.empty() ? recordPieces().end : memberName(next);
        return piece;
    }

    bool bandsMade_ = false;
    BandThresholds thresholds_;
    std::array<std::string, 5> bands_;
    std::array<std::string, 400> gestation_;
    std::array<std::string, 16> sex_;
    std::array<std::string, 16> parity_;
    std::array<std::array<std::string, 32>, engine::kPopulationCount> ethnicGroup_;
    // The last piece of each kind not kept: a record takes all four at once.
    std::string otherGestation_;
    std::string otherSex_;
    std::string otherEthnicGroup_;
    std::string otherParity_;
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

char* put(char* p, std::string_view bytes)
{
    copySmall(p, bytes.data(), bytes.size());
    return p + bytes.size();
}

// A computed birth's record: the pieces that every record repeats, and
// between them its own numbers, centile text and flags. The room of each
// stretch without a text from outside is made once, and its tokens written
// straight after one another.
void appendComputed(JsonOut& json, const ComputedBirth& r, std::string_view idJson = {})
{
    const RecordPieces& pieces = recordPieces();
    RepeatedTexts& texts = repeatedTexts();
    const engine::CentileDetail& d = *r.detail;
    const engine::CentileInputs& in = *r.inputs;
    constexpr std::size_t kNumber = kShortestTextRoom;

    const std::string_view opening = pieces.opening[static_cast<std::size_t>(r.population)];
    const std::string centile = centileText(d.centile, r.thresholds);
    // The seven figures of the centile, laid out together: what the lanes
    // leave (a whole number, a figure beyond their range) is written alone.
    const double figures[] = {d.centile, d.termWeight, d.weeks, d.proportion, d.expected, d.spread, d.z};
    NumberTexts laid;
    const unsigned left = layNumberTexts(figures, std::size(figures), laid);
    auto figure = [&](char* at, std::size_t k) {
        if (left >> k & 1)
            return JsonOut::putNumber(at, figures[k]);
        std::memcpy(at, laid.text[k], NumberTexts::kSlot);
        return at + laid.length[k];
    };
    const std::string_view band = texts.band(r.band, r.thresholds);
    // With the caller's name for the birth, `{"id":...,` opens the record.
    char* p = json.at(idJson.size() + 8 + opening.size() + pieces.headBytes + 2 * kNumber);
    if (!idJson.empty()) {
        p = put(p, pieces.id);
        p = put(p, idJson);
        *p++ = ',';
        p = put(p, opening.substr(1));
    } else {
        p = put(p, opening);
    }
    p = figure(p, 0);
    p = put(p, pieces.rounded);
    p = JsonOut::putNumber(p, roundedCentile(d.centile));
    p = put(p, pieces.centileText);
    json.done(p);
    json.value(centile);  // escaped, should it ever need it
    p = json.at(band.size() + pieces.headBytes + 7 * kNumber);
    p = put(p, band);
    p = figure(p, 1);
    p = put(p, pieces.weeks);
    p = figure(p, 2);
    p = put(p, pieces.proportion);
    p = figure(p, 3);
    p = put(p, pieces.expected);
    p = figure(p, 4);
    p = put(p, pieces.spread);
    p = figure(p, 5);
    p = put(p, pieces.z);
    p = figure(p, 6);
    p = put(p, pieces.flags);
    json.done(p);
    for (std::size_t f = 0; f < r.flags.size(); ++f) {
        const Flag& flag = r.flags[f];
        if (f > 0)
            json.raw(",");
        json.raw(pieces.flagCode);
        json.value(flag.code);
        json.raw(pieces.flagText);
        json.value(flag.text);
        json.raw("}");
    }
    // Each piece is fetched before the next: a piece not kept lives in its
    // own kind's room, so all four hold at once.
    const std::string_view gestation = texts.gestation(in.gestDays);
    const std::string_view sex = texts.sex(in.sex);
    const std::string_view ethnicGroup = texts.ethnicGroup(r.population, in.eth);
    const std::string_view parity = texts.parity(in.par);
    p = json.at(pieces.tailBytes + gestation.size() + sex.size() + ethnicGroup.size() + parity.size() + 7 * kNumber);
    p = put(p, pieces.inputs);
    p = JsonOut::putNumber(p, in.bwt);
    p = put(p, pieces.gestDays);
    p = JsonOut::putNumber(p, in.gestDays);
    p = put(p, gestation);
    p = JsonOut::putNumber(p, in.wt);
    p = put(p, pieces.ht);
    p = JsonOut::putNumber(p, in.ht);
    p = put(p, pieces.sex);
    p = JsonOut::putNumber(p, in.sex);
    p = put(p, sex);
    p = JsonOut::putNumber(p, in.eth);
    p = put(p, ethnicGroup);
    p = JsonOut::putNumber(p, in.par);
    p = put(p, parity);
    json.done(p);
}

// A birth's record, with the caller's name for it first when it gives one.
void appendRecord(JsonOut& json, const BirthResult& r, std::string_view idJson = {})
{
    if (r.computed())
        return appendComputed(json, ComputedBirth{r.population, &r.inputs, &r.detail, r.thresholds, r.band, r.flags},
                              idJson);
    json.open('{');
    if (!idJson.empty())
        json.leadingId(idJson);
    member(json, ResultField::Error, r.error);
    if (!r.field.empty())
        member(json, ResultField::Field, r.field);
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
    appendRecord(json, r);
}

ResultsJsonText::ResultsJsonText(std::string& out, std::size_t expectedBytes)
    : out_(out)
    , used_(out.size())
{
    out_.resize(used_ + expectedBytes);
}

ResultsJsonText::ResultsJsonText(std::string& out, std::size_t expectedBytes, OverWhatItHolds)
    : out_(out)
    , used_(0)
{
    if (out_.size() < expectedBytes)
        out_.resize(expectedBytes);
}

ResultsJsonText::~ResultsJsonText()
{
    out_.resize(used_);
}

void ResultsJsonText::put(char c)
{
    if (used_ == out_.size())
        out_.resize(2 * out_.size() + 1);
    out_[used_++] = c;
}

void ResultsJsonText::record(const BirthResult& r, std::string_view idJson)
{
    JsonOut json(out_, used_);
    appendRecord(json, r, idJson);
    used_ = json.used();
}

void ResultsJsonText::record(const ComputedBirth& birth, std::string_view idJson)
{
    JsonOut json(out_, used_);
    appendComputed(json, birth, idJson);
    used_ = json.used();
}

}  // namespace wrenfield::reading

#include "reading/json.h"

#include <charconv>
#include <cmath>
#include <cstdint>

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
    explicit JsonOut(std::string& out) : out_(out) {}

    void open(char bracket)
    {
        separate();
        out_ += bracket;
        first_ = true;
    }
    void close(char bracket)
    {
        out_ += bracket;
        first_ = false;
    }
    // A member's name: our own field names, which need no escaping.
    void key(std::string_view name)
    {
        separate();
        out_ += '"';
        out_ += name;
        out_ += "\":";
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
        char text[64];
        char* end = text;
        constexpr double kExactWhole = 9007199254740992.0;  // 2^53
        if (!std::isfinite(number)) {
            out_ += "null";
            return;
        }
        if (number == std::floor(number) && std::fabs(number) < kExactWhole && !(number == 0 && std::signbit(number)))
            end = std::to_chars(text, text + sizeof text, static_cast<std::int64_t>(number)).ptr;
        else
            end = std::to_chars(text, text + sizeof text, number).ptr;
        out_.append(text, end);
    }

private:
    void separate()
    {
        if (!first_)
            out_ += ',';
        first_ = false;
    }

    void string(std::string_view text)
    {
        if (!wellFormedUtf8(text)) {
            // The replacement of the broken bytes exactly as the library makes it.
            out_ += nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            return;
        }
        out_ += '"';
        std::size_t plain = 0;  // where the bytes not yet written start
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c >= 0x20 && c != '"' && c != '\\')
                continue;
            out_.append(text.data() + plain, i - plain);
            plain = i + 1;
            switch (c) {
            case '"': out_ += "\\\""; break;
            case '\\': out_ += "\\\\"; break;
            case '\b': out_ += "\\b"; break;
            case '\f': out_ += "\\f"; break;
            case '\n': out_ += "\\n"; break;
            case '\r': out_ += "\\r"; break;
            case '\t': out_ += "\\t"; break;
            default: {
                static constexpr char kHex[] = "0123456789abcdef";
                const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
                out_.append(escape, sizeof escape);
            }
            }
        }
        out_.append(text.data() + plain, text.size() - plain);
        out_ += '"';
    }

    std::string& out_;
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

void inputs(JsonOut& json, const BirthResult& r)
{
    const engine::CoefficientSet& set = engine::coefficients(r.population);
    const engine::CentileInputs& in = r.inputs;
    static_assert(kInputEchoNames.size() == 11);
    json.key(fieldName(ResultField::Inputs));
    json.open('{');
    json.key(kInputEchoNames[0]);
    json.value(in.bwt);
    json.key(kInputEchoNames[1]);
    json.value(in.gestDays);
    json.key(kInputEchoNames[2]);
    json.value(gestationText(in.gestDays));
    json.key(kInputEchoNames[3]);
    json.value(in.wt);
    json.key(kInputEchoNames[4]);
    json.value(in.ht);
    json.key(kInputEchoNames[5]);
    json.value(in.sex);
    json.key(kInputEchoNames[6]);
    json.value(sexText(in.sex));
    json.key(kInputEchoNames[7]);
    json.value(in.eth);
    json.key(kInputEchoNames[8]);
    json.value(ethnicGroupText(set, in.eth));
    json.key(kInputEchoNames[9]);
    json.value(in.par);
    json.key(kInputEchoNames[10]);
    json.value(parityText(in.par));
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
    member(json, ResultField::Band, bandCode(r.band));
    member(json, ResultField::BandLabel, bandLabel(r.band, r.thresholds));
    member(json, ResultField::BandWords, bandWords(r.band, r.thresholds));
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
    member(json, ResultField::CoefficientSetVersion, engine::kCoefficientSetVersion);
    json.close('}');
}

}  // namespace wrenfield::reading

// The value that crosses every public method: empty, null, a 16-bit integer,
// a double, a text, or a reference to a double or to a 16-bit integer that
// lives elsewhere (the caller's own variable).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wrenfield {

class Variant {
public:
    enum class Kind : std::uint8_t { Empty, Null, Int16, Double, String, RefDouble, RefInt16 };

    Variant() = default;  // empty
    Variant(std::int16_t value)
        : kind_(Kind::Int16)
        , int16_(value)
    {}
    // A plain int becomes a 16-bit integer (overflow outside its range).
    Variant(int value);
    Variant(double value)
        : kind_(Kind::Double)
        , double_(value)
    {}
    Variant(std::string text)
        : kind_(Kind::String)
        , text_(std::move(text))
    {}
    Variant(std::string_view text)
        : Variant(std::string(text))
    {}
    Variant(const char* text)
        : Variant(std::string(text))
    {}

    static Variant null();
    // By-reference variants: reads see the referenced variable, stores land in it.
    static Variant refTo(double& variable);
    static Variant refTo(std::int16_t& variable);

    Kind kind() const noexcept { return kind_; }
    bool isRef() const noexcept { return kind_ == Kind::RefDouble || kind_ == Kind::RefInt16; }
    // The kind of the value a read yields (a reference yields its referenced type).
    Kind valueKind() const noexcept;

    bool isEmpty() const noexcept { return kind_ == Kind::Empty; }
    bool isNull() const noexcept { return kind_ == Kind::Null; }
    bool isString() const noexcept { return kind_ == Kind::String; }
    bool isDouble() const noexcept { return valueKind() == Kind::Double; }
    bool isInt16() const noexcept { return valueKind() == Kind::Int16; }

    // The text of a string variant (the zero-length text for any other kind).
    const std::string& text() const noexcept;
    // The referenced variable of a by-reference variant (nullptr otherwise).
    double* doubleRef() const noexcept { return kind_ == Kind::RefDouble ? doubleRef_ : nullptr; }
    std::int16_t* int16Ref() const noexcept { return kind_ == Kind::RefInt16 ? int16Ref_ : nullptr; }

    // The number the variant holds: an integer or a double as it is, a numeric
    // text converted (type mismatch otherwise), empty as 0; null is "Invalid
    // use of Null".
    double number() const;

    // Equality with the zero-length text: true for empty and for a text of
    // length zero; a number (0 included) and null never equal it.
    bool equalsEmptyString() const noexcept;

    // Numeric equality with an integer code: "3" equals 3, 3.0 equals 3, 3.5
    // equals no code. A non-numeric text is a type mismatch. Null and NaN raise
    // an error too, so that neither can silently choose a term.
    bool equalsCode(std::int16_t code) const;

    // Stores a number the way a method writes back into its argument. Into a
    // reference it lands in the referenced variable converted to its type (a
    // 16-bit integer is rounded half to even, and overflows outside
    // -32768..32767); a variant that holds a value is replaced by the double.
    void store(double value);

    // A short readable description ("Double 40", "String \"abc\"", "ByRef Integer 3").
    std::string describe() const;

private:
    Kind kind_ = Kind::Empty;
    union {
        double double_ = 0.0;
        std::int16_t int16_;
        double* doubleRef_;
        std::int16_t* int16Ref_;
    };
    std::string text_;
};

// Converts a double to a 16-bit integer, rounding half to even; outside
// -32768..32767 (or NaN) is an overflow.
std::int16_t toInt16(double value);

}  // namespace wrenfield

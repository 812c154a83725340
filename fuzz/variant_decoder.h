// Variants of every kind decoded from fuzz bytes, for the targets that call
// the population methods: empty, null, 16-bit integers, doubles (NaN,
// infinities, huge, tiny and ordinary values), texts (numeric, blank,
// long, odd bytes), and references to doubles and 16-bit integers that the
// decoder owns, so that a write-back has somewhere to land.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>

#include "platform/variant.h"

namespace wrenfield::fuzzing {

class VariantDecoder {
public:
    explicit VariantDecoder(FuzzedDataProvider& input)
        : input_(input)
    {}

    double decodeDouble()
    {
        static constexpr std::array<double, 16> kSpecial = {
            std::numeric_limits<double>::quiet_NaN(),
            std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity(),
            1e308,
            -1e308,
            std::numeric_limits<double>::max(),
            std::numeric_limits<double>::denorm_min(),
            std::numeric_limits<double>::min(),
            0.0,
            -0.0,
            280,
            3400,
            65,
            165,
            1e-300,
            10000,
        };
        switch (input_.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return kSpecial[input_.ConsumeIntegralInRange<std::size_t>(0, kSpecial.size() - 1)];
        case 1:
            return input_.ConsumeFloatingPoint<double>();  // any bit pattern's worth of range
        case 2:
            return input_.ConsumeFloatingPointInRange<double>(-1e4, 1e4);
        default:
            return static_cast<double>(input_.ConsumeIntegral<std::int16_t>());
        }
    }

    std::string decodeText()
    {
        switch (input_.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            return {};
        case 1:
            return std::to_string(input_.ConsumeIntegralInRange<int>(-100000, 100000));
        case 2:
            return std::string(input_.ConsumeIntegralInRange<std::size_t>(1, 5000), '9');  // a very long number
        case 3: {
            // A number's text with blanks around it, or a number in words.
            static const std::array<const char*, 10> kTexts = {" 3400 ", "\t40\t", "1e308", "-1e309",    "nan",
                                                               "inf",    "0x10",   "3,400", "4 or more", "."};
            return kTexts[input_.ConsumeIntegralInRange<std::size_t>(0, kTexts.size() - 1)];
        }
        default:
            return input_.ConsumeRandomLengthString(64);  // any bytes, NULs included
        }
    }

    Variant decode()
    {
        switch (input_.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
            return Variant();
        case 1:
            return Variant::null();
        case 2:
            return Variant(input_.ConsumeIntegral<std::int16_t>());
        case 3:
            return Variant(decodeDouble());
        case 4:
            return Variant(decodeText());
        case 5:
            return Variant::refTo(doubles_.emplace_back(decodeDouble()));
        case 6:
            return Variant::refTo(int16s_.emplace_back(input_.ConsumeIntegral<std::int16_t>()));
        default:
            return Variant(static_cast<std::int16_t>(input_.ConsumeIntegralInRange<int>(0, 30)));  // a code
        }
    }

private:
    FuzzedDataProvider& input_;
    // Stable addresses for the referenced variables.
    std::deque<double> doubles_;
    std::deque<std::int16_t> int16s_;
};

}  // namespace wrenfield::fuzzing

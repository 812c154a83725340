// The promise of every population method, over many seeded random calls
// with arguments of every kind: a finite double, or the zero-length text
// exactly when an argument is missing (and then nothing is written back), or
// one of the defined run-time errors. Never anything else.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <limits>
#include <random>
#include <string>

#include "engine/population_methods.h"
#include "platform/runtime_error.h"

namespace wrenfield::engine {
namespace {

class RandomVariants {
public:
    explicit RandomVariants(unsigned seed)
        : random_(seed)
    {}

    double anyDouble()
    {
        static const double kSpecial[] = {std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          1e308,
                                          -1e308,
                                          std::numeric_limits<double>::denorm_min(),
                                          0.0,
                                          -0.0,
                                          280,
                                          3400,
                                          10000};
        switch (pick(3)) {
        case 0:
            return kSpecial[pick(std::size(kSpecial) - 1)];
        case 1:
            return std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random_), pick(2100) - 1050);
        case 2:
            return std::uniform_real_distribution<double>(-1e4, 1e4)(random_);
        default:
            return static_cast<double>(static_cast<std::int16_t>(pick(65535)));
        }
    }

    std::string anyText()
    {
        static const char* const kTexts[] = {"",     " ",     "3400",      " 280 ", "1e308", "1e309",  "nan",     "inf",
                                             "0x10", "3,400", "4 or more", ".",     "-",     "1e-400", "European"};
        if (pick(3) == 0) {
            std::string bytes(pick(12), '\0');
            for (char& c : bytes)
                c = static_cast<char>(pick(255));
            return bytes;
        }
        return kTexts[pick(std::size(kTexts) - 1)];
    }

    Variant any()
    {
        switch (pick(7)) {
        case 0:
            return Variant();
        case 1:
            return Variant::null();
        case 2:
            return Variant(static_cast<std::int16_t>(pick(65535)));
        case 3:
            return Variant(anyDouble());
        case 4:
            return Variant(anyText());
        case 5:
            return Variant::refTo(doubles_.emplace_back(anyDouble()));
        case 6:
            return Variant::refTo(int16s_.emplace_back(static_cast<std::int16_t>(pick(65535))));
        default:
            return Variant(static_cast<std::int16_t>(pick(30)));
        }
    }

    std::size_t pick(std::size_t last) { return std::uniform_int_distribution<std::size_t>(0, last)(random_); }

private:
    std::mt19937 random_;
    std::deque<double> doubles_;
    std::deque<std::int16_t> int16s_;
};

bool isDefinedError(ErrorNumber number)
{
    return number == ErrorNumber::InvalidProcedureCall || number == ErrorNumber::Overflow ||
        number == ErrorNumber::DivisionByZero || number == ErrorNumber::TypeMismatch ||
        number == ErrorNumber::InvalidUseOfNull;
}

TEST(MethodInvariant, FiniteCentileOrZeroLengthTextOrADefinedError)
{
    RandomVariants random(20261207);
    int computed = 0, missing = 0, failed = 0;
    for (int call = 0; call < 20000; ++call) {
        const auto population = static_cast<Population>(random.pick(4));
        Variant args[7];
        bool anyMissing = false;
        std::string before[7];
        for (int i = 0; i < 7; ++i) {
            // Mostly plausible numbers, so that many calls get to a centile.
            args[i] = random.pick(3) == 0 ? random.any() : Variant(static_cast<double>(random.pick(400)));
            anyMissing = anyMissing || args[i].equalsEmptyString();
            before[i] = args[i].describe();
        }
        SCOPED_TRACE(before[0] + ", " + before[1] + ", " + before[2] + ", " + before[3] + ", " + before[4] + ", " +
                     before[5] + ", " + before[6]);
        try {
            Variant result =
                populationMethod(population)(args[0], args[1], args[2], args[3], args[4], args[5], args[6]);
            if (anyMissing) {
                ASSERT_TRUE(result.isString() && result.text().empty());
                for (int i = 0; i < 7; ++i)
                    ASSERT_EQ(args[i].describe(), before[i]) << "argument " << i << " changed";
                ++missing;
            } else {
                ASSERT_EQ(result.kind(), Variant::Kind::Double);
                ASSERT_TRUE(std::isfinite(result.number()));
                ASSERT_GT(result.number(), -0.001);
                ASSERT_LT(result.number(), 100.001);
                ++computed;
            }
        } catch (const RuntimeError& e) {
            ASSERT_FALSE(anyMissing) << "a missing input raised " << e.what();
            ASSERT_TRUE(isDefinedError(e.number())) << e.what();
            ++failed;
        }
    }
    // Each outcome is reached often enough for the test to mean something.
    EXPECT_GT(computed, 1000);
    EXPECT_GT(missing, 1000);
    EXPECT_GT(failed, 1000);
}

}  // namespace
}  // namespace wrenfield::engine

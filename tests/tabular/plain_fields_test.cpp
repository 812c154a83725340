// A plain line's fields read 64 bytes at once against the same line read
// byte by byte: wherever the whole-line reading answers, the same end, the
// same inputs to the last bit and the same population text; and it answers
// for the lines a file of births is made of.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tabular/plain_fields.h"

#if defined(WRENFIELD_X86_64_LANES)
namespace wrenfield::tabular {
namespace {

// The field texts lines are made of: plain decimals of every length the
// whole-line reading takes, and everything near one that it leaves to the
// byte reading or that the byte reading refuses or reads otherwise.
const char* const kPlainTexts[] = {"7",         "3400",      "74.6",     "0.5",      "12345678",  "1234567.8",
                                   "1.2345678", "0.0000001", "99999999", "00000001", "0000000.1", "280"};
const char* const kOddTexts[] = {
    "0",  "00", "0.0",      "123456789", "12345678.9",  "1.23456789", "100000000", "",    ".",   ".5",
    "5.", "9.", "1..5",     "1.2.3",     "-1",          "-0",         "+1",        " 1",  "1 ",  "1e3",
    "x",  "1x", "\xc3\xa9", "UK",        "New Zealand", "1;2",        "1\t2",      "1,2", "1\r", "\0"};

const std::vector<std::uint8_t> kInOrder = {0, 1, 2, 3, 4, 5, 6};
const std::vector<std::uint8_t> kRegister = {kOtherField, 0, 1, 2, 3, 4, 5, 6, kPopulationField};
const std::vector<std::uint8_t> kShuffled = {6, kPopulationField, 3, 0, kOtherField, 5, 1, 4, 2};

struct Reading {
    const char* end = nullptr;
    std::uint64_t bits[reading::kInputFieldCount] = {};
    std::string population;
};

Reading byWholeLines(const PlainFieldShape& shape, const std::string& text)
{
    Reading read;
    engine::CentileInputs inputs;
    std::string_view population;
    read.end = avx512::scanLineFields(shape, text.data(), text.data() + text.size(), inputs, population);
    std::memcpy(read.bits, &inputs, sizeof read.bits);
    read.population = population;
    return read;
}

Reading byBytes(const PlainFieldShape& shape, const std::string& text)
{
    Reading read;
    engine::CentileInputs inputs;
    std::string_view population;
    read.end = scanPlainFields(shape, text.data(), text.data() + text.size(), inputs, population);
    if (read.end != nullptr && !reading::valuesAdmissible(inputs))
        read.end = nullptr;
    std::memcpy(read.bits, &inputs, sizeof read.bits);
    read.population = population;
    return read;
}

// Checks one line (followed by `after`, then the end of the text, so the
// whole-line reading meets the end of its buffer too); true when the
// whole-line reading answered.
bool sameReading(const PlainFieldShape& shape, const std::string& line, const std::string& after)
{
    const std::string text = line + after;
    const Reading fast = byWholeLines(shape, text);
    if (fast.end == nullptr)
        return false;
    const Reading slow = byBytes(shape, text);
    EXPECT_EQ(fast.end, slow.end) << line;
    for (std::size_t c = 0; c < reading::kInputFieldCount; ++c)
        EXPECT_EQ(fast.bits[c], slow.bits[c]) << "input " << c << " of " << line;
    EXPECT_EQ(fast.population, slow.population) << line;
    return true;
}

class PlainFields : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!wholeLineReadingSupported())
            GTEST_SKIP() << "this processor lacks the instructions of the whole-line reading";
    }
};

TEST_F(PlainFields, WholeLinesReadAsTheBytesReadThem)
{
    std::mt19937_64 random(20261208);
    const char* const endings[] = {"\n", "\r\n", "", "\r", "\n3400,280", "\r\r\n"};
    std::size_t lines = 0;
    std::size_t answered = 0;
    for (const char delimiter : {',', ';', '\t'}) {
        for (const auto& roles : {kInOrder, kRegister, kShuffled}) {
            const PlainFieldShape shape = plainFieldShape(delimiter, roles);
            ASSERT_TRUE(shape.wholeLines);
            for (int n = 0; n < 20000; ++n) {
                // Mostly good fields, sometimes one odd one, sometimes a field
                // too many or too few.
                std::string line;
                std::size_t width = roles.size();
                if (n % 10 == 0)
                    width += random() % 3 - 1;
                for (std::size_t f = 0; f < width; ++f) {
                    if (f > 0)
                        line += delimiter;
                    if (random() % 12 == 0)
                        line += kOddTexts[random() % std::size(kOddTexts)];
                    else
                        line += kPlainTexts[random() % std::size(kPlainTexts)];
                }
                const std::string ending = endings[random() % std::size(endings)];
                ++lines;
                answered += sameReading(shape, line, ending) ? 1 : 0;
            }
        }
    }
    // The whole-line reading must answer for many lines (longer ones, of 64
    // bytes or more, and those with an odd field are left to the bytes).
    EXPECT_GT(answered, lines / 8);
}

TEST_F(PlainFields, ReadingAtTheEdges)
{
    const PlainFieldShape shape = plainFieldShape(',', kInOrder);
    // Lines a file of births holds: every one answered.
    for (const char* line : {"3620,261,74.6,164,0,4,1\n", "3620,261,74.6,164,0,4,1\r\n", "3620,261,74.6,164,0,4,1",
                             "1,1,1,1,0,0,0\n", "99999999,12345678,1234567.8,0.0000001,1,2,3\n"})
        EXPECT_TRUE(sameReading(shape, line, "")) << line;
    // Lines left to the byte reading: a measurement of zero, a sign, nine
    // digits, a lone carriage return, a line of 64 bytes or more.
    for (const char* line :
         {"0,261,74.6,164,0,4,1\n", "3620,261,74.6,0.0,0,4,1\n", "-3620,261,74.6,164,0,4,1\n",
          "3620,261,74.6,164,0,4,123456789\n", "3620,261,74.6,164,0,4,1\r", "3620,261,74.6,164,0,4,1\r3\n"})
        EXPECT_FALSE(sameReading(shape, line, "")) << line;
    // 63 bytes and its line feed (or the end of the text): read at once; 64: left to the byte reading.
    std::string longest;
    for (int f = 0; f < 6; ++f)
        longest += "1234567.8,";
    longest += "1.5";
    ASSERT_EQ(longest.size(), 63U);
    EXPECT_TRUE(sameReading(shape, longest, "\n"));
    EXPECT_TRUE(sameReading(shape, longest, ""));
    longest.insert(longest.size() - 2, "2");
    EXPECT_FALSE(sameReading(shape, longest, "\n"));
    EXPECT_FALSE(sameReading(shape, longest, ""));
}

// A line at the very end of its buffer (no byte after it that may be read):
// what the whole-line reading reads is its own line alone.
TEST_F(PlainFields, LineAtTheEndOfItsBuffer)
{
    const PlainFieldShape shape = plainFieldShape(',', kRegister);
    const std::string line = "id7,3400,280,64,163,1,1,0,UK";
    for (std::size_t cut = line.size() - 2; cut <= line.size(); ++cut) {
        std::vector<char> buffer(line.begin(), line.begin() + static_cast<long>(cut));
        engine::CentileInputs inputs;
        std::string_view population;
        const char* const end = buffer.data() + buffer.size();
        const char* const read = avx512::scanLineFields(shape, buffer.data(), end, inputs, population);
        ASSERT_EQ(read, end);
        EXPECT_EQ(population, std::string_view(line).substr(26, cut - 26));
        EXPECT_EQ(inputs.par, 0);
    }
}

}  // namespace
}  // namespace wrenfield::tabular
#endif

// A plain line's fields read whole (64 bytes at once with AVX-512, or by the
// layouts of lines with AVX2) against the same line read byte by byte:
// wherever the whole-line reading answers, the same end, the same inputs to
// the last bit and the same population text; and it answers for the lines a
// file of births is made of.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <memory>
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
// The short ones, of which lines of fewer than 32 bytes are made.
const char* const kShortPlainTexts[] = {"7", "3400", "74.6", "0.5", "280", "1.25", "12", "0.05", "99", "0.0000001"};
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

// The whole-line reading under test, and the AVX2 reading's layouts of
// lines met so far (of one shape).
struct WholeLines {
    LineReader reader;
    avx2::LineLayouts layouts;
};

Reading byWholeLines(const PlainFieldShape& shape, WholeLines& whole, const std::string& text)
{
    Reading read;
    engine::CentileInputs inputs;
    std::string_view population;
    const char* const end = text.data() + text.size();
    if (whole.reader == LineReader::Avx512)
        read.end = avx512::scanLineFields(shape, text.data(), end, inputs, population);
    else
        read.end = avx2::scanLineFields(shape, whole.layouts, text.data(), end, inputs, population);
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
bool sameReading(const PlainFieldShape& shape, WholeLines& whole, const std::string& line, const std::string& after)
{
    const std::string text = line + after;
    const Reading fast = byWholeLines(shape, whole, text);
    if (fast.end == nullptr)
        return false;
    const Reading slow = byBytes(shape, text);
    EXPECT_EQ(fast.end, slow.end) << line;
    for (std::size_t c = 0; c < reading::kInputFieldCount; ++c)
        EXPECT_EQ(fast.bits[c], slow.bits[c]) << "input " << c << " of " << line;
    EXPECT_EQ(fast.population, slow.population) << line;
    return true;
}

class PlainFields : public ::testing::TestWithParam<LineReader> {
protected:
    void SetUp() override
    {
        if (!lineReaderSupported(GetParam()))
            GTEST_SKIP() << "this processor lacks the instructions of the whole-line reading";
    }
    // The shape, and fresh layouts for its lines.
    PlainFieldShape shapeOf(char delimiter, const std::vector<std::uint8_t>& roles)
    {
        whole_ = std::make_unique<WholeLines>(WholeLines{GetParam(), {}});
        return plainFieldShape(delimiter, roles);
    }
    WholeLines& whole() { return *whole_; }

private:
    std::unique_ptr<WholeLines> whole_;
};

// The longest line each reading reads whole, without its line break.
std::size_t longestLine(LineReader reader)
{
    return reader == LineReader::Avx512 ? 63 : 31;
}

TEST_P(PlainFields, WholeLinesReadAsTheBytesReadThem)
{
    std::mt19937_64 random(20261208);
    const char* const endings[] = {"\n", "\r\n", "", "\r", "\n3400,280", "\r\r\n"};
    std::size_t lines = 0;
    std::size_t answered = 0;
    for (const char delimiter : {',', ';', '\t'}) {
        for (const auto& roles : {kInOrder, kRegister, kShuffled}) {
            const PlainFieldShape shape = shapeOf(delimiter, roles);
            ASSERT_NE(shape.reader, LineReader::Bytes);
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
                    else if (GetParam() == LineReader::Avx2)
                        line += kShortPlainTexts[random() % std::size(kShortPlainTexts)];
                    else
                        line += kPlainTexts[random() % std::size(kPlainTexts)];
                }
                const std::string ending = endings[random() % std::size(endings)];
                ++lines;
                answered += sameReading(shape, whole(), line, ending) ? 1 : 0;
            }
        }
    }
    // The whole-line reading must answer for many lines (longer ones and
    // those with an odd field are left to the bytes; with AVX2, lines of
    // nine fields are mostly longer than it reads).
    EXPECT_GT(answered, lines / (GetParam() == LineReader::Avx512 ? 8 : 20));
}

TEST_P(PlainFields, ReadingAtTheEdges)
{
    const PlainFieldShape shape = shapeOf(',', kInOrder);
    // Lines a file of births holds: every one answered.
    for (const char* line : {"3620,261,74.6,164,0,4,1\n", "3620,261,74.6,164,0,4,1\r\n", "3620,261,74.6,164,0,4,1",
                             "1,1,1,1,0,0,0\n", "9999999,1234567,12.8,0.1,1,2,3\n", "1,2,3,4,12345678,1.2345678,9\n"})
        EXPECT_TRUE(sameReading(shape, whole(), line, "")) << line;
    // Lines left to the byte reading: a measurement of zero, a sign, nine
    // digits, a lone carriage return, a line of 64 bytes or more.
    for (const char* line :
         {"0,261,74.6,164,0,4,1\n", "3620,261,74.6,0.0,0,4,1\n", "-3620,261,74.6,164,0,4,1\n",
          "3620,261,74.6,164,0,4,123456789\n", "3620,261,74.6,164,0,4,1\r", "3620,261,74.6,164,0,4,1\r3\n"})
        EXPECT_FALSE(sameReading(shape, whole(), line, "")) << line;
    // The longest line and its line feed (or the end of the text): read at
    // once; a byte more: left to the byte reading.
    std::string longest = "1234567.8,123456,12.5,123,1,2,3";
    if (GetParam() == LineReader::Avx512) {
        longest.clear();
        for (int f = 0; f < 6; ++f)
            longest += "1234567.8,";
        longest += "1.5";
    }
    ASSERT_EQ(longest.size(), longestLine(GetParam()));
    EXPECT_TRUE(sameReading(shape, whole(), longest, "\n"));
    EXPECT_TRUE(sameReading(shape, whole(), longest, ""));
    longest.insert(longest.size() - 2, "2");
    EXPECT_FALSE(sameReading(shape, whole(), longest, "\n"));
    EXPECT_FALSE(sameReading(shape, whole(), longest, ""));
}

// Lines of one layout read one after another with AVX2: every line of a
// layout is checked, not only the first, so a stray byte where the layout
// has digits is left to the byte reading.
TEST_P(PlainFields, EveryLineOfALayoutIsChecked)
{
    const PlainFieldShape shape = shapeOf(',', kRegister);
    EXPECT_TRUE(sameReading(shape, whole(), "a,3400,280,64.5,163,1,1,0,UK\n", ""));
    EXPECT_TRUE(sameReading(shape, whole(), "b,3410,281,65.5,164,0,2,1,NZ\n", ""));
    for (const char* line : {"c,34x0,281,65.5,164,0,2,1,NZ\n", "c,3410,281,65.5,16\xc3,0,2,1,NZ\n",
                             "c,0000,281,65.5,164,0,2,1,NZ\n", "c,3410,281,00.0,164,0,2,1,NZ\n"})
        EXPECT_FALSE(sameReading(shape, whole(), line, "")) << line;
    EXPECT_TRUE(sameReading(shape, whole(), "d,3420,282,66.5,165,1,3,2,SE\n", ""));
}

// A line at the very end of its buffer (no byte after it that may be read):
// what the whole-line reading reads is its own line alone.
TEST_P(PlainFields, LineAtTheEndOfItsBuffer)
{
    const PlainFieldShape shape = shapeOf(',', kRegister);
    const std::string line = "id7,3400,280,64,163,1,1,0,UK";
    for (std::size_t cut = line.size() - 2; cut <= line.size(); ++cut) {
        std::vector<char> buffer(line.begin(), line.begin() + static_cast<long>(cut));
        engine::CentileInputs inputs;
        std::string_view population;
        const char* const end = buffer.data() + buffer.size();
        const char* const read = GetParam() == LineReader::Avx512
            ? avx512::scanLineFields(shape, buffer.data(), end, inputs, population)
            : avx2::scanLineFields(shape, whole().layouts, buffer.data(), end, inputs, population);
        ASSERT_EQ(read, end);
        EXPECT_EQ(population, std::string_view(line).substr(26, cut - 26));
        EXPECT_EQ(inputs.par, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, PlainFields, ::testing::Values(LineReader::Avx512, LineReader::Avx2),
                         [](const ::testing::TestParamInfo<LineReader>& info) {
                             return info.param == LineReader::Avx512 ? "Avx512" : "Avx2";
                         });

}  // namespace
}  // namespace wrenfield::tabular
#endif

#include "tabular/csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "tabular/byte_scan.h"
#include "tests/support/csv_records.h"

namespace wrenfield::tabular {
namespace {

struct Expected {
    std::vector<std::string> fields;
    long line;
    std::string problem;
};

struct ReadCase {
    const char* name;
    std::string input;
    std::vector<Expected> records;
};

void PrintTo(const ReadCase& c, std::ostream* out)
{
    *out << c.name;
}

class CsvReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(CsvReadTest, ReadsRecordsWithLinesAndProblems)
{
    const ReadCase& c = GetParam();
    std::vector<CsvRecord> records = testing::readAllRecords(c.input);
    ASSERT_EQ(records.size(), c.records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        EXPECT_EQ(records[i].fields, c.records[i].fields);
        EXPECT_EQ(records[i].line, c.records[i].line);
        EXPECT_EQ(records[i].problem, c.records[i].problem);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvReadTest,
    ::testing::Values(
        ReadCase{"LineFeeds", "a,b\n1,2\n", {{{"a", "b"}, 1, ""}, {{"1", "2"}, 2, ""}}},
        ReadCase{"CrLf", "a,b\r\n1,2\r\n", {{{"a", "b"}, 1, ""}, {{"1", "2"}, 2, ""}}},
        ReadCase{"NoFinalLineBreak", "a,b\n1,2", {{{"a", "b"}, 1, ""}, {{"1", "2"}, 2, ""}}},
        ReadCase{"CrAtEndOfInput", "a,b\r\n1,2\r", {{{"a", "b"}, 1, ""}, {{"1", "2"}, 2, ""}}},
        ReadCase{"EmptyFields", "a,b,c\n,,\n", {{{"a", "b", "c"}, 1, ""}, {{"", "", ""}, 2, ""}}},
        ReadCase{
            "QuotedCommaQuoteAndLineBreak",
            "a,b\n\"x, y\",\"say \"\"hi\"\"\"\n\"two\nlines\",\"\"\nz,w\n",
            {{{"a", "b"}, 1, ""}, {{"x, y", "say \"hi\""}, 2, ""}, {{"two\nlines", ""}, 3, ""}, {{"z", "w"}, 5, ""}}},
        ReadCase{"CrLfInsideQuotesIsKept", "a\r\n\"1\r\n2\"\r\n", {{{"a"}, 1, ""}, {{"1\r\n2"}, 2, ""}}},
        ReadCase{"ByteOrderMarkIsSkipped",
                 "\xEF\xBB\xBF"
                 "a,b\n1,2\n",
                 {{{"a", "b"}, 1, ""}, {{"1", "2"}, 2, ""}}},
        ReadCase{"QuoteInsideUnquotedFieldIsKept", "a,b\n5'2\",x\n", {{{"a", "b"}, 1, ""}, {{"5'2\"", "x"}, 2, ""}}},
        ReadCase{"FieldCountMismatch",
                 "a,b,c\n1,2\n1,2,3,4\n5,6,7\n",
                 {{{"a", "b", "c"}, 1, ""},
                  {{"1", "2"}, 2, "expected 3 fields, found 2"},
                  {{"1", "2", "3", "4"}, 3, "expected 3 fields, found 4"},
                  {{"5", "6", "7"}, 4, ""}}},
        // The quote opened on line 2 is never closed: the lines after it are
        // still records of their own.
        ReadCase{"UnterminatedQuoteResumesOnTheNextLine",
                 "a,b\n1,\"2\n3,4\n5,6\n",
                 {{{"a", "b"}, 1, ""}, {{"1"}, 2, "unterminated quote"}, {{"3", "4"}, 3, ""}, {{"5", "6"}, 4, ""}}},
        ReadCase{"UnterminatedQuoteAfterAMultiLineField",
                 "a,b,c\n\"x\ny\",\"open\n7,8,9\n",
                 {{{"a", "b", "c"}, 1, ""}, {{"x\ny"}, 2, "unterminated quote"}, {{"7", "8", "9"}, 4, ""}}},
        // A stray quote closes at the next quote, rows later: the record it
        // makes is malformed, so it is cut at the stray quote instead.
        ReadCase{"StrayQuoteDoesNotSwallowTheNextRows",
                 "a,b\n1,\"2\n3,4\n5,\"6\"\n",
                 {{{"a", "b"}, 1, ""}, {{"1"}, 2, "unbalanced quote"}, {{"3", "4"}, 3, ""}, {{"5", "6"}, 4, ""}}},
        ReadCase{"StrayQuoteBeforeAFieldCountMismatch",
                 "a,b\n1,\"2\n3\",4,5\n6,7\n",
                 {{{"a", "b"}, 1, ""},
                  {{"1"}, 2, "unbalanced quote"},
                  {{"3\"", "4", "5"}, 3, "expected 2 fields, found 3"},
                  {{"6", "7"}, 4, ""}}},
        // Most of the input lies before the quote, so the reader's buffer
        // moves while the quoted field is read: resuming must still land on
        // the right line.
        ReadCase{"UnterminatedQuoteLateInTheInput",
                 "a,b\n" + std::string(60, 'x') + ",y\n1,\"2\n3,4\n",
                 {{{"a", "b"}, 1, ""},
                  {{std::string(60, 'x'), "y"}, 2, ""},
                  {{"1"}, 3, "unterminated quote"},
                  {{"3", "4"}, 4, ""}}},
        ReadCase{
            "UnterminatedQuoteOnTheLastLine", "a,b\n1,\"2", {{{"a", "b"}, 1, ""}, {{"1"}, 2, "unterminated quote"}}},
        ReadCase{"TextAfterClosingQuote",
                 "a,b\n\"1\"x,2\n3,4\n",
                 {{{"a", "b"}, 1, ""}, {{"1"}, 2, "unexpected text after a closing quote"}, {{"3", "4"}, 3, ""}}},
        ReadCase{"EmptyLineInsideIsAMalformedRecord",
                 "a,b\n1,2\n\n\r\n3,4\n",
                 {{{"a", "b"}, 1, ""},
                  {{"1", "2"}, 2, ""},
                  {{""}, 3, "empty line"},
                  {{""}, 4, "empty line"},
                  {{"3", "4"}, 5, ""}}},
        ReadCase{"EmptyLinesAtTheEndAreNoRecords", "a,b\n1,2\n\n\r\n\n", {{{"a", "b"}, 1, ""}, {{"1", "2"}, 2, ""}}},
        ReadCase{"NothingAtAll", "", {}}, ReadCase{"OnlyEmptyLines", "\n\n", {}}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(CsvReader, ReportsByteOrderMarkAndLineBreakStyle)
{
    std::istringstream in("\xEF\xBB\xBF"
                          "a,b\r\n1,2");
    CsvReader reader(in);
    CsvRecord record;
    ASSERT_TRUE(reader.next(record));
    EXPECT_TRUE(reader.hadByteOrderMark());
    EXPECT_TRUE(reader.lastRecordEndedWithCrLf());
    ASSERT_TRUE(reader.next(record));
    EXPECT_FALSE(reader.lastRecordEndedWithCrLf());
    EXPECT_FALSE(reader.next(record));
    EXPECT_FALSE(reader.readFailed());
}

TEST(CsvReader, OverlongFieldsAreMalformedAndReadingGoesOn)
{
    CsvReader::Options options;
    options.maxFieldBytes = 8;
    auto records = testing::readAllRecords("a,b\n123456789012,x\n\"123456789012\",y\n1,2\n", options);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].problem, "field longer than 8 bytes");
    EXPECT_EQ(records[1].line, 2);
    EXPECT_EQ(records[2].problem, "quoted field longer than 8 bytes (unterminated quote?)");
    EXPECT_EQ(records[2].line, 3);
    EXPECT_EQ(records[3].fields, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(records[3].line, 4);
}

// However a record's length is made up (many short fields, quoted or not,
// or too many fields), over the limits it is a malformed record of its own
// and the next line is read as usual; at the limits it is a record like
// any other.
TEST(CsvReader, RecordsOverTheLimitsAreMalformedAndReadingGoesOn)
{
    CsvReader::Options options;
    options.maxFieldBytes = 8;
    options.maxRecordBytes = 20;
    options.maxRecordFields = 6;
    const struct Case {
        const char* name;
        std::string line;
        std::string problem;
    } cases[] = {
        {"short fields, too many bytes", "1234567,1234567,1234567", "record longer than 20 bytes"},
        {"quoted fields, too many bytes", "\"1234567\",\"1234567\",\"1234567\"",
         "record longer than 20 bytes (unterminated quote?)"},
        {"too many fields", "1,2,3,4,5,6,7", "more than 6 fields"},
        {"at both limits", "12345678,1234567,123", ""},
        {"six fields", "1,2,3,4,5,6", "expected 3 fields, found 6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto records = testing::readAllRecords("a,b,c\n" + c.line + "\nx,y,z\n", options);
        ASSERT_EQ(records.size(), 3u);
        EXPECT_EQ(records[1].problem, c.problem);
        EXPECT_EQ(records[1].line, 2);
        EXPECT_EQ(records[2].fields, (std::vector<std::string>{"x", "y", "z"}));
        EXPECT_EQ(records[2].line, 3);
        EXPECT_FALSE(records[2].malformed());
    }
}

// `text` with a byte order mark, in UTF-16 (unit 2) or UTF-32 (unit 4).
std::string encoded(const std::u32string& text, int unit, bool little)
{
    std::string out;
    auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += static_cast<char>((value >> (little ? 8 * i : 8 * (bytes - 1 - i))) & 0xFF);
    };
    for (char32_t c : U"\uFEFF" + text) {
        if (unit == 2 && c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10), 2);
            put(0xDC00 + ((c - 0x10000) & 0x3FF), 2);
        } else {
            put(c, unit);
        }
    }
    return out;
}

// A spreadsheet's "Unicode text" (UTF-16 with a byte order mark, tabs
// between the fields) and its UTF-32 cousins read as the same text in UTF-8,
// wherever the reads cut the code units and the surrogate pairs.
TEST(CsvReader, Utf16AndUtf32ReadAsTheSameTextInUtf8)
{
    const std::u32string text = U"id\tname\tbwt\n1\tM\u0101ori \U0001D11E\t3400\n2\t\"a\tb\"\t3.4kg\n";
    CsvReader::Options detect;
    detect.detectDelimiter = true;
    const auto expected = testing::readAllRecords("id\tname\tbwt\n1\tM\xC4\x81ori \xF0\x9D\x84\x9E\t3400\n"
                                                  "2\t\"a\tb\"\t3.4kg\n",
                                                  detect);
    ASSERT_EQ(expected.size(), 3u);
    ASSERT_EQ(expected[1].fields.size(), 3u);
    const struct Encoding {
        const char* name;
        int unit;
        bool little;
    } encodings[] = {{"UTF-16LE", 2, true}, {"UTF-16BE", 2, false}, {"UTF-32LE", 4, true}, {"UTF-32BE", 4, false}};
    for (const Encoding& encoding : encodings) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{5}, std::size_t{1} << 16}) {
            SCOPED_TRACE(std::string(encoding.name) + ", read " + std::to_string(chunk) + " bytes at a time");
            std::istringstream in(encoded(text, encoding.unit, encoding.little));
            CsvReader::Options options;
            options.readChunkBytes = chunk;
            options.detectDelimiter = true;
            CsvReader reader(in, options);
            std::vector<CsvRecord> records;
            for (CsvRecord record; reader.next(record);)
                records.push_back(record);
            EXPECT_TRUE(reader.hadByteOrderMark());
            EXPECT_STREQ(reader.encodingName(), encoding.name);
            ASSERT_EQ(records.size(), expected.size());
            for (std::size_t i = 0; i < records.size(); ++i)
                EXPECT_EQ(records[i].fields, expected[i].fields);
        }
    }
    // A lone surrogate and a last unit cut short stand for no character.
    const std::string broken = std::string("\xFF\xFE"
                                           "a\0\x00\xD8"
                                           "b\0\n\0"
                                           "c",
                                           11);
    auto records = testing::readAllRecords(broken);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].fields[0],
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(records[1].fields[0], "\xEF\xBF\xBD");
}

// Far more than one read chunk, with quoted fields and a stray quote well
// inside: every record keeps its line and its fields.
TEST(CsvReader, LongInputAcrossManyReadChunks)
{
    std::string text = "n,text\n";
    const int rows = 30000;
    const int broken = 17000;
    for (int i = 1; i <= rows; ++i) {
        if (i == broken)
            text += std::to_string(i) + ",\"never closed\n";
        else if (i % 3 == 0)
            text += std::to_string(i) + ",\"quoted, with \"\"quotes\"\"\"\n";
        else
            text += std::to_string(i) + ",plain\n";
    }
    auto records = testing::readAllRecords(text);
    ASSERT_EQ(records.size(), static_cast<std::size_t>(rows + 1));
    for (int i = 1; i <= rows; ++i) {
        const CsvRecord& record = records[static_cast<std::size_t>(i)];
        ASSERT_EQ(record.line, i + 1);
        ASSERT_EQ(record.fields[0], std::to_string(i));
        if (i == broken) {
            // The stray quote runs into the quoted field of the next row.
            EXPECT_EQ(record.problem, "unbalanced quote");
        } else {
            ASSERT_FALSE(record.malformed()) << "row " << i << ": " << record.problem;
            ASSERT_EQ(record.fields[1], i % 3 == 0 ? "quoted, with \"quotes\"" : "plain");
        }
    }
}

TEST(CsvWriter, QuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(CsvWriter::quoted("plain text"), "plain text");
    EXPECT_EQ(CsvWriter::quoted(""), "");
    EXPECT_EQ(CsvWriter::quoted("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvWriter::quoted("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvWriter::quoted("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvWriter::quoted("cr\r"), "\"cr\r\"");
}

TEST(CsvWriter, WhatItWritesReadsBackTheSame)
{
    const std::vector<std::vector<std::string>> records = {
        {"id", "note", "empty"},
        {"1", "a, b", ""},
        {"2", "\"quoted\"", "x"},
        {"3", "line\nbreak\r\nand more", " blanks "},
    };
    for (const char* lineBreak : {"\n", "\r\n"}) {
        std::ostringstream out;
        CsvWriter writer(out, lineBreak);
        for (const auto& record : records)
            writer.writeRecord(record);
        auto back = testing::readAllRecords(out.str());
        ASSERT_EQ(back.size(), records.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(back[i].fields, records[i]);
            EXPECT_FALSE(back[i].malformed());
        }
    }
}

TEST(CsvWriter, OneEmptyFieldIsNotAnEmptyLine)
{
    std::ostringstream out;
    CsvWriter writer(out);
    writer.writeRecord(std::vector<std::string>{"h"});
    writer.writeRecord(std::vector<std::string>{""});
    writer.writeRecord(std::vector<std::string>{"x"});
    EXPECT_EQ(out.str(), "h\n\"\"\nx\n");
    auto back = testing::readAllRecords(out.str());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[1].fields, std::vector<std::string>{""});
    EXPECT_FALSE(back[1].malformed());
}

}  // namespace
}  // namespace wrenfield::tabular

namespace wrenfield::tabular {
namespace {

// Random mixtures of the characters that matter: every input ends, and the
// records come in line order, each starting on a line of the input.
TEST(CsvReader, AnyInputIsReadToTheEnd)
{
    std::mt19937 random(20261207);
    const std::string alphabet = "a1,\"\"\n\r ";
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        std::size_t length = random() % 120;
        for (std::size_t i = 0; i < length; ++i)
            text += alphabet[random() % alphabet.size()];
        long lines = 1 + static_cast<long>(std::count(text.begin(), text.end(), '\n'));
        CsvReader::Options options;
        options.maxFieldBytes = 1 + random() % 20;
        auto records = testing::readAllRecords(text, options);
        ASSERT_LE(records.size(), static_cast<std::size_t>(lines)) << text;
        long previous = 0;
        for (const CsvRecord& record : records) {
            ASSERT_GT(record.line, previous) << text;
            ASSERT_LE(record.line, lines) << text;
            previous = record.line;
        }
    }
}

}  // namespace
}  // namespace wrenfield::tabular

namespace wrenfield::tabular {
namespace {

bool sameRecords(const std::vector<CsvRecord>& a, const std::vector<CsvRecord>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].fields != b[i].fields || a[i].line != b[i].line || a[i].problem != b[i].problem)
            return false;
    return true;
}

// Reading plain text in pieces and splitting it gives exactly the records
// that reading them one by one gives: line breaks of both kinds, a stray CR,
// empty lines inside and at the end, a missing final line break, records of
// the wrong width, quotes between plain stretches, pieces of any size, and
// reading buffers of any size.
// The line breaks of a piece are counted sixteen bytes a step, each lane's
// count folded before it could pass 255: texts of only line breaks, of none,
// and mixed, across the ends of a step and of a fold.
TEST(CsvReader, CountsEveryLineBreakOfAPiece)
{
    std::mt19937 random(28);
    for (std::size_t length : {0, 1, 15, 16, 17, 4079, 4080, 4081, 8160, 8161, 70000})
        for (const char* alphabet : {"\n", "a", "ab\n,\r"}) {
            std::string text(length, ' ');
            const std::string_view bytes(alphabet);
            for (char& c : text)
                c = bytes[random() % bytes.size()];
            EXPECT_EQ(countByte(text, '\n'), static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')))
                << length << " " << alphabet;
        }
}

TEST(CsvReader, PlainTextInPiecesReadsAsRecordByRecord)
{
    std::vector<std::string> inputs = {
        "a,b\n1,2\n3,4\n",
        "a,b\r\n1,2\r\n3,4",
        "a,b\n1,2\n\n\n3,4\n\n\r\n",
        "a,b\n1\r2,3\n4,5\r\r\n6,7\r",
        "a,b\n1,2,3\n4\n,\n\"q\",5\n6,7\n8,\"x\ny\"\n9,10\n",
        "\xEF\xBB\xBF"
        "a;b\n1;2\n3;4\n",
        "\na,b\n1,2\n",
        "a,b\n1,\"unterminated\n2,3\n4,5\n",
    };
    std::mt19937 random(20261208);
    const std::string alphabet = "a1,,,\n\n\r \"";
    for (int round = 0; round < 1500; ++round) {
        std::string text = "h,h\n";
        const std::size_t length = random() % 200;
        for (std::size_t i = 0; i < length; ++i)
            text += alphabet[random() % (round % 2 ? alphabet.size() : alphabet.size() - 1)];  // half without quotes
        inputs.push_back(text);
    }
    for (const std::string& text : inputs) {
        for (const std::size_t readBytes : {std::size_t{1}, std::size_t{5}, std::size_t{64} << 10}) {
            CsvReader::Options options;
            options.readChunkBytes = readBytes;
            options.detectDelimiter = true;
            const std::vector<CsvRecord> expected = testing::readAllRecords(text, options);
            for (const std::size_t pieceBytes : {1, 2, 9, 64, 4096})
                ASSERT_TRUE(sameRecords(testing::readRecordsInPieces(text, pieceBytes, options), expected))
                    << '"' << text << "\" read " << readBytes << " at a time, pieces of " << pieceBytes;
        }
    }
}

TEST(CsvDelimiter, DetectedFromTheHeaderOrGiven)
{
    struct Case {
        std::string input;
        bool detect;
        char given;
        char expected;
        std::vector<std::string> secondRecord;
    } cases[] = {
        {"a,b\n1,2\n", true, ',', ',', {"1", "2"}},
        {"a;b\n1,5;2\n", true, ',', ';', {"1,5", "2"}},
        {"a\tb\n1\t2\n", true, ',', '\t', {"1", "2"}},
        {"\"x;y\",b\n1,2\n", true, ',', ',', {"1", "2"}},  // a delimiter inside quotes does not count
        {"a;b,c;d\n1;2,3;4\n", true, ',', ';', {"1", "2,3", "4"}},
        {"alone\n1\n", true, ';', ';', {"1"}},  // none on the line: the given one
        {"a;b\n1;2\n", false, ';', ';', {"1", "2"}},
        {"\xEF\xBB\xBF"
         "a;b\n1;2\n",
         true,
         ',',
         ';',
         {"1", "2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        std::istringstream in(c.input);
        CsvReader::Options options;
        options.delimiter = c.given;
        options.detectDelimiter = c.detect;
        CsvReader reader(in, options);
        CsvRecord record;
        ASSERT_TRUE(reader.next(record));
        EXPECT_EQ(reader.delimiter(), c.expected);
        ASSERT_TRUE(reader.next(record));
        EXPECT_EQ(record.fields, c.secondRecord);
        EXPECT_FALSE(record.malformed());
    }
}

TEST(CsvDelimiter, WriterQuotesItsOwnDelimiterOnly)
{
    std::string text;
    CsvWriter writer(text, "\n", ';');
    writer.writeRecord(std::vector<std::string>{"3,5", "a;b", "plain"});
    EXPECT_EQ(text, "3,5;\"a;b\";plain\n");
}

}  // namespace
}  // namespace wrenfield::tabular

#include "tabular/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string_view>

#include "platform/numeric_text.h"
#include "reading/births.h"

#include "tests/support/csv_records.h"

namespace wrenfield::tabular {
namespace {

using engine::Population;

std::vector<std::string> fieldsOf(std::initializer_list<const char*> names)
{
    return {names.begin(), names.end()};
}

TEST(BatchColumns, FoundByNameInAnyOrderAndCase)
{
    auto header = fieldsOf({"id", " PAR", "eth", "Sex", "ht", "wt", "gest", "BWT ", "Population"});
    BatchColumns columns = findColumns(header);
    EXPECT_EQ(columns.inputs, (std::array<std::size_t, 7>{7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(columns.population, 8u);
    EXPECT_EQ(columns.width, 9u);
    EXPECT_FALSE(findColumns(fieldsOf({"bwt", "gest", "wt", "ht", "sex", "eth", "par"})).population);
}

TEST(BatchColumns, HeaderProblemsAreNamed)
{
    struct Case {
        std::vector<std::string> header;
        const char* message;
    };
    for (const Case& c : {
             Case{fieldsOf({"bwt", "wt", "ht", "sex", "eth", "par"}), "lacks the required column gest "},
             Case{fieldsOf({"id", "bwt", "wt", "ht", "sex", "eth"}), "lacks the required columns gest, par "},
             Case{fieldsOf({"bwt", "gest", "wt", "ht", "sex", "eth", "par", "Gest"}), "\"gest\" twice"},
             Case{fieldsOf({"bwt", "gest", "wt", "ht", "sex", "eth", "par", "population", "population"}),
                  "\"population\" twice"},
             Case{fieldsOf({"bwt", "gest", "wt", "ht", "sex", "eth", "par", "centile"}), "named \"centile\""},
         }) {
        try {
            findColumns(c.header);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const BatchError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

// The centile the reading layer gives the same birth read alone: a row of a
// file gets it to the last bit.
std::string readingCentile(Population population, double bwt, double gest, double wt, double ht, double sex, double eth,
                           double par)
{
    return shortestText(reading::readValues(population, {bwt, gest, wt, ht, sex, eth, par}).centile());
}

std::string ukWorkedCentile()
{
    return readingCentile(Population::UnitedKingdom, 3400, 280, 64, 163, 1, 1, 0);
}

TEST(BatchJob, EveryRecordGivesOneRowInOrder)
{
    const std::string input = "id,bwt,gest,wt,ht,sex,eth,par,population,note\n"
                              "a,3400,280,64,163,1,1,0,,\"first, with comma\"\n"      // 2: good, default population
                              "b,3500,280,70,165,1,3,0,New Zealand,\"two\nlines\"\n"  // 3-4: good, another population
                              "c,3400,,64,163,1,1,0,uk,\n"                            // 5: missing
                              "d,3400,280,64,163,x,1,0,au,\n"                         // 6: not a number
                              "e,3400,280\n"                                          // 7: malformed, too few fields
                              "f,3400,\"280,64,163,1,1,0,,open quote\n"  // 8: malformed, unterminated quote
                              "g,3100,266,58,160,0,4,2,se,last\n";       // 9: good again
    std::istringstream in(input);
    BatchJob job(in, Population::UnitedKingdom);
    std::ostringstream out;
    BatchSummary summary = job.run(out);
    EXPECT_EQ(summary.rows, 7);
    EXPECT_EQ(summary.computed, 3);
    EXPECT_EQ(summary.missing, 1);
    EXPECT_EQ(summary.errors, 3);
    EXPECT_EQ(summaryText(summary), "7 rows: 3 computed, 1 missing, 3 errors");

    auto rows = testing::readAllRecords(out.str());
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(
        rows[0].fields,
        fieldsOf({"id", "bwt", "gest", "wt", "ht", "sex", "eth", "par", "population", "note", "centile", "error"}));
    struct Expected {
        std::vector<std::string> copied;
        std::string centile;
        std::string error;
    };
    const std::vector<Expected> expected = {
        {fieldsOf({"a", "3400", "280", "64", "163", "1", "1", "0", "", "first, with comma"}), ukWorkedCentile(), ""},
        {fieldsOf({"b", "3500", "280", "70", "165", "1", "3", "0", "New Zealand", "two\nlines"}),
         readingCentile(Population::NewZealand, 3500, 280, 70, 165, 1, 3, 0), ""},
        {fieldsOf({"c", "3400", "", "64", "163", "1", "1", "0", "uk", ""}), "", "missing: gest"},
        {fieldsOf({"d", "3400", "280", "64", "163", "x", "1", "0", "au", ""}), "",
         "sex: expected Male, Female, M, F or a code (1 male, 0 or 2 female), not \"x\""},
        {fieldsOf({"e", "3400", "280", "", "", "", "", "", "", ""}), "",
         "malformed record at line 7: expected 10 fields, found 3"},
        {fieldsOf({"f", "3400", "", "", "", "", "", "", "", ""}), "", "malformed record at line 8: unterminated quote"},
        {fieldsOf({"g", "3100", "266", "58", "160", "0", "4", "2", "se", "last"}),
         readingCentile(Population::Sweden, 3100, 266, 58, 160, 0, 4, 2), ""},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("row " + expected[i].copied[0]);
        const CsvRecord& row = rows[i + 1];
        ASSERT_FALSE(row.malformed()) << row.problem;
        std::vector<std::string> copied(row.fields.begin(), row.fields.end() - 2);
        EXPECT_EQ(copied, expected[i].copied);
        EXPECT_EQ(row.fields[10], expected[i].centile);
        EXPECT_EQ(row.fields[11], expected[i].error);
    }
}

TEST(BatchJob, KeepsByteOrderMarkAndCrLf)
{
    std::istringstream in("\xEF\xBB\xBF"
                          "bwt,gest,wt,ht,sex,eth,par\r\n3400,280,64,163,1,1,0\r\n\r\n");
    BatchJob job(in, Population::UnitedKingdom);
    std::ostringstream out;
    BatchSummary summary = job.run(out);
    EXPECT_EQ(summary.rows, 1);
    const std::string text = out.str();
    const std::string head = "\xEF\xBB\xBF"
                             "bwt,gest,wt,ht,sex,eth,par,centile,error\r\n3400,280,64,163,1,1,0,";
    ASSERT_EQ(text.substr(0, head.size()), head);
    ASSERT_TRUE(text.ends_with(",\r\n")) << text;
    EXPECT_EQ(text.substr(head.size(), text.size() - head.size() - 3), ukWorkedCentile());
}

// An input that delivers its text and then fails, as a broken disk or pipe
// does: the stream sees a read error, not an end.
class FailingInput : public std::streambuf {
public:
    explicit FailingInput(std::string text)
        : text_(std::move(text))
    {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("read error"); }

private:
    std::string text_;
};

TEST(BatchJob, AReadErrorStopsTheRunAfterTheRowsWritten)
{
    {
        FailingInput broken("");
        std::istream in(&broken);
        EXPECT_THROW(
            try { BatchJob(in, Population::UnitedKingdom); } catch (const BatchError& error) {
                EXPECT_STREQ(error.what(), "cannot read the input");
                throw;
            },
            BatchError);
    }
    std::string input = "bwt,gest,wt,ht,sex,eth,par\n";
    const int rows = 10000;
    for (int i = 0; i < rows; ++i)
        input += "3400,280,64,163,1,1,0\n";
    input += "3400,280,64,16";  // the error cuts the last row short
    for (const std::size_t threads : {1u, 3u}) {
        SCOPED_TRACE(threads);
        FailingInput broken(input);
        std::istream in(&broken);
        BatchJob job(in, Population::UnitedKingdom);
        std::ostringstream out;
        BatchRunOptions options;
        options.threads = threads;
        std::string message;
        try {
            job.run(out, options);
        } catch (const BatchError& error) {
            message = error.what();
        }
        // What was written is whole rows, never the one cut short, and the
        // message counts them.
        const auto written = testing::readAllRecords(out.str());
        ASSERT_FALSE(written.empty());
        const std::size_t done = written.size() - 1;
        EXPECT_GT(done, 0u);
        EXPECT_LE(done, static_cast<std::size_t>(rows));
        EXPECT_EQ(message, "cannot read the input after " + std::to_string(done) + " rows");
        for (const auto& row : written)
            EXPECT_FALSE(row.malformed()) << row.line;
    }
}

TEST(BatchJob, HeaderOnlyGivesHeaderOnly)
{
    std::istringstream in("bwt,gest,wt,ht,sex,eth,par");
    BatchJob job(in, Population::UnitedKingdom);
    std::ostringstream out;
    EXPECT_EQ(job.run(out).rows, 0);
    EXPECT_EQ(out.str(), "bwt,gest,wt,ht,sex,eth,par,centile,error\n");
}

TEST(BatchJob, UnusableHeadersStopBeforeAnyOutput)
{
    for (const char* input : {"", "\n\n", "bwt,gest,wt,ht,sex,eth\n1,2,3,4,5,6\n", "bwt,gest,wt,ht,sex,eth,\"par\n",
                              "\nbwt,gest,wt,ht,sex,eth,par\n"}) {
        std::istringstream in(input);
        EXPECT_THROW(BatchJob(in, Population::UnitedKingdom), BatchError) << input;
    }
}

TEST(BatchJob, ChunksKeepTheOrderOfManyRows)
{
    std::string input = "n,bwt,gest,wt,ht,sex,eth,par\n";
    const int rows = 10000;
    for (int i = 0; i < rows; ++i)
        input += std::to_string(i) + "," + std::to_string(2000 + i % 2500) + ",280,64,163,1,1," +
            (i % 997 == 0 ? "" : "0") + "\n";
    std::istringstream in(input);
    BatchJob job(in, Population::UnitedKingdom);
    std::ostringstream out;
    long lastProgress = 0;
    BatchSummary summary = job.run(out, [&](long done) { lastProgress = done; });
    EXPECT_EQ(summary.rows, rows);
    EXPECT_EQ(lastProgress, rows);
    EXPECT_EQ(summary.missing, 11);  // 0, 997, ..., 9970
    auto records = testing::readAllRecords(out.str());
    ASSERT_EQ(records.size(), static_cast<std::size_t>(rows + 1));
    for (int i = 0; i < rows; i += 1237) {
        const CsvRecord& record = records[static_cast<std::size_t>(i + 1)];
        ASSERT_EQ(record.fields[0], std::to_string(i));
        if (i % 997 != 0) {
            EXPECT_EQ(record.fields[8],
                      readingCentile(Population::UnitedKingdom, 2000 + i % 2500, 280, 64, 163, 1, 1, 0));
        }
    }
}

}  // namespace
}  // namespace wrenfield::tabular

namespace wrenfield::tabular {
namespace {

// Random bytes as the rows of a file (NULs, invalid UTF-8, quotes, CR LF, long
// lines, no final line break): one output row per record in order, each
// carrying its record's fields, and on quote-free input one record per line.
TEST(BatchJob, AnyBytesGiveOneRowPerRecordInOrder)
{
    std::mt19937 random(7);
    const std::string alphabet = std::string("3,4\"\n\r .e-x\xff\xc3", 14) + std::string(1, '\0');
    for (int round = 0; round < 500; ++round) {
        std::string rows;
        const std::size_t length = random() % (round % 50 == 0 ? 5000 : 200);
        const bool quoteFree = round % 2 == 0;
        for (std::size_t i = 0; i < length; ++i) {
            char c = alphabet[random() % alphabet.size()];
            rows += quoteFree && (c == '"' || c == '\r') ? '9' : c;
        }
        const std::string input = "bwt,gest,wt,ht,sex,eth,par\n" + rows;
        auto records = testing::readAllRecords(input);
        ASSERT_FALSE(records.empty());
        records.erase(records.begin());  // the header
        if (quoteFree) {
            // Every line is a record, except the empty lines at the very end.
            std::string_view text = rows;
            while (!text.empty() && text.back() == '\n')
                text.remove_suffix(1);
            const std::size_t lines = text.empty() ? 0 : std::count(text.begin(), text.end(), '\n') + 1;
            ASSERT_EQ(records.size(), lines) << rows;
        }

        auto runOn = [&input](std::size_t threads, BatchSummary& summary) {
            std::istringstream in(input);
            BatchJob job(in, Population::UnitedKingdom);
            std::ostringstream out;
            BatchRunOptions options;
            options.threads = threads;
            summary = job.run(out, options);
            return out.str();
        };
        BatchSummary summary, threaded;
        const std::string output = runOn(1, summary);
        ASSERT_EQ(runOn(3, threaded), output) << "three threads wrote other bytes";
        ASSERT_EQ(summary.rows, static_cast<long>(records.size()));
        auto written = testing::readAllRecords(output);
        ASSERT_EQ(written.size(), records.size() + 1) << rows;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const CsvRecord& row = written[i + 1];
            ASSERT_EQ(row.fields.size(), 9u);
            for (std::size_t f = 0; f < 7; ++f)
                ASSERT_EQ(row.fields[f], f < records[i].fields.size() ? records[i].fields[f] : std::string());
            // A centile or an error, never neither.
            ASSERT_NE(row.fields[7].empty(), row.fields[8].empty()) << row.fields[7] << " / " << row.fields[8];
            if (!row.fields[7].empty()) {
                ASSERT_TRUE(std::isfinite(numberFromText(row.fields[7])));
            }
        }
    }
}

}  // namespace
}  // namespace wrenfield::tabular

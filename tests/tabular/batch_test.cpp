#include "tabular/batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string_view>

#include "engine/population_methods.h"
#include "platform/numeric_text.h"

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

// The centile the population's method gives for numbers, as a host gets it.
std::string methodCentile(Population population, double bwt, double gest, double wt, double ht, int sex, int eth,
                          int par)
{
    Variant a(bwt), b(gest), c(wt), d(ht), e(sex), f(eth), g(par);
    return shortestText(engine::populationMethod(population)(a, b, c, d, e, f, g).number());
}

// For a computed row, the population and numbers the centile must agree with.
struct SameAs {
    Population population;
    std::array<double, 7> numbers;
};

struct RowCase {
    const char* name;
    std::array<const char*, 7> inputs;
    std::optional<const char*> population;
    std::optional<SameAs> centile;
    std::string error;
    RowOutcome outcome;
};

void PrintTo(const RowCase& c, std::ostream* out) { *out << c.name; }

class BatchRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(BatchRowTest, ComputesOneRowFromItsTexts)
{
    const RowCase& c = GetParam();
    RowFields fields;
    for (std::size_t i = 0; i < 7; ++i)
        fields.inputs[i] = c.inputs[i];
    if (c.population)
        fields.population = *c.population;
    RowResult result = computeRow(fields, Population::UnitedKingdom);
    std::string centile;
    if (c.centile) {
        const auto& n = c.centile->numbers;
        centile = methodCentile(c.centile->population, n[0], n[1], n[2], n[3], static_cast<int>(n[4]),
                                static_cast<int>(n[5]), static_cast<int>(n[6]));
    }
    EXPECT_EQ(result.centile, centile);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.outcome, c.outcome);
}

const SameAs kUkWorked{Population::UnitedKingdom, {3400, 280, 64, 163, 1, 1, 0}};

INSTANTIATE_TEST_SUITE_P(
    Rows, BatchRowTest,
    ::testing::Values(
        RowCase{"Default", {"3400", "280", "64", "163", "1", "1", "0"}, {}, kUkWorked, "", RowOutcome::Computed},
        RowCase{"EmptyPopulationTakesTheDefault", {"3400", "280", "64", "163", "1", "1", "0"}, "", kUkWorked, "",
                RowOutcome::Computed},
        RowCase{"UnitedStatesByName", {"3400", "280", "64", "163", "1", "1", "0"}, "United States",
                SameAs{Population::UnitedStates, {3400, 280, 64, 163, 1, 1, 0}}, "", RowOutcome::Computed},
        RowCase{"SwedenByAlias", {"3100", "266", "58", "160", "0", "4", "2"}, "se",
                SameAs{Population::Sweden, {3100, 266, 58, 160, 0, 4, 2}}, "", RowOutcome::Computed},
        RowCase{"ZeroIsNotMissing", {"1000", "280", "0", "100", "0", "2", "0"}, "nz",
                SameAs{Population::NewZealand, {1000, 280, 0, 100, 0, 2, 0}}, "", RowOutcome::Computed},
        RowCase{"FieldsAsTheMethodReadsThem", {" 3400 ", "2.8e2", "64.0", "163", "1", "1.0", "0"}, {}, kUkWorked, "",
                RowOutcome::Computed},
        RowCase{"OneMissing", {"3400", "", "64", "163", "1", "1", "0"}, {}, {}, "missing: gest", RowOutcome::Missing},
        RowCase{"SeveralMissing", {"", "", "64", "163", "1", "1", ""}, {}, {}, "missing: bwt, gest, par",
                RowOutcome::Missing},
        RowCase{"MissingWinsOverNonNumeric", {"abc", "", "64", "163", "1", "1", "0"}, {}, {}, "missing: gest",
                RowOutcome::Missing},
        RowCase{"NotANumber", {"3400", "280", "64", "163", "boy", "1", "0"}, {}, {},
                "Type mismatch (not a number: sex)", RowOutcome::Error},
        RowCase{"NotANumberTwice", {"3400", "280", "64kg", "tall", "M", "1", "many"}, {}, {},
                "Type mismatch (not a number: ht, par)", RowOutcome::Error},
        RowCase{"VocabularyGivesTheSameNumbers", {"3.4kg", "40+0", "64kg", "1.63m", "Male", "european", "0"}, "UK",
                kUkWorked, "", RowOutcome::Computed},
        RowCase{"PoundsAndFeet", {"7lb8oz", "39+4", "10st2lb", "5ft4in", "F", "Maori", "4 or more"}, "new zealand",
                SameAs{Population::NewZealand,
                       {7 * 453.59237 + 8 * 28.349523125, 277, 10 * 6350.29318 / 1000 + 2 * 453.59237 / 1000,
                        64 * 2.54, 0, 3, 4}},
                "", RowOutcome::Computed},
        RowCase{"CodesOfNoGroupAreComputed", {"3400", "280", "64", "163", "9", "99", "7"}, {},
                SameAs{Population::UnitedKingdom, {3400, 280, 64, 163, 9, 99, 7}}, "", RowOutcome::Computed},
        RowCase{"MissingMarkers", {"NA", "280", ".", "163", "NaN", "1", " na "}, {}, {}, "missing: bwt, wt, sex, par",
                RowOutcome::Missing},
        RowCase{"Overflow", {"3400", "280", "1e300", "163", "1", "1", "0"}, {}, {}, "Overflow", RowOutcome::Error},
        RowCase{"UnknownPopulation", {"3400", "280", "64", "163", "1", "1", "0"}, "Narnia", {},
                "unknown population: Narnia", RowOutcome::Error}),
    [](const ::testing::TestParamInfo<RowCase>& info) { return std::string(info.param.name); });

// A whole batch computes its common rows in vector lanes: their centiles agree
// with the method's to within 1e-11 (the last digit or two of the shortest
// text may differ); every other field is exactly as the method gives it.
void expectCentileAgrees(const std::string& got, const std::string& expected)
{
    if (expected.empty() || got.empty()) {
        EXPECT_EQ(got, expected);
        return;
    }
    EXPECT_NEAR(numberFromText(got), numberFromText(expected), 1e-11) << got << " against " << expected;
}

std::string ukWorkedCentile()
{
    return methodCentile(Population::UnitedKingdom, 3400, 280, 64, 163, 1, 1, 0);
}

TEST(BatchJob, EveryRecordGivesOneRowInOrder)
{
    const std::string input =
        "id,bwt,gest,wt,ht,sex,eth,par,population,note\n"
        "a,3400,280,64,163,1,1,0,,\"first, with comma\"\n"      // 2: good, default population
        "b,3500,280,70,165,1,3,0,New Zealand,\"two\nlines\"\n"  // 3-4: good, another population
        "c,3400,,64,163,1,1,0,uk,\n"                            // 5: missing
        "d,3400,280,64,163,x,1,0,au,\n"                         // 6: not a number
        "e,3400,280\n"                                          // 7: malformed, too few fields
        "f,3400,\"280,64,163,1,1,0,,open quote\n"               // 8: malformed, unterminated quote
        "g,3100,266,58,160,0,4,2,se,last\n";                    // 9: good again
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
    EXPECT_EQ(rows[0].fields, fieldsOf({"id", "bwt", "gest", "wt", "ht", "sex", "eth", "par", "population", "note",
                                        "centile", "error"}));
    struct Expected {
        std::vector<std::string> copied;
        std::string centile;
        std::string error;
    };
    const std::vector<Expected> expected = {
        {fieldsOf({"a", "3400", "280", "64", "163", "1", "1", "0", "", "first, with comma"}), ukWorkedCentile(), ""},
        {fieldsOf({"b", "3500", "280", "70", "165", "1", "3", "0", "New Zealand", "two\nlines"}),
         methodCentile(Population::NewZealand, 3500, 280, 70, 165, 1, 3, 0), ""},
        {fieldsOf({"c", "3400", "", "64", "163", "1", "1", "0", "uk", ""}), "", "missing: gest"},
        {fieldsOf({"d", "3400", "280", "64", "163", "x", "1", "0", "au", ""}), "", "Type mismatch (not a number: sex)"},
        {fieldsOf({"e", "3400", "280", "", "", "", "", "", "", ""}), "",
         "malformed record at line 7: expected 10 fields, found 3"},
        {fieldsOf({"f", "3400", "", "", "", "", "", "", "", ""}), "", "malformed record at line 8: unterminated quote"},
        {fieldsOf({"g", "3100", "266", "58", "160", "0", "4", "2", "se", "last"}),
         methodCentile(Population::Sweden, 3100, 266, 58, 160, 0, 4, 2), ""},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("row " + expected[i].copied[0]);
        const CsvRecord& row = rows[i + 1];
        ASSERT_FALSE(row.malformed()) << row.problem;
        std::vector<std::string> copied(row.fields.begin(), row.fields.end() - 2);
        EXPECT_EQ(copied, expected[i].copied);
        expectCentileAgrees(row.fields[10], expected[i].centile);
        EXPECT_EQ(row.fields[11], expected[i].error);
    }
}

TEST(BatchJob, KeepsByteOrderMarkAndCrLf)
{
    std::istringstream in("\xEF\xBB\xBF" "bwt,gest,wt,ht,sex,eth,par\r\n3400,280,64,163,1,1,0\r\n\r\n");
    BatchJob job(in, Population::UnitedKingdom);
    std::ostringstream out;
    BatchSummary summary = job.run(out);
    EXPECT_EQ(summary.rows, 1);
    const std::string text = out.str();
    const std::string head = "\xEF\xBB\xBF" "bwt,gest,wt,ht,sex,eth,par,centile,error\r\n3400,280,64,163,1,1,0,";
    ASSERT_EQ(text.substr(0, head.size()), head);
    ASSERT_TRUE(text.ends_with(",\r\n")) << text;
    expectCentileAgrees(text.substr(head.size(), text.size() - head.size() - 3), ukWorkedCentile());
}

// An input that delivers its text and then fails, as a broken disk or pipe
// does: the stream sees a read error, not an end.
class FailingInput : public std::streambuf {
public:
    explicit FailingInput(std::string text) : text_(std::move(text))
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
    for (const char* input : {"", "\n\n", "bwt,gest,wt,ht,sex,eth\n1,2,3,4,5,6\n",
                              "bwt,gest,wt,ht,sex,eth,\"par\n", "\nbwt,gest,wt,ht,sex,eth,par\n"}) {
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
            expectCentileAgrees(record.fields[8],
                                methodCentile(Population::UnitedKingdom, 2000 + i % 2500, 280, 64, 163, 1, 1, 0));
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

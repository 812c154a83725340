// Columns of values (as arrays and data frames hold them) against the same
// birth read alone: the same result to the last bit for every row (centile,
// error text, band, flags and the model's values), whatever the threads,
// strides and column kinds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/centile_model.h"
#include "platform/numeric_text.h"
#include "reading/json.h"
#include "tabular/batch.h"
#include "tabular/column_batch.h"

namespace wrenfield::tabular {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// population, bwt, gest, wt, ht, sex, eth, par: every kind of row.
const std::vector<std::array<std::string, 8>> kRows = {
    {"", "3400", "280", "64", "163", "1", "1", "0"},
    {"us", "3400", "39+4", "64", "163", "Male", "Hispanic", "0"},
    {"se", "3.1kg", "266", "130lb", "5ft4in", "F", "Somali", "4 or more"},
    {"NZ", "3500", "NA", "70", "165", "1", "Maori", "."},
    {"au", "2900", "273", "55", "155", "1", "Narnia", "4"},
    {"Narnia", "3400", "280", "64", "163", "1", "1", "0"},
    {"", "3400", "280", "1e300", "163", "1", "1", "0"},
    {"", "3400", "40", "64", "1.63", "9", "99", "0"},
    {"", "heavy", "280", "64", "163", "1", "1", "0"},
    {"", "", "", "", "", "", "", ""},
    {"", "-3400", "280", "64", "163", "1", "1", "0"},
};

// The rows as text columns: each column's distinct texts with an index a row,
// the rows repeated to fill several chunks.
struct TextTable {
    std::size_t rows = 0;
    std::array<std::vector<std::string>, 8> texts;
    std::array<std::vector<std::int64_t>, 8> index;

    explicit TextTable(std::size_t repeat)
    {
        for (std::size_t c = 0; c < 8; ++c)
            for (const auto& row : kRows)
                texts[c].push_back(row[c]);
        for (std::size_t k = 0; k < repeat; ++k)
            for (std::size_t r = 0; r < kRows.size(); ++r)
                for (std::size_t c = 0; c < 8; ++c)
                    index[c].push_back(kRows[r][c].empty() && k % 2 ? -1 : static_cast<std::int64_t>(r));
        rows = repeat * kRows.size();
    }

    TextColumn column(std::size_t c) const { return {texts[c], {index[c].data(), sizeof(std::int64_t)}}; }

    ColumnBatchInput input(const BatchSettings& settings) const
    {
        ColumnBatchInput in;
        in.rows = rows;
        in.settings = settings;
        in.population = column(0);
        for (std::size_t c = 0; c < kInputFieldCount; ++c)
            in.inputs[c].texts = column(c + 1);
        return in;
    }
};

struct Results {
    std::vector<double> centile, termWeight, weeks, proportion, expected, spread, z;
    std::vector<std::uint8_t> outcome, band;
    std::vector<std::string> records;
    ColumnBatchSummary summary;

    explicit Results(std::size_t rows)
        : centile(rows)
        , termWeight(rows)
        , weeks(rows)
        , proportion(rows)
        , expected(rows)
        , spread(rows)
        , z(rows)
        , outcome(rows)
        , band(rows)
        , records(rows)
    {}
    ColumnBatchOutput output()
    {
        return {centile, outcome, band, termWeight, weeks, proportion, expected, spread, z, &records};
    }
};

Results run(const ColumnBatchInput& input, std::size_t threads)
{
    Results results(input.rows);
    ColumnBatchOptions options;
    options.threads = threads;
    options.flags = true;
    results.summary = computeColumns(input, results.output(), options);
    return results;
}

std::string messageOf(const std::vector<RowMessage>& messages, std::size_t row)
{
    for (const RowMessage& message : messages)
        if (message.row == row)
            return message.text;
    return {};
}

void expectBatchRows(const Results& got, std::size_t rows, const BatchSettings& settings)
{
    for (std::size_t r = 0; r < rows; ++r) {
        const auto& texts = kRows[r % kRows.size()];
        RowFields fields;
        for (std::size_t c = 0; c < kInputFieldCount; ++c)
            fields.inputs[c] = texts[c + 1];
        fields.population = texts[0];
        const BirthResult expected = computeRow(fields, settings);
        SCOPED_TRACE("row " + std::to_string(r) + ": " + texts[1] + " " + texts[2] + " " + texts[7]);
        EXPECT_EQ(got.outcome[r], static_cast<std::uint8_t>(expected.outcome));
        EXPECT_EQ(messageOf(got.summary.messages, r), expected.error);
        EXPECT_EQ(got.records[r], reading::resultJson(expected));
        if (expected.computed()) {
            EXPECT_EQ(got.centile[r], expected.centile());
            EXPECT_EQ(got.band[r], static_cast<std::uint8_t>(expected.band));
            EXPECT_EQ(got.z[r], expected.detail.z);
            EXPECT_EQ(got.spread[r], expected.detail.spread);
            EXPECT_EQ(messageOf(got.summary.flags, r), reading::flagTexts(expected.flags));
        } else {
            EXPECT_TRUE(std::isnan(got.centile[r]) && std::isnan(got.z[r]));
            EXPECT_EQ(got.band[r], kNoBand);
        }
    }
}

TEST(ColumnBatch, TextColumnsGiveTheBatchRowsOnAnyNumberOfThreads)
{
    TextTable table(900);  // several chunks of rows
    for (bool strict : {false, true}) {
        BatchSettings settings;
        settings.options.strict = strict;
        settings.defaultPopulation = engine::Population::UnitedKingdom;
        Results one = run(table.input(settings), 1);
        Results three = run(table.input(settings), 3);
        expectBatchRows(one, table.rows, settings);
        EXPECT_EQ(one.outcome, three.outcome);
        for (std::size_t r = 0; r < table.rows; ++r)
            ASSERT_TRUE(one.centile[r] == three.centile[r] ||
                        (std::isnan(one.centile[r]) && std::isnan(three.centile[r])));
        EXPECT_EQ(one.summary.computed + one.summary.missing + one.summary.errors, table.rows);
        EXPECT_FALSE(one.summary.stopped);
    }
}

TEST(ColumnBatch, NumberColumnsReadWithAnyStrideAndUnit)
{
    // bwt in pounds walking backwards, the others repeated (stride 0), one NaN.
    const std::vector<double> pounds = {kNaN, 7.5, 8.25, 6.0};
    const double gest = 280, wt = 64, ht = 1.63, sex = 1, eth = 1, par = 0;
    ColumnBatchInput input;
    input.rows = pounds.size();
    input.settings.dialect.bwtUnit = reading::Unit::Pounds;
    input.settings.dialect.htUnit = reading::Unit::Metres;
    input.inputs[0].numbers = {pounds.data() + pounds.size() - 1, -static_cast<std::ptrdiff_t>(sizeof(double))};
    const double* repeated[] = {&gest, &wt, &ht, &sex, &eth, &par};
    for (std::size_t c = 1; c < kInputFieldCount; ++c)
        input.inputs[c].numbers = {repeated[c - 1], 0};
    Results got = run(input, 2);

    BatchSettings settings = input.settings;
    for (std::size_t r = 0; r < pounds.size(); ++r) {
        double value = pounds[pounds.size() - 1 - r];
        std::string bwt = std::isnan(value) ? "" : shortestText(value);
        RowFields fields{{bwt, "280", "64", "1.63", "1", "1", "0"}, std::nullopt};
        const BirthResult expected = computeRow(fields, settings);
        EXPECT_EQ(got.outcome[r], static_cast<std::uint8_t>(expected.outcome)) << r;
        if (expected.computed())
            EXPECT_EQ(got.centile[r], expected.centile()) << r;
        else
            EXPECT_EQ(messageOf(got.summary.messages, r), "missing: bwt");
    }
}

// The birthweight (by bisection on the method) whose centile lies just below
// `target`, closer than the distance at which the kernel's centile is
// recomputed: a birth on a decision point.
double bwtJustBelow(double target, engine::CentileInputs inputs)
{
    double low = 100, high = 6000;
    for (int i = 0; i < 200; ++i) {
        inputs.bwt = (low + high) / 2;
        (engine::computeCentile(engine::Population::UnitedKingdom, inputs).centile < target ? low : high) = inputs.bwt;
    }
    return low;
}

bool sameValue(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Number columns without whole records: the common birth's outputs come from
// the plain reading, any other's from the full one. Every row of a column
// mixing plain births with flagged ones, births on decision points, births
// the model cannot compute, refused and missing values and unknown
// populations gets what the batch gives the same row: outcome, centile to the
// last bit, band, the values around the centile, error and flags. Under
// every reading option, with and without the model's values asked for.
TEST(ColumnBatch, NumberColumnsGiveTheFullReadingOfEveryRow)
{
    const engine::CentileInputs typical{3400, 280, 64, 163, 1, 1, 0};
    std::vector<std::array<double, kInputFieldCount>> births;
    for (double point : {3.0, 10.0, 47.5, 90.0, 97.0, 38.5}) {
        births.push_back({bwtJustBelow(point, typical), 280, 64, 163, 1, 1, 0});
        births.push_back({std::nextafter(births.back()[0], 1e9), 280, 64, 163, 1, 1, 0});
    }
    births.push_back({3400, 280, 1e300, 163, 1, 1, 0});  // the model overflows
    births.push_back({3400, 280, -64, 163, 1, 1, 0});    // refused
    births.push_back({kNaN, 280, 64, 163, 1, 1, kNaN});  // missing
    births.push_back({3400, 280, 64, 163, kInf, 1, 0});  // refused: not finite
    std::mt19937_64 random(28);
    std::normal_distribution<double> bwt(3300, 700);
    std::uniform_real_distribution<double> gest(150, 320), wt(28, 150), ht(98, 200);
    std::uniform_int_distribution<int> code(0, 11);
    while (births.size() < 9000)  // flagged ones among them: out of range, centiles above 100
        births.push_back({std::round(bwt(random)), std::round(gest(random)), std::round(wt(random) * 10) / 10,
                          std::round(ht(random)), double(code(random) % 3), double(code(random)),
                          double(code(random) % 6)});

    // Column by column; gest as whole numbers, read where they lie.
    const std::size_t rows = births.size();
    std::array<std::vector<double>, kInputFieldCount> columns;
    std::vector<std::int64_t> gestDays(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < kInputFieldCount; ++c)
            columns[c].push_back(births[r][c]);
        gestDays[r] = static_cast<std::int64_t>(births[r][1]);
    }
    const std::vector<std::string> populations = {"uk", "US", "se", "nz", "au", "Narnia"};
    std::vector<std::int64_t> populationIndex(rows);
    for (std::size_t r = 0; r < rows; ++r)
        populationIndex[r] = r % 97 == 5 ? 5 : static_cast<std::int64_t>(r % 6) - 1;  // -1: the default

    struct Setting {
        const char* name;
        bool strict, exact, moved;
    } settingsList[] = {
        {"defaults", false, false, false},
        {"strict", true, false, false},
        {"SGA 5th, LGA 95th", false, false, true},
        {"exact", false, true, false},
    };
    for (const Setting& setting : settingsList) {
        ColumnBatchInput input;
        input.rows = rows;
        input.settings.defaultPopulation = engine::Population::UnitedKingdom;
        input.settings.options.strict = setting.strict;
        input.settings.options.exact = setting.exact;
        if (setting.moved)
            input.settings.options.thresholds = *reading::thresholdsFor(5, 95).thresholds;
        for (std::size_t c = 0; c < kInputFieldCount; ++c)
            input.inputs[c].numbers = {columns[c].data(), sizeof(double)};
        input.inputs[1].wholeNumbers = StridedColumn<std::int64_t>{gestDays.data(), sizeof(std::int64_t)};
        input.population = TextColumn{populations, {populationIndex.data(), sizeof(std::int64_t)}};

        Results all(rows);
        ColumnBatchOutput output = all.output();
        output.records = nullptr;
        ColumnBatchOptions options;
        options.threads = 2;
        options.flags = true;
        all.summary = computeColumns(input, output, options);
        // Only the centile and its outcome asked for.
        std::vector<double> centile(rows);
        std::vector<std::uint8_t> outcome(rows);
        ColumnBatchOutput bareOutput;
        bareOutput.centile = centile;
        bareOutput.outcome = outcome;
        const ColumnBatchSummary bare = computeColumns(input, bareOutput);

        std::size_t plain = 0;
        for (std::size_t r = 0; r < rows; ++r) {
            std::array<std::string, kInputFieldCount> texts;
            RowFields fields;
            for (std::size_t c = 0; c < kInputFieldCount; ++c) {
                texts[c] = std::isnan(births[r][c]) ? std::string() : shortestText(births[r][c]);
                fields.inputs[c] = texts[c];
            }
            if (populationIndex[r] >= 0)
                fields.population = populations[static_cast<std::size_t>(populationIndex[r])];
            const BirthResult expected = computeRow(fields, input.settings);
            SCOPED_TRACE(std::string(setting.name) + ", row " + std::to_string(r) + ": " +
                         reading::resultJson(expected));
            ASSERT_EQ(all.outcome[r], static_cast<std::uint8_t>(expected.outcome));
            ASSERT_EQ(outcome[r], all.outcome[r]);
            ASSERT_EQ(messageOf(all.summary.messages, r), expected.error);
            ASSERT_EQ(messageOf(all.summary.flags, r), reading::flagTexts(expected.flags));
            const bool computed = expected.computed();
            plain += computed && expected.flags.empty();
            const engine::CentileDetail& d = expected.detail;
            const double none = kNaN;
            ASSERT_TRUE(sameValue(all.centile[r], computed ? d.centile : none));
            ASSERT_TRUE(sameValue(centile[r], all.centile[r]));
            ASSERT_EQ(all.band[r], computed ? static_cast<std::uint8_t>(expected.band) : kNoBand);
            ASSERT_TRUE(sameValue(all.termWeight[r], computed ? d.termWeight : none));
            ASSERT_TRUE(sameValue(all.weeks[r], computed ? d.weeks : none));
            ASSERT_TRUE(sameValue(all.proportion[r], computed ? d.proportion : none));
            ASSERT_TRUE(sameValue(all.expected[r], computed ? d.expected : none));
            ASSERT_TRUE(sameValue(all.spread[r], computed ? d.spread : none));
            ASSERT_TRUE(sameValue(all.z[r], computed ? d.z : none));
        }
        EXPECT_GT(plain, rows / 8) << setting.name;  // both kinds of birth well represented
        EXPECT_LT(plain, rows - rows / 8) << setting.name;
        EXPECT_EQ(bare.computed, all.summary.computed);
        EXPECT_EQ(bare.messages.size(), all.summary.messages.size());
        EXPECT_EQ(all.summary.computed + all.summary.missing + all.summary.errors, rows);
    }
}

TEST(ColumnBatch, RefusesUnusableArgumentsAndStopsOnRequest)
{
    TextTable table(1);
    Results short_(table.rows - 1);
    EXPECT_THROW(computeColumns(table.input({}), short_.output()), std::invalid_argument);

    std::vector<std::int64_t> beyond(table.rows, 99);
    ColumnBatchInput input = table.input({});
    input.inputs[3].texts->index = {beyond.data(), sizeof(std::int64_t)};
    Results results(table.rows);
    EXPECT_THROW(computeColumns(input, results.output()), std::invalid_argument);

    BatchSettings reversed;
    reversed.options.thresholds.sga = 95;
    EXPECT_THROW(computeColumns(table.input(reversed), results.output()), std::invalid_argument);

    TextTable big(1000);
    Results stopped(big.rows);
    std::atomic<bool> stop{true};
    ColumnBatchOptions options;
    options.stop = &stop;
    ColumnBatchSummary summary = computeColumns(big.input({}), stopped.output(), options);
    EXPECT_TRUE(summary.stopped);
}

}  // namespace
}  // namespace wrenfield::tabular

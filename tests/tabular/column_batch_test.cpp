// Columns of values (as arrays and data frames hold them) against the same
// birth read alone: the same result to the last bit for every row (centile,
// error text, band, flags and the model's values), whatever the threads,
// strides and column kinds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/numeric_text.h"
#include "reading/json.h"
#include "tabular/batch.h"
#include "tabular/column_batch.h"

namespace wrenfield::tabular {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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

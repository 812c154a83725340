// The batch's fast path (rows of plain numbers read in one step, chunk by
// chunk, on several threads) against the same row read alone through the
// vocabulary: the same result to the last bit for every row, and an output
// that does not depend on the number of threads.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/numeric_text.h"
#include "reading/json.h"
#include "tabular/batch.h"

#include "tests/support/csv_records.h"

namespace wrenfield::tabular {
namespace {

using engine::Population;

const char* const kHeader = "id,bwt,gest,wt,ht,sex,eth,par,population\n";

// Rows of every kind: plain numbers in every population, numbers written in
// every way the method reads them, missing and non-numeric fields, numbers
// beyond the double range, inputs that make the method raise an error,
// unknown populations.
const char* const kRows[] = {
    "a,3400,280,64,163,1,1,0,",
    "b,3400,280,64,163,1,1,0,United States",
    "c,3100,266,58,160,0,4,2,se",
    "d,3500,280,70,165,1,3,0,New Zealand",
    "e,2900,273,55,155,1,4,4,au",
    "f, 3400 ,2.8e2,64.0,+163,1,1.0,0,uk",
    "g,3400,280,64,163,1,1,-0,",
    "h,.34e4,280.,64,163,1.5,0,7,",
    "i,3400,,64,163,1,1,0,",
    "j,,,,,,,,",
    "k,3400,280,64,163,M,1,0,",
    "l,3400,280,1e300,163,1,1,0,",
    "m,3400,280,64,1e200,1,1,0,us",
    "n,1e400,280,64,163,1,1,0,",
    "o,1e-400,280,64,163,1,1,0,",
    "p,3400,1e300,64,163,1,1,0,",
    "q,1e300,280,64,163,1,1,0,",
    "r,3400,280,64,163,1,1,0,Narnia",
    "s,3400,0,64,163,1,1,0,",
    "t,3400,280,64,163,inf,1,0,",
    "u,3400,280,64,163,1,nan,0,",
    "v,0x10,280,64,163,1,1,0,",
    "w,3000,280,200,163,1,9,4,",
    "x,-3400,280,64,163,1,1,0,nz",
    "y,3400,280,64,163,1,1,0,UNITED KINGDOM",
    "z,3400,280,64,163,1,1,",
};

std::string fileOf(const std::vector<std::string>& rows, const char* lineBreak = "\n")
{
    std::string text = kHeader;
    if (std::string(lineBreak) != "\n")
        text.replace(text.size() - 1, 1, lineBreak);
    for (const std::string& row : rows)
        text += row + lineBreak;
    return text;
}

RowFields fieldsOf(const CsvRecord& record)
{
    RowFields fields;
    for (std::size_t c = 0; c < 7; ++c)
        fields.inputs[c] = record.fields[c + 1];
    fields.population = record.fields[8];
    return fields;
}

TEST(BatchFastPath, EveryRowAsTheSameBirthReadAlone)
{
    std::vector<std::string> rows(std::begin(kRows), std::end(kRows));
    std::string text = fileOf(rows);
    std::vector<CsvRecord> records = testing::readAllRecords(text);
    records.erase(records.begin());  // the header
    for (bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact" : "kernel");
        std::istringstream in(text);
        BatchSettings settings;
        settings.options.exact = exact;
        BatchJob job(in, settings);
        std::vector<BirthResult> fast = job.computeChunk(records);
        ASSERT_EQ(fast.size(), records.size());
        for (std::size_t r = 0; r < records.size(); ++r) {
            SCOPED_TRACE(kRows[r]);
            BirthResult slow =
                records[r].malformed() ? malformedRow(records[r]) : computeRow(fieldsOf(records[r]), settings);
            EXPECT_EQ(fast[r].outcome, slow.outcome);
            EXPECT_EQ(fast[r].centile(), slow.centile());
            EXPECT_EQ(reading::resultJson(fast[r]), reading::resultJson(slow));
        }
    }
}

// A file of many rows: mostly plain births (their ids padded to give lines
// of every length from about 25 to 80 bytes), with every kind of row above
// scattered through it, malformed records, quoted fields (unless `quotes`
// is false: then the whole file is plain text) and CR LF.
std::string largeFile(std::size_t count, const char* lineBreak, bool quotes = true)
{
    std::mt19937 random(5);
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned pick = random() % 100;
        if (pick < 8)
            rows.push_back(kRows[random() % std::size(kRows)]);
        else if (pick == 8)
            rows.push_back("short,3400,280");
        else if (pick == 9 && quotes)
            rows.push_back("\"quoted, id\",3400,280,64,163,1,1,0,\"United\nKingdom\"");
        else
            rows.push_back(std::to_string(i) + std::string(i % 41, 'x') + "," + std::to_string(1500 + random() % 3500) +
                           "," + std::to_string(200 + random() % 100) + "," + std::to_string(45 + random() % 60) + "," +
                           std::to_string(150 + random() % 40) + "," + std::to_string(random() % 2) + "," +
                           std::to_string(1 + random() % 10) + "," + std::to_string(random() % 5) + "," +
                           (random() % 2 ? "uk" : "Sweden"));
    }
    return fileOf(rows, lineBreak);
}

// A file of the seven inputs alone, as registers export them: runs of
// hundreds of short plain births (read many lines at a time), broken by
// lines read one by one: a long line of the same birth, a value refused or
// missing, a flagged birth, too few fields, a stray CR, a CR LF line, an
// empty line; and no final line break.
std::string inputsOnlyFile(std::size_t count)
{
    const char* const others[] = {"3400.0000000000000,280,64,163,1,1,0",
                                  "3400,280,64,163,1,1,-1",
                                  "3400,,64,163,1,1,0",
                                  "600,280,64,163,1,1,0",
                                  "3400,280,64",
                                  "3400,280,64,163\r,1,1,0",
                                  "3400,280,64,163,1,1,0\r",
                                  "",
                                  "0,280,64,163,1,1,0"};
    std::mt19937 random(11);
    std::string text = "bwt,gest,wt,ht,sex,eth,par\n";
    for (std::size_t i = 0; i < count; ++i) {
        if (random() % 700 == 0)
            text += others[random() % std::size(others)];
        else
            text += std::to_string(1500 + random() % 3500) + "," + std::to_string(200 + random() % 100) + "," +
                std::to_string(45 + random() % 60) + "." + std::to_string(random() % 10) + "," +
                std::to_string(150 + random() % 40) + "," + std::to_string(random() % 2) + "," +
                std::to_string(1 + random() % 10) + "," + std::to_string(random() % 5);
        if (i + 1 < count)
            text += "\n";
    }
    return text;
}

std::string runWith(const std::string& text, std::size_t threads, BatchSummary& summary)
{
    std::istringstream in(text);
    BatchJob job(in, Population::UnitedKingdom);
    std::ostringstream out;
    BatchRunOptions options;
    options.threads = threads;
    summary = job.run(out, options);
    return out.str();
}

TEST(BatchFastPath, OutputIsTheSameWhateverTheThreads)
{
    for (const char* lineBreak : {"\n", "\r\n"}) {
        std::string text = largeFile(30000, lineBreak);
        BatchSummary one;
        std::string expected = runWith(text, 1, one);
        EXPECT_EQ(one.rows, 30000);
        EXPECT_GT(one.errors, 0);
        EXPECT_GT(one.missing, 0);
        for (std::size_t threads : {2u, 3u, 8u}) {
            BatchSummary summary;
            EXPECT_EQ(runWith(text, threads, summary), expected) << threads << " threads";
            EXPECT_EQ(summary.rows, one.rows);
            EXPECT_EQ(summary.computed, one.computed);
            EXPECT_EQ(summary.missing, one.missing);
            EXPECT_EQ(summary.errors, one.errors);
        }
    }
}

// Plain text is written back as it stands and the rest field by field: the
// run writes every row exactly as the writer writes its fields one by one (a
// stray CR quoted, quoted fields and malformed records in between, an empty
// line inside and at the end, no final line break), and counts every row as
// its result says. With no quotes at all the whole file is plain text, whose
// common rows are read in one sweep and the others one by one; a file of
// the seven inputs alone has its short lines read many at a time.
TEST(BatchFastPath, WritesAndCountsEveryRowAsItsFieldsOneByOne)
{
    const std::string tail =
        "9,3400,280,64,163\r,1,1,0,uk\n\n10,3400,280,64,163,1,1,0,uk\n\n\n11,3400,280,64,163,1,1,0";
    const std::pair<const char*, std::string> files[] = {
        {"quoted fields between plain stretches", largeFile(20000, "\n", true) + tail},
        {"plain text throughout", largeFile(20000, "\n", false) + tail},
        {"the seven inputs alone", inputsOnlyFile(30000)},
    };
    for (const auto& [name, text] : files) {
        SCOPED_TRACE(name);
        BatchSummary summary;
        const std::string output = runWith(text, 2, summary);

        std::vector<CsvRecord> records = testing::readAllRecords(text);
        std::vector<std::string> header = records.front().fields;
        header.insert(header.end(), {"centile", "error"});
        records.erase(records.begin());
        std::istringstream in(text);
        BatchJob job(in, Population::UnitedKingdom);
        const std::vector<BirthResult> results = job.computeChunk(records);
        CsvRows rows;
        rows.view(records);
        std::string expected;
        CsvWriter writer(expected);
        writer.writeRecord(header);
        BatchSummary counted;
        for (std::size_t r = 0; r < records.size(); ++r) {
            writeRow(writer, rows.rows[r], header.size() - 2, results[r]);
            counted.count(results[r]);
        }
        EXPECT_TRUE(output == expected);  // (not EXPECT_EQ: a mismatch would print megabytes)
        EXPECT_EQ(summary.rows, counted.rows);
        EXPECT_EQ(summary.computed, counted.computed);
        EXPECT_EQ(summary.missing, counted.missing);
        EXPECT_EQ(summary.errors, counted.errors);
        EXPECT_EQ(summary.bands, counted.bands);
        EXPECT_EQ(summary.tenths, counted.tenths);
        EXPECT_EQ(summary.flaggedRows, counted.flaggedRows);
        EXPECT_EQ(bandSummaryText(summary), bandSummaryText(counted));
        EXPECT_GT(counted.flaggedRows, 0);
    }
}

TEST(BatchFastPath, ProgressCountsRowsAndBytes)
{
    std::string text = largeFile(10000, "\n");
    std::istringstream in(text);
    BatchJob job(in, Population::UnitedKingdom);
    std::ostringstream out;
    long lastRows = 0;
    std::uint64_t lastBytes = 0;
    int calls = 0;
    BatchRunOptions options;
    options.threads = 2;
    options.progress = [&](long rows, std::uint64_t bytes) {
        EXPECT_GT(rows, lastRows);
        EXPECT_GE(bytes, lastBytes);
        lastRows = rows;
        lastBytes = bytes;
        ++calls;
    };
    job.run(out, options);
    EXPECT_EQ(lastRows, 10000);
    EXPECT_EQ(lastBytes, text.size());
    EXPECT_GT(calls, 1);
}

TEST(BatchFastPath, StopsBetweenChunksWhenAsked)
{
    std::string text = largeFile(50000, "\n");
    std::istringstream in(text);
    BatchJob job(in, Population::UnitedKingdom);
    std::ostringstream out;
    long rowsAtStop = 0;
    BatchRunOptions options;
    options.threads = 2;
    options.progress = [&](long rows, std::uint64_t) { rowsAtStop = rows; };
    options.stopRequested = [&] { return rowsAtStop > 0; };
    BatchSummary summary = job.run(out, options);
    EXPECT_TRUE(summary.interrupted);
    EXPECT_EQ(summary.rows, rowsAtStop);
    EXPECT_LT(summary.rows, 50000);
    EXPECT_EQ(testing::readAllRecords(out.str()).size(),
              std::size_t(summary.rows) + 1);  // only whole chunks, after the header
}

}  // namespace
}  // namespace wrenfield::tabular

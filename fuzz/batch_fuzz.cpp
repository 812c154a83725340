// custcent batch over any bytes as the rows of a file with a valid header,
// on one to four threads.
//
// Exactly one output row per input record, in input order, each with the
// record's fields in its place and either a finite centile or an error. Each
// row says what the population's method says for the record's fields: the
// same centile (the batch kernel may differ in the last bits), or the same
// error. Any number of threads writes the same bytes as one.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tabular/batch.h"
#include "tabular/csv.h"
#include "fuzz/csv_lines.h"
#include "fuzz/fuzz_check.h"
#include "platform/numeric_text.h"

using namespace wrenfield;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the header: with or without a population column
    // and a column of its own, ending in LF or CR LF.
    const bool extraColumns = data[0] & 1;
    const bool crLf = data[0] & 2;
    const std::size_t threads = 1 + ((data[0] >> 2) & 3);
    std::string header = extraColumns ? "id,bwt,gest,wt,ht,sex,eth,par,population" : "bwt,gest,wt,ht,sex,eth,par";
    header += crLf ? "\r\n" : "\n";
    const std::size_t width = extraColumns ? 9 : 7;
    std::string_view rows(reinterpret_cast<const char*>(data) + 1, size - 1);

    // The records the reader finds in the same input: what the output must follow.
    std::vector<tabular::CsvRecord> records;
    {
        std::istringstream in(header + std::string(rows));
        tabular::CsvReader reader(in);
        tabular::CsvRecord record;
        reader.next(record);  // the header
        while (reader.next(record))
            records.push_back(record);
    }
    if (fuzzing::isQuoteAndCrFree(rows))
        FUZZ_CHECK(records.size() == fuzzing::recordLines(rows).size(), "the reader did not find one record per line");

    auto runBatch = [&](std::size_t threadCount, tabular::BatchSummary& summary) {
        std::istringstream in(header + std::string(rows));
        std::ostringstream out;
        tabular::BatchJob job(in, engine::Population::UnitedKingdom);
        tabular::BatchRunOptions options;
        options.threads = threadCount;
        summary = job.run(out, options);
        return out.str();
    };
    tabular::BatchSummary summary;
    const std::string output = runBatch(threads, summary);
    if (threads > 1) {
        tabular::BatchSummary alone;
        FUZZ_CHECK(runBatch(1, alone) == output, "more threads wrote other bytes than one");
    }
    FUZZ_CHECK(summary.rows == static_cast<long>(records.size()), "the summary counts another number of rows");
    FUZZ_CHECK(summary.computed + summary.missing + summary.errors == summary.rows, "the summary does not add up");

    const std::vector<std::string> headerFields = extraColumns
        ? std::vector<std::string>{"id", "bwt", "gest", "wt", "ht", "sex", "eth", "par", "population"}
        : std::vector<std::string>{"bwt", "gest", "wt", "ht", "sex", "eth", "par"};
    const tabular::BatchColumns columns = tabular::findColumns(headerFields);

    std::istringstream written(output);
    tabular::CsvReader reader(written);
    tabular::CsvRecord outHeader;
    FUZZ_CHECK(reader.next(outHeader) && outHeader.fields.size() == width + 2, "the output header is wrong");
    std::size_t index = 0;
    tabular::CsvRecord row;
    while (reader.next(row)) {
        FUZZ_CHECK(index < records.size(), "more output rows than input records");
        FUZZ_CHECK(!row.malformed(), "an output row does not read back as a well-formed record");
        const tabular::CsvRecord& input = records[index];
        for (std::size_t i = 0; i < width; ++i) {
            std::string expected = i < input.fields.size() ? input.fields[i] : std::string();
            FUZZ_CHECK(row.fields[i] == expected, "an output row does not carry its input record's fields");
        }
        const std::string& centile = row.fields[width];
        const std::string& error = row.fields[width + 1];
        if (!centile.empty()) {
            double value = numberFromText(centile);
            FUZZ_CHECK(std::isfinite(value), "a centile that is not finite");
            FUZZ_CHECK(error.empty(), "a row has both a centile and an error");
        } else {
            FUZZ_CHECK(!error.empty(), "a row has neither a centile nor an error");
        }
        if (input.malformed()) {
            FUZZ_CHECK(error.starts_with("malformed record at line " + std::to_string(input.line)),
                       "a malformed record is not reported as one");
        } else {
            // What the same birth gets read alone, and by the population's method.
            tabular::RowFields fields;
            for (std::size_t c = 0; c < tabular::kInputColumns.size(); ++c)
                fields.inputs[c] = input.fields[columns.inputs[c]];
            if (columns.population)
                fields.population = input.fields[*columns.population];
            tabular::BatchSettings settings;
            const tabular::BirthResult alone = tabular::computeRow(fields, settings);
            if (alone.computed()) {
                FUZZ_CHECK(!centile.empty() && numberFromText(centile) == alone.centile(),
                           "the batch computed another centile than the same birth read alone");
                settings.options.exact = true;
                const tabular::BirthResult exact = tabular::computeRow(fields, settings);
                FUZZ_CHECK(exact.computed() &&
                               std::fabs(exact.centile() - alone.centile()) <=
                                   1e-9 * std::max(1.0, std::fabs(exact.centile())),
                           "the batch strays from the population's method");
                FUZZ_CHECK(exact.band == alone.band, "the batch gives another band than the population's method");
            } else {
                FUZZ_CHECK(centile.empty() && error == alone.error,
                           "the batch does not report the error the same birth gets read alone");
            }
        }
        ++index;
    }
    FUZZ_CHECK(index == records.size(), "fewer output rows than input records");
    return 0;
}

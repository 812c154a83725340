// custcent batch over any bytes as the rows of a file with a valid header.
//
// Exactly one output row per input record, in input order, each with the
// record's fields in its place and a centile that is a finite number or
// empty, and an error text whenever the centile is empty and the inputs were
// not merely missing.
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/batch.h"
#include "cli/csv.h"
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
    std::string header = extraColumns ? "id,bwt,gest,wt,ht,sex,eth,par,population" : "bwt,gest,wt,ht,sex,eth,par";
    header += crLf ? "\r\n" : "\n";
    const std::size_t width = extraColumns ? 9 : 7;
    std::string_view rows(reinterpret_cast<const char*>(data) + 1, size - 1);

    // The records the reader finds in the same input: what the output must follow.
    std::vector<cli::CsvRecord> records;
    {
        std::istringstream in(header + std::string(rows));
        cli::CsvReader reader(in);
        cli::CsvRecord record;
        reader.next(record);  // the header
        while (reader.next(record))
            records.push_back(record);
    }
    if (fuzzing::isQuoteAndCrFree(rows))
        FUZZ_CHECK(records.size() == fuzzing::recordLines(rows).size(), "the reader did not find one record per line");

    std::istringstream in(header + std::string(rows));
    std::ostringstream out;
    cli::BatchJob job(in, engine::Population::UnitedKingdom);
    cli::BatchSummary summary = job.run(out);
    FUZZ_CHECK(summary.rows == static_cast<long>(records.size()), "the summary counts another number of rows");
    FUZZ_CHECK(summary.computed + summary.missing + summary.errors == summary.rows, "the summary does not add up");

    std::istringstream written(out.str());
    cli::CsvReader reader(written);
    cli::CsvRecord outHeader;
    FUZZ_CHECK(reader.next(outHeader) && outHeader.fields.size() == width + 2, "the output header is wrong");
    std::size_t index = 0;
    cli::CsvRecord row;
    while (reader.next(row)) {
        FUZZ_CHECK(index < records.size(), "more output rows than input records");
        FUZZ_CHECK(!row.malformed(), "an output row does not read back as a well-formed record");
        const cli::CsvRecord& input = records[index];
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
        if (input.malformed())
            FUZZ_CHECK(error.starts_with("malformed record at line " + std::to_string(input.line)),
                       "a malformed record is not reported as one");
        ++index;
    }
    FUZZ_CHECK(index == records.size(), "fewer output rows than input records");
    return 0;
}

// The CSV reader of custcent batch over any bytes.
//
// It reads to the end without hanging, counts its lines upwards, and where
// the input has no quotes and no carriage returns, returns one record per
// line holding exactly that line's text. A well-formed record written by the
// CSV writer reads back the same. Read as a batch reads it (plain stretches
// in pieces, split into their fields), it gives the very same records.
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "tabular/csv.h"
#include "fuzz/csv_lines.h"
#include "fuzz/fuzz_check.h"
#include "tests/support/csv_records.h"

using namespace wrenfield;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the longest field the reader takes and how much it
    // reads at a time, so that the too-long path and the edges of the reading
    // buffer are reached with small inputs too.
    tabular::CsvReader::Options options;
    if (data[0] & 1)
        options.maxFieldBytes = 1 + data[0] / 4;
    if (data[0] & 2)
        options.readChunkBytes = 1 + (data[0] >> 4);
    if ((data[0] & 0x0C) == 0x0C) {
        options.maxRecordBytes = 4 + data[0] / 8;
        options.maxRecordFields = 2 + data[0] / 32;
    }
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::istringstream in{std::string(bytes)};
    tabular::CsvReader reader(in, options);
    std::vector<tabular::CsvRecord> records;
    tabular::CsvRecord record;
    long lastLine = 0;
    while (reader.next(record)) {
        FUZZ_CHECK(record.line > lastLine, "a record does not start on a later line than the one before");
        FUZZ_CHECK(records.size() < bytes.size() + 1, "more records than bytes");
        lastLine = record.line;
        records.push_back(record);
    }
    FUZZ_CHECK(!reader.readFailed(), "reading from memory failed");

    // A batch reads plain stretches in pieces and splits them: the same records.
    const std::vector<tabular::CsvRecord> inPieces =
        testing::readRecordsInPieces(std::string(bytes), 1 + (data[0] >> 2) % 32, options);
    FUZZ_CHECK(inPieces.size() == records.size(), "reading in pieces gives another number of records");
    for (std::size_t i = 0; i < records.size(); ++i)
        FUZZ_CHECK(inPieces[i].fields == records[i].fields && inPieces[i].line == records[i].line &&
                       inPieces[i].problem == records[i].problem,
                   "reading in pieces gives another record");

    // The first well-formed record fixes the number of fields.
    std::size_t width = 0;
    for (const tabular::CsvRecord& r : records) {
        if (r.malformed())
            continue;
        if (width == 0)
            width = r.fields.size();
        FUZZ_CHECK(r.fields.size() == width, "a well-formed record has another number of fields than the first");
        // The writer quotes what needs quoting: the record reads back the same.
        // (It follows another record, as rows follow the header, so that a
        // first field starting with a byte order mark stays in the field.)
        std::ostringstream out;
        tabular::CsvWriter writer(out);
        writer.writeRecord(std::vector<std::string>(r.fields.size(), "x"));
        writer.writeRecord(r.fields);
        std::istringstream back(out.str());
        tabular::CsvReader again(back);
        tabular::CsvRecord copy;
        FUZZ_CHECK(again.next(copy) && again.next(copy), "a written record does not read back");
        FUZZ_CHECK(!copy.malformed() && copy.fields == r.fields, "a written record reads back different");
    }

    std::string_view body = bytes;
    if (body.starts_with("\xEF\xBB\xBF"))
        body.remove_prefix(3);
    // (UTF-16 and UTF-32 input is converted: its records are not its bytes.)
    if (std::string_view(reader.encodingName()) == "UTF-8" && fuzzing::isQuoteAndCrFree(body)) {
        std::vector<std::string_view> lines = fuzzing::recordLines(body);
        FUZZ_CHECK(records.size() == lines.size(), "records were lost or invented: not one per line");
        for (std::size_t i = 0; i < lines.size(); ++i) {
            FUZZ_CHECK(records[i].line == static_cast<long>(i + 1), "a record has the wrong line number");
            const bool tooLong = records[i].problem.find("longer than") != std::string::npos ||
                records[i].problem.find("more than") != std::string::npos;
            if (!tooLong && !lines[i].empty())
                FUZZ_CHECK(fuzzing::joinedFields(records[i].fields) == lines[i], "a record's fields are not its line");
            if (lines[i].empty())
                FUZZ_CHECK(records[i].problem == "empty line", "an empty line is not reported as one");
        }
    }
    return 0;
}

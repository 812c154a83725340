// Test helper: every record of a CSV text, read with the command's own reader.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tabular/csv.h"

namespace wrenfield::testing {

inline std::vector<tabular::CsvRecord> readAllRecords(const std::string& text, tabular::CsvReader::Options options = {})
{
    std::istringstream in(text);
    tabular::CsvReader reader(in, options);
    std::vector<tabular::CsvRecord> records;
    tabular::CsvRecord record;
    while (reader.next(record))
        records.push_back(record);
    return records;
}

// The same records read as a batch run reads them: plain text in pieces of
// at most `pieceBytes`, split into rows, and whatever is not plain record by
// record.
inline std::vector<tabular::CsvRecord> readRecordsInPieces(const std::string& text, std::size_t pieceBytes,
                                                           tabular::CsvReader::Options options = {})
{
    std::istringstream in(text);
    tabular::CsvReader reader(in, options);
    std::vector<tabular::CsvRecord> records;
    tabular::CsvRecord record;
    std::string piece;
    long firstLine = 0;
    tabular::CsvRows rows;
    for (;;) {
        if (reader.nextPlainText(piece, firstLine, pieceBytes)) {
            rows.split(piece, firstLine, reader.delimiter(), reader.fieldCount());
            for (const tabular::CsvRow& row : rows.rows)
                records.push_back(
                    {std::vector<std::string>(row.fields.begin(), row.fields.end()), row.line, row.problem});
        } else if (reader.next(record)) {
            records.push_back(record);
        } else {
            return records;
        }
    }
}

}  // namespace wrenfield::testing

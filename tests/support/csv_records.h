// Test helper: every record of a CSV text, read with the command's own reader.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/csv.h"

namespace wrenfield::testing {

inline std::vector<cli::CsvRecord> readAllRecords(const std::string& text, cli::CsvReader::Options options = {})
{
    std::istringstream in(text);
    cli::CsvReader reader(in, options);
    std::vector<cli::CsvRecord> records;
    cli::CsvRecord record;
    while (reader.next(record))
        records.push_back(record);
    return records;
}

}  // namespace wrenfield::testing

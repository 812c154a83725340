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

}  // namespace wrenfield::testing

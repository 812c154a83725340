#include "tabular/plain_fields.h"

#include <utility>

namespace wrenfield::tabular {

bool lineReaderSupported(LineReader reader) noexcept
{
#if defined(WRENFIELD_X86_64_LANES)
    __builtin_cpu_init();
    switch (reader) {
    case LineReader::Bytes:
        return true;
    case LineReader::Avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt");
    case LineReader::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vbmi") &&
            __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
            __builtin_cpu_supports("popcnt");
    }
    return false;
#else
    return reader == LineReader::Bytes;
#endif
}

PlainFieldShape plainFieldShape(char delimiter, std::vector<std::uint8_t> roles)
{
    PlainFieldShape shape;
    shape.delimiter = delimiter;
    shape.roles = std::move(roles);
    const std::size_t width = shape.roles.size();
    // A line of more than 64 fields is longer than the 64 bytes read at once.
    const bool delimiterIsNoNumber = delimiter == ',' || delimiter == ';' || delimiter == '\t';
    if (!delimiterIsNoNumber || width > 64)
        return shape;
    for (const LineReader reader : {LineReader::Avx512, LineReader::Avx2})
        if (lineReaderSupported(reader)) {
            shape.reader = reader;
            break;
        }
    if (shape.reader != LineReader::Avx512)
        return shape;
    auto setLane = [&shape](std::size_t lane, std::size_t field) {
        for (std::size_t byte = 0; byte < 8; ++byte) {
            shape.laneField[8 * lane + byte] = static_cast<std::int8_t>(field);
            shape.laneFieldBefore[8 * lane + byte] = static_cast<std::int8_t>(field - 1);
        }
    };
    std::uint64_t inputs = 0;
    for (std::size_t field = 0; field < width; ++field) {
        const std::uint8_t role = shape.roles[field];
        if (role == kPopulationField)
            shape.populationField = field;
        if (role >= reading::kInputFieldCount)
            continue;
        inputs |= std::uint64_t{1} << field;
        setLane(role, field);
        if (role == 0)
            setLane(7, field);  // the spare lane: checked as the first input's
    }
    shape.inputChanges = inputs ^ inputs << 1;
    shape.onlyInputs = width == reading::kInputFieldCount;
    return shape;
}

}  // namespace wrenfield::tabular

#include "reading/fields.h"

#include "reading/text_match.h"

namespace wrenfield::reading {

std::string snakeCase(std::string_view name)
{
    std::string snake;
    for (char c : name) {
        if (c >= 'A' && c <= 'Z') {
            snake += '_';
            snake += asciiLower(c);
        } else {
            snake += c;
        }
    }
    return snake;
}

std::optional<ResultField> columnFieldFromName(std::string_view name)
{
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t'))
        name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.remove_suffix(1);
    if (equalsIgnoringCase(name, "expected"))
        return ResultField::ExpectedWeight;
    for (ResultField field : kColumnFields)
        if (equalsIgnoringCase(name, snakeCase(fieldName(field))))
            return field;
    return std::nullopt;
}

}  // namespace wrenfield::reading

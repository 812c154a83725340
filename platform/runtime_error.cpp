#include "platform/runtime_error.h"

namespace wrenfield {

std::string_view errorDescription(ErrorNumber number)
{
    switch (number) {
    case ErrorNumber::InvalidProcedureCall:
        return "Invalid procedure call or argument";
    case ErrorNumber::Overflow:
        return "Overflow";
    case ErrorNumber::DivisionByZero:
        return "Division by zero";
    case ErrorNumber::TypeMismatch:
        return "Type mismatch";
    case ErrorNumber::InvalidUseOfNull:
        return "Invalid use of Null";
    case ErrorNumber::InvalidPropertyValue:
        return "Invalid property value";
    }
    return "Application-defined or object-defined error";
}

namespace {
std::string message(ErrorNumber number, const std::string& context)
{
    std::string text(errorDescription(number));
    if (!context.empty()) {
        text += ": ";
        text += context;
    }
    return text;
}
}  // namespace

RuntimeError::RuntimeError(ErrorNumber number, std::string context)
    : std::runtime_error(message(number, context))
    , number_(number)
    , context_(std::move(context))
{}

void raise(ErrorNumber number, std::string context)
{
    throw RuntimeError(number, std::move(context));
}

}  // namespace wrenfield

// Run-time errors: the failures that end a running method or handler and pass
// to its caller, numbered as the classic run-time convention numbers them.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace wrenfield {

enum class ErrorNumber : int {
    // An invalid floating-point operation (0/0, infinity minus infinity, a NaN
    // operand) has no number of its own in the classic convention; it is
    // reported as an invalid argument, since only a NaN or an infinite input
    // can lead to one.
    InvalidProcedureCall = 5,
    Overflow = 6,
    DivisionByZero = 11,
    TypeMismatch = 13,
    InvalidUseOfNull = 94,
    // Writing a list's text that none of its entries holds.
    InvalidPropertyValue = 380,
};

// The description that belongs to an error number ("Type mismatch").
std::string_view errorDescription(ErrorNumber number);

class RuntimeError : public std::runtime_error {
public:
    // `context` says where the error arose (a control and a text, say); what()
    // gives the description followed by the context.
    explicit RuntimeError(ErrorNumber number, std::string context = {});

    ErrorNumber number() const noexcept { return number_; }
    int code() const noexcept { return static_cast<int>(number_); }
    std::string_view description() const noexcept { return errorDescription(number_); }
    const std::string& context() const noexcept { return context_; }

private:
    ErrorNumber number_;
    std::string context_;
};

[[noreturn]] void raise(ErrorNumber number, std::string context = {});

}  // namespace wrenfield

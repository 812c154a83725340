// Double-precision steps that check their result: an overflow, a division by
// zero or an invalid operation ends the computation with a run-time error.
// Underflow and loss of precision are not errors.
#pragma once

#include <cmath>

#include "platform/runtime_error.h"

namespace wrenfield::engine::checked {

inline double result(double value)
{
    if (std::isnan(value)) [[unlikely]]
        raise(ErrorNumber::InvalidProcedureCall);
    if (std::isinf(value)) [[unlikely]]
        raise(ErrorNumber::Overflow);
    return value;
}

inline double add(double a, double b)
{
    return result(a + b);
}
inline double sub(double a, double b)
{
    return result(a - b);
}
inline double mul(double a, double b)
{
    return result(a * b);
}

// Half up to a whole number, as a centile is shown rounded (38.5 is 39).
inline double roundHalfUp(double value)
{
    return std::floor(add(value, 0.5));
}

inline double div(double a, double b)
{
    if (b == 0.0) [[unlikely]] {
        if (a == 0.0 || std::isnan(a))
            raise(ErrorNumber::InvalidProcedureCall);
        raise(ErrorNumber::DivisionByZero);
    }
    return result(a / b);
}

inline double exp(double x)
{
    return result(std::exp(x));
}

}  // namespace wrenfield::engine::checked

#include "platform/variant.h"

#include <cmath>

#include "platform/numeric_text.h"
#include "platform/runtime_error.h"

namespace wrenfield {

Variant::Variant(int value)
    : kind_(Kind::Int16)
{
    if (value < -32768 || value > 32767)
        raise(ErrorNumber::Overflow);
    int16_ = static_cast<std::int16_t>(value);
}

Variant Variant::null()
{
    Variant v;
    v.kind_ = Kind::Null;
    return v;
}

Variant Variant::refTo(double& variable)
{
    Variant v;
    v.kind_ = Kind::RefDouble;
    v.doubleRef_ = &variable;
    return v;
}

Variant Variant::refTo(std::int16_t& variable)
{
    Variant v;
    v.kind_ = Kind::RefInt16;
    v.int16Ref_ = &variable;
    return v;
}

Variant::Kind Variant::valueKind() const noexcept
{
    switch (kind_) {
    case Kind::RefDouble:
        return Kind::Double;
    case Kind::RefInt16:
        return Kind::Int16;
    default:
        return kind_;
    }
}

const std::string& Variant::text() const noexcept
{
    static const std::string none;
    return kind_ == Kind::String ? text_ : none;
}

double Variant::number() const
{
    switch (kind_) {
    case Kind::Empty:
        return 0.0;
    case Kind::Null:
        raise(ErrorNumber::InvalidUseOfNull);
    case Kind::Int16:
        return int16_;
    case Kind::Double:
        return double_;
    case Kind::String:
        return numberFromText(text_);
    case Kind::RefDouble:
        return *doubleRef_;
    case Kind::RefInt16:
        return *int16Ref_;
    }
    raise(ErrorNumber::TypeMismatch);
}

bool Variant::equalsEmptyString() const noexcept
{
    return kind_ == Kind::Empty || (kind_ == Kind::String && text_.empty());
}

bool Variant::equalsCode(std::int16_t code) const
{
    double value = number();
    if (std::isnan(value))
        raise(ErrorNumber::InvalidProcedureCall);
    return value == code;
}

std::int16_t toInt16(double value)
{
    double rounded = std::nearbyint(value);  // the default rounding: half to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        raise(ErrorNumber::Overflow);
    return static_cast<std::int16_t>(rounded);
}

void Variant::store(double value)
{
    switch (kind_) {
    case Kind::RefDouble:
        *doubleRef_ = value;
        return;
    case Kind::RefInt16:
        *int16Ref_ = toInt16(value);
        return;
    default:
        text_.clear();
        kind_ = Kind::Double;
        double_ = value;
        return;
    }
}

std::string Variant::describe() const
{
    switch (kind_) {
    case Kind::Empty:
        return "Empty";
    case Kind::Null:
        return "Null";
    case Kind::Int16:
        return "Integer " + std::to_string(int16_);
    case Kind::Double:
        return "Double " + shortestText(double_);
    case Kind::String:
        return "String \"" + text_ + "\"";
    case Kind::RefDouble:
        return "ByRef Double " + shortestText(*doubleRef_);
    case Kind::RefInt16:
        return "ByRef Integer " + std::to_string(*int16Ref_);
    }
    return "?";
}

}  // namespace wrenfield

// The five population methods with seven arbitrary variants.
//
// A call returns a finite double, or the zero-length text exactly when an
// argument is empty or a zero-length text (and then touches no argument), or
// raises one of the defined run-time errors. Nothing else: no crash, no NaN
// or infinity delivered as a centile, no other exception.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/population_methods.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/variant_decoder.h"
#include "platform/runtime_error.h"

using namespace wrenfield;

namespace {

bool isDefinedError(ErrorNumber number)
{
    switch (number) {
    case ErrorNumber::InvalidProcedureCall:
    case ErrorNumber::Overflow:
    case ErrorNumber::DivisionByZero:
    case ErrorNumber::TypeMismatch:
    case ErrorNumber::InvalidUseOfNull:
        return true;
    default:
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    auto population = static_cast<engine::Population>(input.ConsumeIntegralInRange<int>(0, 4));
    fuzzing::VariantDecoder decoder(input);
    Variant args[7];
    bool missing = false;
    for (Variant& arg : args) {
        arg = decoder.decode();
        missing = missing || arg.equalsEmptyString();
    }
    // What each argument holds (a reference: what its variable holds), to see
    // whether the call changed it.
    std::string before[7];
    for (int i = 0; i < 7; ++i)
        before[i] = args[i].describe();

    try {
        Variant result =
            engine::populationMethod(population)(args[0], args[1], args[2], args[3], args[4], args[5], args[6]);
        if (missing) {
            FUZZ_CHECK(result.kind() == Variant::Kind::String && result.text().empty(),
                       "a missing input did not give the zero-length text");
            for (int i = 0; i < 7; ++i)
                FUZZ_CHECK(args[i].describe() == before[i], "a missing input still changed an argument");
        } else {
            FUZZ_CHECK(result.kind() == Variant::Kind::Double, "the centile is not a double");
            FUZZ_CHECK(std::isfinite(result.number()), "the centile is not finite");
            // The integration's sum never leaves -0.5 .. 1.5 or so: the
            // centile stays within a few millionths of 0..100.
            FUZZ_CHECK(result.number() > -0.001 && result.number() < 100.001, "the centile is far outside 0..100");
            // The gestation written back is finite.
            FUZZ_CHECK(std::isfinite(args[1].number()), "the weeks written back are not finite");
        }
    } catch (const RuntimeError& e) {
        FUZZ_CHECK(!missing, "a missing input raised an error instead of giving the zero-length text");
        FUZZ_CHECK(isDefinedError(e.number()), "the method raised an error it does not define");
    }
    return 0;
}

// The compiled part of the Python package. It binds the reading layer's
// column adapter and vocabulary; the pure-Python package `wrenfield` around
// it turns arrays, data frames and scalars into the columns these functions
// take.
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "engine/batch_kernel.h"
#include "engine/coefficient_set.h"
#include "platform/runtime_error.h"

namespace py = pybind11;

PYBIND11_MODULE(_wrenfield, module)
{
    module.doc() = "Customised birthweight centiles: the compiled core of the wrenfield package.";
    module.attr("version") = WRENFIELD_VERSION;
    module.attr("coefficient_set_version") = std::string(wrenfield::engine::kCoefficientSetVersion);
    module.def(
        "simd_level", [] { return std::string(wrenfield::engine::simdLevelName(wrenfield::engine::bestSimdLevel())); },
        "The widest vector instruction set the batch kernel runs on this processor.");

    // A birth whose centile the model cannot compute (an overflow, say), in
    // the one-birth call, raises this exception with the reading's error.
    static py::exception<wrenfield::RuntimeError> calculationError(module, "CalculationError", PyExc_ArithmeticError);
    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure)
                std::rethrow_exception(failure);
        } catch (const wrenfield::RuntimeError& error) {
            calculationError(error.what());
        }
    });

    wrenfield::python::bindColumns(module);
    wrenfield::python::bindDistinctTexts(module);
    wrenfield::python::bindVocabulary(module);
}

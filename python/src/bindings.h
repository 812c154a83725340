// The parts of the compiled module `wrenfield._wrenfield`, one file each.
#pragma once

#include <pybind11/pybind11.h>

namespace wrenfield::python {

// compute_columns: the centiles of numeric columns, off the interpreter's lock.
void bindColumns(pybind11::module_& module);
// distinct_texts: a column of strings as its distinct texts and an index a row.
void bindDistinctTexts(pybind11::module_& module);
// populations, coefficient_set, read_population and the names of the
// result's fields.
void bindVocabulary(pybind11::module_& module);

}  // namespace wrenfield::python

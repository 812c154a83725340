// compute_columns: seven float64 columns in, the centiles (and on request the
// weeks, expected weight and deviation) out, computed by the batch library on
// worker threads while the interpreter's lock is released. The calling thread
// keeps watching for Ctrl-C and reports progress.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <atomic>
#include <utility>
#include <chrono>
#include <exception>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bindings.h"
#include "engine/band.h"
#include "tabular/column_batch.h"

namespace py = pybind11;

namespace wrenfield::python {

namespace {

using tabular::kInputColumns;

// How often the waiting thread takes the lock to look for Ctrl-C.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

// A column the library can read in place: float64 in the machine's byte
// order, one dimension of `rows` elements, aligned. Anything else is the
// package's mistake or a caller's, never something to guess at.
// Whether the array's elements are T in the machine's byte order (an equal
// dtype, not necessarily the same object: an unpickled array has its own).
template <typename T>
bool holds(const py::array& array)
{
    return py::detail::npy_api::get().PyArray_EquivTypes_(array.dtype().ptr(), py::dtype::of<T>().ptr());
}

tabular::NumberColumn numberColumn(const py::array& array, std::string_view name, std::size_t rows)
{
    if (!holds<double>(array))
        throw py::type_error(std::string(name) + ": expected a float64 array, got " +
                             std::string(py::str(array.dtype())));
    if (array.ndim() != 1 || static_cast<std::size_t>(array.shape(0)) != rows)
        throw py::value_error(std::string(name) + ": expected one dimension of " + std::to_string(rows) + " values");
    auto address = reinterpret_cast<std::uintptr_t>(array.data());
    py::ssize_t stride = rows > 1 ? array.strides(0) : 0;
    if (address % alignof(double) != 0 || stride % static_cast<py::ssize_t>(alignof(double)) != 0)
        throw py::value_error(std::string(name) + ": the array is not aligned for float64");
    return {static_cast<const double*>(array.data()), stride};
}

py::array_t<double> doubles(std::size_t rows) { return py::array_t<double>(static_cast<py::ssize_t>(rows)); }

template <typename T>
std::span<T> span(py::array_t<T>& array)
{
    return {array.mutable_data(), static_cast<std::size_t>(array.size())};
}

// The rows and the texts of row messages, as an int64 array and a list.
std::pair<py::array_t<std::int64_t>, py::list> rowTexts(const std::vector<tabular::RowMessage>& messages)
{
    py::array_t<std::int64_t> rows(static_cast<py::ssize_t>(messages.size()));
    py::list texts;
    auto out = rows.mutable_unchecked<1>();
    for (std::size_t k = 0; k < messages.size(); ++k) {
        out(static_cast<py::ssize_t>(k)) = static_cast<std::int64_t>(messages[k].row);
        texts.append(py::str(messages[k].text));
    }
    return {rows, texts};
}

py::dict computeColumns(const std::vector<py::array>& inputs, std::size_t rows, std::vector<std::string> names,
                        const std::optional<py::array>& populationIndex, int defaultPopulation,
                        std::size_t threads, bool details, bool flags, const std::array<double, 4>& thresholds,
                        const std::function<void(std::size_t)>& progress)
{
    if (inputs.size() != kInputColumns.size())
        throw py::value_error("expected seven columns: bwt, gest, wt, ht, sex, eth, par");
    if (defaultPopulation < 0 || defaultPopulation >= static_cast<int>(engine::kPopulationCount))
        throw py::value_error("default population: expected a code from 0 to 4");
    if (threads == 0)
        throw py::value_error("threads: expected at least 1");

    tabular::ColumnBatchInput input;
    input.rows = rows;
    input.defaultPopulation = static_cast<engine::Population>(defaultPopulation);
    for (std::size_t c = 0; c < kInputColumns.size(); ++c)
        input.inputs[c] = numberColumn(inputs[c], kInputColumns[c], rows);
    input.population.names = names;
    if (populationIndex) {
        const py::array& index = *populationIndex;
        if (!holds<std::int64_t>(index) || index.ndim() != 1 ||
            static_cast<std::size_t>(index.shape(0)) != rows)
            throw py::type_error("population index: expected an int64 array of one value a row");
        if (reinterpret_cast<std::uintptr_t>(index.data()) % alignof(std::int64_t) != 0 ||
            index.strides(0) % static_cast<py::ssize_t>(alignof(std::int64_t)) != 0)
            throw py::value_error("population index: the array is not aligned");
        input.population.index = static_cast<const std::int64_t*>(index.data());
        input.population.strideBytes = rows > 1 ? index.strides(0) : 0;
    }

    py::array_t<double> centile = doubles(rows);
    py::array_t<std::uint8_t> outcome(static_cast<py::ssize_t>(rows));
    py::array_t<std::uint8_t> band(static_cast<py::ssize_t>(details ? rows : 0));
    py::array_t<double> weeks = doubles(details ? rows : 0);
    py::array_t<double> expected = doubles(details ? rows : 0);
    py::array_t<double> z = doubles(details ? rows : 0);
    tabular::ColumnBatchOutput output{span(centile), span(outcome), span(band), span(weeks), span(expected), span(z)};

    std::atomic<bool> stop{false};
    std::atomic<std::size_t> rowsDone{0};
    tabular::ColumnBatchOptions options;
    options.threads = threads;
    options.stop = &stop;
    options.rowsDone = &rowsDone;
    options.flags = flags;
    options.thresholds = {thresholds[0], thresholds[1], thresholds[2], thresholds[3]};

    tabular::ColumnBatchSummary summary;
    {
        py::gil_scoped_release unlocked;
        auto run = std::async(std::launch::async,
                              [&] { summary = tabular::computeColumns(input, output, options); });
        std::size_t reported = 0;
        while (run.wait_for(kPollInterval) != std::future_status::ready) {
            py::gil_scoped_acquire locked;
            try {
                if (PyErr_CheckSignals() != 0)
                    throw py::error_already_set();
                std::size_t done = rowsDone.load();
                if (progress && done != reported) {
                    reported = done;
                    progress(done);
                }
            } catch (...) {
                // Ctrl-C or a failing progress callback: stop the workers,
                // wait for them (they use the arrays), then pass it on.
                stop = true;
                {
                    py::gil_scoped_release waiting;
                    run.wait();
                }
                throw;
            }
        }
        run.get();  // rethrows a worker's failure
    }
    if (progress && rows > 0)
        progress(rows);


    py::dict result;
    result["centile"] = centile;
    result["outcome"] = outcome;
    if (details) {
        result["band"] = band;
        result["weeks"] = weeks;
        result["expected"] = expected;
        result["z"] = z;
    }
    auto [messageRows, messages] = rowTexts(summary.messages);
    result["message_rows"] = messageRows;
    result["messages"] = messages;
    if (flags) {
        auto [flagRows, flagTexts] = rowTexts(summary.flags);
        result["flag_rows"] = flagRows;
        result["flags"] = flagTexts;
    }
    result["computed"] = summary.computed;
    result["missing"] = summary.missing;
    result["errors"] = summary.errors;
    return result;
}

}  // namespace

void bindColumns(py::module_& module)
{
    module.attr("OUTCOME_COMPUTED") = static_cast<int>(tabular::RowOutcome::Computed);
    module.attr("OUTCOME_MISSING") = static_cast<int>(tabular::RowOutcome::Missing);
    module.attr("OUTCOME_ERROR") = static_cast<int>(tabular::RowOutcome::Error);
    module.def("compute_columns", &computeColumns, py::arg("inputs"), py::arg("rows"),
               py::arg("population_names") = std::vector<std::string>{}, py::arg("population_index") = py::none(),
               py::arg("default_population") = 0, py::arg("threads") = 1, py::arg("details") = false,
               py::arg("flags") = false, py::arg("thresholds") = std::array<double, 4>{3, 10, 90, 97},
               py::arg("progress") = nullptr,
               "Centiles of seven float64 columns (bwt, gest, wt, ht, sex, eth, par; NaN is missing).\n\n"
               "population_index (int64, one a row, -1 for the default) picks a text of population_names\n"
               "for each row. Returns a dict: centile (NaN unless computed), outcome (uint8: 0 computed,\n"
               "1 missing, 2 error), band (uint8, 255 for none)/weeks/expected/z when details is true,\n"
               "message_rows and messages (the text of every row not computed, in row order),\n"
               "flag_rows and flags when flags is true, and the counts. thresholds: the 3rd, SGA, LGA\n"
               "and 97th centiles of the bands.");
    module.def(
        "band_labels",
        [](const std::array<double, 4>& t) {
            engine::BandThresholds thresholds{t[0], t[1], t[2], t[3]};
            if (auto problem = engine::thresholdProblem(thresholds))
                throw py::value_error(*problem);
            py::list labels;
            for (auto band : {engine::Band::VerySmall, engine::Band::Small, engine::Band::Appropriate,
                              engine::Band::Large, engine::Band::VeryLarge})
                labels.append(py::make_tuple(std::string(engine::bandCode(band)),
                                             engine::bandLabel(band, thresholds), engine::bandWords(band, thresholds)));
            return labels;
        },
        py::arg("thresholds"),
        "For each band code (0 to 4): its short code (SGA), its label (SGA <3rd) and its words.");
}

}  // namespace wrenfield::python

// compute_columns: seven columns in, the centiles (and on request the model's
// values around them, or each row's whole record as JSON) out, computed by
// the column adapter of the reading layer on worker threads while the
// interpreter's lock is released. The calling thread keeps watching for
// Ctrl-C and reports progress.
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
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bindings.h"
#include "reading/band.h"
#include "reading/result.h"
#include "reading/vocabulary.h"
#include "tabular/column_batch.h"

namespace py = pybind11;

namespace wrenfield::python {

namespace {

using reading::kInputColumns;

// How often the waiting thread takes the lock to look for Ctrl-C.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

// Whether the array's elements are T in the machine's byte order (an equal
// dtype, not necessarily the same object: an unpickled array has its own).
template <typename T> bool holds(const py::array& array)
{
    return py::detail::npy_api::get().PyArray_EquivTypes_(array.dtype().ptr(), py::dtype::of<T>().ptr());
}

// A column the library can read in place: `T` in the machine's byte order,
// one dimension of `rows` elements, aligned. Anything else is the package's
// mistake or a caller's, never something to guess at.
template <typename T>
tabular::StridedColumn<T> stridedColumn(const py::array& array, const std::string& name, std::size_t rows)
{
    if (!holds<T>(array))
        throw py::type_error(name + ": expected a " + std::string(py::str(py::dtype::of<T>())) + " array, got " +
                             std::string(py::str(array.dtype())));
    if (array.ndim() != 1 || static_cast<std::size_t>(array.shape(0)) != rows)
        throw py::value_error(name + ": expected one dimension of " + std::to_string(rows) + " values");
    auto address = reinterpret_cast<std::uintptr_t>(array.data());
    py::ssize_t stride = rows > 1 ? array.strides(0) : 0;
    if (address % alignof(T) != 0 || stride % static_cast<py::ssize_t>(alignof(T)) != 0)
        throw py::value_error(name + ": the array is not aligned");
    return {static_cast<const T*>(array.data()), stride};
}

// Texts reduced to their distinct values, as (list of str, int64 index a row).
struct Texts {
    std::vector<std::string> texts;
    py::array index;
};

Texts textsOf(const py::handle& value, const std::string& name)
{
    auto pair = py::reinterpret_borrow<py::tuple>(value);
    if (pair.size() != 2)
        throw py::type_error(name + ": expected (texts, index)");
    return {pair[0].cast<std::vector<std::string>>(), pair[1].cast<py::array>()};
}

reading::InputDialect dialectOf(const std::optional<std::map<std::string, std::string>>& units,
                                const std::optional<std::vector<std::string>>& na, bool decimalComma)
{
    reading::InputDialect dialect;
    if (units) {
        for (const auto& [name, text] : *units) {
            auto field = reading::inputFieldFromName(name);
            if (!field)
                throw py::value_error("units: " + name + " is not an input (bwt, wt, ht take units)");
            reading::UnitChoice choice = reading::chooseUnit(*field, text);
            if (!choice.unit)
                throw py::value_error("units: " + name + ": " + choice.error);
            switch (*field) {
            case reading::InputField::Bwt:
                dialect.bwtUnit = *choice.unit;
                break;
            case reading::InputField::Wt:
                dialect.wtUnit = *choice.unit;
                break;
            case reading::InputField::Ht:
                dialect.htUnit = *choice.unit;
                break;
            default:
                throw py::value_error("units: only bwt, wt and ht take units, not " + name);
            }
        }
    }
    if (na)
        dialect.missingMarkers = *na;
    dialect.decimalComma = decimalComma;
    return dialect;
}

py::array_t<double> doubles(std::size_t rows)
{
    return py::array_t<double>(static_cast<py::ssize_t>(rows));
}

template <typename T> std::span<T> span(py::array_t<T>& array)
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

py::dict computeColumns(const py::list& inputs, std::size_t rows, const std::optional<py::tuple>& population,
                        int defaultPopulation, std::size_t threads, bool details, bool flags,
                        const std::array<double, 4>& thresholds, bool strict, bool exact, bool records,
                        const std::optional<std::map<std::string, std::string>>& units,
                        const std::optional<std::vector<std::string>>& na, bool decimalComma,
                        const std::function<void(std::size_t)>& progress, const std::optional<py::function>& meanwhile)
{
    if (inputs.size() != kInputColumns.size())
        throw py::value_error("expected seven columns: bwt, gest, wt, ht, sex, eth, par");
    if (defaultPopulation < 0 || defaultPopulation >= static_cast<int>(engine::kPopulationCount))
        throw py::value_error("default population: expected a code from 0 to 4");
    if (threads == 0)
        throw py::value_error("threads: expected at least 1");

    tabular::ColumnBatchInput input;
    input.rows = rows;
    input.settings.defaultPopulation = static_cast<engine::Population>(defaultPopulation);
    input.settings.options.thresholds = {thresholds[0], thresholds[1], thresholds[2], thresholds[3]};
    input.settings.options.strict = strict;
    input.settings.options.exact = exact;
    input.settings.dialect = dialectOf(units, na, decimalComma);
    // The arrays and texts stay referenced here while the workers read them.
    std::array<Texts, kInputColumns.size()> texts;
    std::vector<py::array> arrays;
    for (std::size_t c = 0; c < kInputColumns.size(); ++c) {
        std::string name(kInputColumns[c]);
        if (py::isinstance<py::tuple>(inputs[c])) {
            texts[c] = textsOf(inputs[c], name);
            input.inputs[c].texts =
                tabular::TextColumn{texts[c].texts, stridedColumn<std::int64_t>(texts[c].index, name, rows)};
        } else {
            arrays.push_back(inputs[c].cast<py::array>());
            // Whole numbers are read where they lie, as float64 columns are.
            if (holds<std::int64_t>(arrays.back()))
                input.inputs[c].wholeNumbers = stridedColumn<std::int64_t>(arrays.back(), name, rows);
            else
                input.inputs[c].numbers = stridedColumn<double>(arrays.back(), name, rows);
        }
    }
    Texts populations;
    if (population) {
        populations = textsOf(*population, "population");
        input.population =
            tabular::TextColumn{populations.texts, stridedColumn<std::int64_t>(populations.index, "population", rows)};
    }

    py::array_t<double> centile = doubles(rows);
    py::array_t<std::uint8_t> outcome(static_cast<py::ssize_t>(rows));
    py::array_t<std::uint8_t> band(static_cast<py::ssize_t>(details ? rows : 0));
    const std::size_t detailRows = details ? rows : 0;
    py::array_t<double> termWeight = doubles(detailRows), weeks = doubles(detailRows), proportion = doubles(detailRows),
                        expected = doubles(detailRows), spread = doubles(detailRows), z = doubles(detailRows);
    std::vector<std::string> recordTexts(records ? rows : 0);
    tabular::ColumnBatchOutput output{
        span(centile),    span(outcome),  span(band),   span(termWeight), span(weeks),
        span(proportion), span(expected), span(spread), span(z),          records ? &recordTexts : nullptr};

    std::atomic<bool> stop{false};
    std::atomic<std::size_t> rowsDone{0};
    tabular::ColumnBatchOptions options;
    options.threads = threads;
    options.stop = &stop;
    options.rowsDone = &rowsDone;
    options.flags = flags;

    tabular::ColumnBatchSummary summary;
    py::object meanwhileResult = py::none();
    {
        py::gil_scoped_release unlocked;
        auto run = std::async(std::launch::async, [&] { summary = tabular::computeColumns(input, output, options); });
        // Ctrl-C, or a failing callback: stop the workers, wait for them
        // (they use the arrays), then pass it on.
        auto abandon = [&] {
            stop = true;
            py::gil_scoped_release waiting;
            run.wait();
        };
        if (meanwhile) {
            py::gil_scoped_acquire locked;
            try {
                meanwhileResult = (*meanwhile)();
            } catch (...) {
                abandon();
                throw;
            }
        }
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
                abandon();
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
        result["term_weight"] = termWeight;
        result["weeks"] = weeks;
        result["proportion"] = proportion;
        result["expected_weight"] = expected;
        result["spread"] = spread;
        result["z"] = z;
    }
    if (records) {
        py::list texts;
        for (const std::string& text : recordTexts)
            texts.append(py::str(text));
        result["records"] = texts;
    }
    auto [messageRows, messages] = rowTexts(summary.messages);
    result["message_rows"] = messageRows;
    result["messages"] = messages;
    if (flags) {
        auto [flagRows, flagTexts] = rowTexts(summary.flags);
        result["flag_rows"] = flagRows;
        result["flags"] = flagTexts;
    }
    if (meanwhile)
        result["meanwhile"] = meanwhileResult;
    result["computed"] = summary.computed;
    result["missing"] = summary.missing;
    result["errors"] = summary.errors;
    return result;
}

}  // namespace

void bindColumns(py::module_& module)
{
    module.attr("OUTCOME_COMPUTED") = static_cast<int>(reading::Outcome::Computed);
    module.attr("OUTCOME_MISSING") = static_cast<int>(reading::Outcome::Missing);
    module.attr("OUTCOME_REFUSED") = static_cast<int>(reading::Outcome::Refused);
    module.attr("OUTCOME_FAILED") = static_cast<int>(reading::Outcome::Failed);
    module.attr("OUTCOME_FLAGGED") = static_cast<int>(reading::Outcome::Flagged);
    module.def(
        "compute_columns", &computeColumns, py::arg("inputs"), py::arg("rows"), py::arg("population") = py::none(),
        py::arg("default_population") = 0, py::arg("threads") = 1, py::arg("details") = false, py::arg("flags") = false,
        py::arg("thresholds") = std::array<double, 4>{3, 10, 90, 97}, py::arg("strict") = false,
        py::arg("exact") = false, py::arg("records") = false, py::arg("units") = py::none(), py::arg("na") = py::none(),
        py::arg("decimal_comma") = false, py::arg("progress") = nullptr, py::arg("meanwhile") = py::none(),
        "Centiles of seven columns (bwt, gest, wt, ht, sex, eth, par), each a float64 or int64 array\n"
        "(NaN is missing) or a pair (texts, int64 index a row, -1 missing) read with the input vocabulary.\n"
        "population: such a pair of names or aliases; a missing one takes default_population.\n"
        "units: {field: unit} for bare numbers of bwt, wt, ht; na: the missing-value markers;\n"
        "strict: a flagged row is an error; exact: every row by the population's method itself.\n"
        "Returns a dict: centile (NaN unless computed), outcome (uint8: the OUTCOME_ codes),\n"
        "band (uint8, 255 for none), term_weight, weeks, proportion, expected_weight,\n"
        "spread and z when details is true, records (each row's result as JSON) when records is true,\n"
        "message_rows and messages (the text of every row not computed, in row order),\n"
        "flag_rows and flags when flags is true, and the counts. thresholds: the 3rd, SGA, LGA\n"
        "and 97th centiles of the bands. meanwhile: called (without arguments) on the calling thread\n"
        "while the workers compute, its result returned as meanwhile: other work of the caller's\n"
        "that the computation does not need.");
    module.def(
        "thresholds_for",
        [](double sga, double lga) {
            reading::ThresholdChoice choice = reading::thresholdsFor(sga, lga);
            if (!choice.thresholds)
                throw py::value_error("thresholds: " + choice.error);
            const reading::BandThresholds& t = *choice.thresholds;
            return py::make_tuple(t.verySmall, t.sga, t.lga, t.veryLarge);
        },
        py::arg("sga"), py::arg("lga"),
        "The four band thresholds (very small, SGA, LGA, very large) that SGA and LGA centiles give.");
    module.def(
        "band_labels",
        [](const std::array<double, 4>& t) {
            reading::BandThresholds thresholds{t[0], t[1], t[2], t[3]};
            if (auto problem = reading::thresholdProblem(thresholds))
                throw py::value_error(*problem);
            py::list labels;
            for (auto band : {reading::Band::VerySmall, reading::Band::Small, reading::Band::Appropriate,
                              reading::Band::Large, reading::Band::VeryLarge})
                labels.append(py::make_tuple(std::string(reading::bandCode(band)), reading::bandLabel(band, thresholds),
                                             reading::bandWords(band, thresholds)));
            return labels;
        },
        py::arg("thresholds"),
        "For each band code (0 to 4): its short code (SGA), its label (SGA <3rd) and its words.");
}

}  // namespace wrenfield::python

// compute_columns_: seven columns in, each row's centile (and on request the
// values around it, its band, its flags) out, computed by the reading
// layer's column adapter, the road every front end takes. The R functions
// (R/compute.R) turn vectors, factors and data frames into these columns; no
// rule of reading lives here.
//
// A column is a double vector (NaN and NA are missing) or a list of
// (texts, codes): the distinct texts and, for each row, the 1-based position
// of its text (NA, or a text that is NA, is missing), which is what a factor
// is. Either has one element per row, or one for every row.
//
// Long runs go to a worker while this thread watches for an interrupt; the
// workers never touch R, and no C++ exception leaves this file except through
// Rcpp, which turns it into an R error.
#include <Rcpp.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "r_texts.h"
#include "reading/band.h"
#include "reading/input_text.h"
#include "reading/result.h"
#include "reading/vocabulary.h"
#include "tabular/column_batch.h"

#ifdef __linux__
#include <sched.h>
#endif

namespace {

using wrenfield::reading::InputField;
using wrenfield::reading::kInputColumns;
using wrenfield::reading::kInputFieldCount;
namespace tabular = wrenfield::tabular;

// Below this many rows the work stays on the calling thread (it ends
// before anyone could press Ctrl-C); above, a worker runs it.
constexpr R_xlen_t kWatchedRows = 65536;
constexpr auto kPollInterval = std::chrono::milliseconds(50);

// A column of texts as the adapter reads it: the texts, and for each row
// the 0-based index of its text or -1 for a missing value.
struct Texts {
    std::vector<std::string> texts;
    std::vector<std::int64_t> index;

    tabular::TextColumn column() const
    {
        return {texts, {index.data(), index.size() > 1 ? static_cast<std::ptrdiff_t>(sizeof(std::int64_t)) : 0}};
    }
};

void checkLength(R_xlen_t length, R_xlen_t rows, const std::string& name)
{
    if (length != rows && length != 1)
        Rcpp::stop(name + ": expected " + std::to_string(rows) + " values or one, got " + std::to_string(length));
}

Texts textsOf(const Rcpp::List& pair, R_xlen_t rows, const std::string& name)
{
    Rcpp::CharacterVector texts = pair[0];
    Rcpp::IntegerVector codes = pair[1];
    checkLength(codes.size(), rows, name);
    Texts out;
    out.texts.reserve(texts.size());
    std::vector<bool> missing(texts.size());
    for (R_xlen_t i = 0; i < texts.size(); ++i) {
        SEXP text = STRING_ELT(texts, i);
        missing[i] = text == NA_STRING;
        out.texts.push_back(missing[i] ? std::string() : wrenfield::r::utf8(text));
    }
    out.index.resize(codes.size());
    for (R_xlen_t r = 0; r < codes.size(); ++r) {
        const int code = codes[r];
        if (code == NA_INTEGER)
            out.index[r] = -1;
        else if (code < 1 || code > texts.size())
            Rcpp::stop(name + ": a code lies outside its texts");
        else
            out.index[r] = missing[code - 1] ? -1 : code - 1;
    }
    return out;
}

wrenfield::reading::InputDialect dialectOf(const Rcpp::Nullable<Rcpp::CharacterVector>& units,
                                           const Rcpp::Nullable<Rcpp::CharacterVector>& na)
{
    wrenfield::reading::InputDialect dialect;
    if (units.isNotNull()) {
        Rcpp::CharacterVector given(units.get());
        Rcpp::CharacterVector names = given.names();
        for (R_xlen_t i = 0; i < given.size(); ++i) {
            const std::string name = wrenfield::r::utf8(STRING_ELT(names, i));
            auto field = wrenfield::reading::inputFieldFromName(name);
            if (!field)
                Rcpp::stop("units: " + name + " is not an input");
            auto choice = wrenfield::reading::chooseUnit(*field, wrenfield::r::utf8(STRING_ELT(given, i)));
            if (!choice.unit)
                Rcpp::stop("units: " + name + ": " + choice.error);
            switch (*field) {
            case InputField::Bwt:
                dialect.bwtUnit = *choice.unit;
                break;
            case InputField::Wt:
                dialect.wtUnit = *choice.unit;
                break;
            case InputField::Ht:
                dialect.htUnit = *choice.unit;
                break;
            default:
                break;
            }
        }
    }
    if (na.isNotNull()) {
        Rcpp::CharacterVector markers(na.get());
        dialect.missingMarkers.clear();
        for (R_xlen_t i = 0; i < markers.size(); ++i)
            dialect.missingMarkers.push_back(wrenfield::r::utf8(STRING_ELT(markers, i)));
    }
    return dialect;
}

std::size_t availableCores()
{
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof(set), &set) == 0)
        return std::max(1, CPU_COUNT(&set));
#endif
    return std::max(1u, std::thread::hardware_concurrency());
}

template <typename Vector> auto spanOf(Vector& vector)
{
    return std::span(vector.begin(), static_cast<std::size_t>(vector.size()));
}

// One text a row where the adapter reported one (an error, the flags), NA
// elsewhere.
Rcpp::CharacterVector rowTexts(R_xlen_t rows, const std::vector<tabular::RowMessage>& messages)
{
    Rcpp::CharacterVector out(rows, NA_STRING);
    for (const tabular::RowMessage& message : messages)
        out[static_cast<R_xlen_t>(message.row)] = wrenfield::r::utf8Text(message.text);
    return out;
}

}  // namespace

// [[Rcpp::export(name = ".compute_columns")]]
Rcpp::List computeColumns(Rcpp::List inputs, double rowCount, Rcpp::Nullable<Rcpp::List> population,
                          int defaultPopulation, int threads, bool details, bool flags, Rcpp::NumericVector thresholds,
                          bool strict, bool exact, Rcpp::Nullable<Rcpp::CharacterVector> units,
                          Rcpp::Nullable<Rcpp::CharacterVector> na)
{
    if (inputs.size() != static_cast<R_xlen_t>(kInputFieldCount))
        Rcpp::stop("expected seven columns: bwt, gest, wt, ht, sex, eth, par");
    if (thresholds.size() != 4)
        Rcpp::stop("expected four thresholds");
    const auto rows = static_cast<R_xlen_t>(rowCount);

    tabular::ColumnBatchInput input;
    input.rows = static_cast<std::size_t>(rows);
    input.settings.defaultPopulation = static_cast<wrenfield::engine::Population>(defaultPopulation);
    input.settings.options.thresholds = {thresholds[0], thresholds[1], thresholds[2], thresholds[3]};
    input.settings.options.strict = strict;
    input.settings.options.exact = exact;
    input.settings.dialect = dialectOf(units, na);

    // What the workers read stays referenced here until they are done.
    std::array<Texts, kInputFieldCount> texts;
    std::array<Rcpp::NumericVector, kInputFieldCount> numbers;
    for (std::size_t c = 0; c < kInputFieldCount; ++c) {
        const std::string name(kInputColumns[c]);
        SEXP column = inputs[static_cast<R_xlen_t>(c)];
        if (TYPEOF(column) == VECSXP) {
            texts[c] = textsOf(Rcpp::List(column), rows, name);
            input.inputs[c].texts = texts[c].column();
        } else if (TYPEOF(column) == REALSXP) {
            numbers[c] = Rcpp::NumericVector(column);
            checkLength(numbers[c].size(), rows, name);
            input.inputs[c].numbers = {numbers[c].begin(),
                                       numbers[c].size() > 1 ? static_cast<std::ptrdiff_t>(sizeof(double)) : 0};
        } else {
            Rcpp::stop(name + ": expected a double vector or (texts, codes)");
        }
    }
    Texts populations;
    if (population.isNotNull()) {
        populations = textsOf(Rcpp::List(population.get()), rows, "population");
        input.population = populations.column();
    }

    const R_xlen_t detailRows = details ? rows : 0;
    Rcpp::NumericVector centile(rows);
    Rcpp::RawVector outcome(rows), band(detailRows);
    Rcpp::NumericVector termWeight(detailRows), weeks(detailRows), proportion(detailRows), expected(detailRows),
        spread(detailRows), z(detailRows);
    tabular::ColumnBatchOutput output{
        spanOf(centile),    spanOf(outcome),  spanOf(band),   spanOf(termWeight), spanOf(weeks),
        spanOf(proportion), spanOf(expected), spanOf(spread), spanOf(z),          nullptr};

    std::atomic<bool> stop{false};
    tabular::ColumnBatchOptions options;
    options.threads = threads > 0 ? static_cast<std::size_t>(threads) : availableCores();
    options.stop = &stop;
    options.flags = flags;

    tabular::ColumnBatchSummary summary;
    if (rows <= kWatchedRows) {
        summary = tabular::computeColumns(input, output, options);
    } else {
        auto run = std::async(std::launch::async, [&] { return tabular::computeColumns(input, output, options); });
        while (run.wait_for(kPollInterval) != std::future_status::ready) {
            try {
                Rcpp::checkUserInterrupt();
            } catch (...) {
                // Stop the workers and wait for them (they write into the
                // vectors above) before the interrupt unwinds this frame.
                stop = true;
                run.wait();
                throw;
            }
        }
        summary = run.get();  // rethrows a worker's failure
    }

    // R's missing value, not the adapter's NaN, where a birth was not computed.
    const auto computed = static_cast<Rbyte>(wrenfield::reading::Outcome::Computed);
    for (R_xlen_t r = 0; r < rows; ++r) {
        if (outcome[r] == computed)
            continue;
        centile[r] = NA_REAL;
        if (details)
            termWeight[r] = weeks[r] = proportion[r] = expected[r] = spread[r] = z[r] = NA_REAL;
    }

    Rcpp::List result;
    result["centile"] = centile;
    result["outcome"] = outcome;
    if (details) {
        Rcpp::IntegerVector rounded(rows, NA_INTEGER);
        for (R_xlen_t r = 0; r < rows; ++r)
            if (outcome[r] == computed)
                rounded[r] = static_cast<int>(wrenfield::reading::roundedCentile(centile[r]));
        result["rounded"] = rounded;
        // The centile as shown beside its band: "9.9" where 10 would read as
        // another band.
        Rcpp::CharacterVector shown(rows, NA_STRING);
        for (R_xlen_t r = 0; r < rows; ++r)
            if (outcome[r] == computed)
                shown[r] = wrenfield::reading::centileText(centile[r], input.settings.options.thresholds);
        result["centile_text"] = shown;
        result["band"] = band;
        result["term_weight"] = termWeight;
        result["weeks"] = weeks;
        result["proportion"] = proportion;
        result["expected_weight"] = expected;
        result["spread"] = spread;
        result["z"] = z;
    }
    if (flags)
        result["flags"] = rowTexts(rows, summary.flags);
    result["error"] = rowTexts(rows, summary.messages);
    result["computed"] = static_cast<double>(summary.computed);
    result["missing"] = static_cast<double>(summary.missing);
    result["errors"] = static_cast<double>(summary.errors);
    return result;
}

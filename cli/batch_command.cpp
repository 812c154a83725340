// custcent batch: customised centiles for a CSV file of births.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>

#include "cli/batch.h"
#include "cli/calc.h"
#include "cli/commands.h"
#include "cli/population_choice.h"
#include "cli/replacing_file.h"

namespace wrenfield::cli {

namespace {

struct BatchOptions {
    std::string population = "United Kingdom";
    std::string input = "-";
    std::string output;
};

[[noreturn]] void stop(const std::string& message)
{
    std::cerr << "custcent batch: " << message << "\n";
    throw CommandExit{2};
}

void runBatch(const BatchOptions& options)
{
    engine::Population population{};
    try {
        population = parsePopulation(options.population);
    } catch (const ValueError& error) {
        stop(std::string("--population: ") + error.what());
    }

    std::ios::sync_with_stdio(false);
    std::ifstream file;
    std::istream* in = &std::cin;
    if (options.input != "-") {
        file.open(options.input, std::ios::binary);
        if (!file)
            stop("cannot open " + options.input + ": " + std::strerror(errno));
        in = &file;
    }

    BatchSummary summary;
    try {
        BatchJob job(*in, population);
        std::optional<ReplacingFile> outputFile;
        std::ostream* out = &std::cout;
        if (!options.output.empty() && options.output != "-") {
            outputFile.emplace(options.output);
            out = &outputFile->stream();
        }
        // Progress on long runs, only where someone watches the terminal.
        const bool showProgress = ::isatty(STDERR_FILENO) == 1;
        summary = job.run(*out, [showProgress](long rows) {
            if (showProgress)
                std::cerr << "\rcustcent batch: " << rows << " rows" << std::flush;
        });
        if (showProgress)
            std::cerr << "\r\033[K";
        if (outputFile)
            outputFile->commit();
        else
            std::cout.flush();
    } catch (const BatchError& error) {
        stop((options.input == "-" ? std::string("standard input") : options.input) + ": " + error.what());
    } catch (const std::system_error& error) {
        stop(error.what());
    }
    std::cerr << "custcent batch: " << summaryText(summary) << "\n";
    throw CommandExit{summary.errors > 0 ? 1 : 0};
}

}  // namespace

void addBatchCommand(CLI::App& app)
{
    auto options = std::make_shared<BatchOptions>();
    CLI::App* batch = app.add_subcommand(
        "batch",
        "Compute the customised centile of every row of a CSV file of births. Writes the input columns, then "
        "centile (unrounded) and error; one output row per input row, in the same order.");
    batch->add_option("--population,-p", options->population,
                      "Population used for rows without a population of their own: " + populationChoices() +
                          ". Default \"United Kingdom\".")
        ->type_name("NAME");
    batch->add_option("--output,-o", options->output,
                      "Write the result to this file (it appears only once complete; an older file of that name "
                      "is replaced). Default: standard output.")
        ->type_name("OUT");
    batch->add_option("IN", options->input, "The CSV file to read; - or none for standard input.")->type_name("");
    batch->footer(
        "Input: a header line, then one row per birth. Required columns (any order, any case): bwt (g), gest "
        "(days), wt (kg), ht (cm), sex (1 male, other codes female), eth (the population's ethnic-group code, "
        "see custcent calc --help), par (0-3, 4 for 4 or more). Optional: population (a name or alias; empty "
        "means --population). Every other column is copied through unchanged.\n"
        "Each field goes to the population's method as it stands: an empty field is a missing input "
        "(error \"missing: gest\"), a field that is not a number gives \"Type mismatch\". A record that cannot "
        "be read (unterminated quote, wrong number of fields, an empty line) gives \"malformed record at line "
        "N: ...\" and the run goes on. Empty lines at the end of the file are ignored.\n"
        "A summary (rows, computed, missing, errors) goes to standard error.\n"
        "Exit status: 0 no row had an error (missing inputs are not errors); 1 some row had an error; 2 the "
        "file could not be read or written, or its header lacks a required column (nothing is written).");
    batch->callback([options] { runBatch(*options); });
}

}  // namespace wrenfield::cli

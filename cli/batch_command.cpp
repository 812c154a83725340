// custcent batch: customised centiles for a CSV file of births.
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "tabular/batch.h"
#include "tabular/calc_inputs.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/interruptible_input.h"
#include "tabular/population_choice.h"
#include "cli/progress_meter.h"
#include "cli/replacing_file.h"

namespace wrenfield::cli {

using namespace wrenfield::tabular;

namespace {

struct BatchOptions {
    std::string population = "United Kingdom";
    std::string input = "-";
    std::string output;
    std::size_t threads = 0;  // 0: the cores this process may run on
    bool quiet = false;
};

// A file opened for reading, closed at the end of the run.
struct InputFile {
    int fd = -1;
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// The cores this process may run on (its affinity mask, which a container or
// taskset may narrow), at least 1.
std::size_t availableCores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<std::size_t>(CPU_COUNT(&set));
    unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

// The size of the input when it is a regular file, or 0 (a pipe, a terminal).
std::uint64_t inputSize(const std::string& input)
{
    struct stat status {};
    int result = input == "-" ? ::fstat(STDIN_FILENO, &status) : ::stat(input.c_str(), &status);
    if (result == 0 && S_ISREG(status.st_mode))
        return static_cast<std::uint64_t>(status.st_size);
    return 0;
}

int terminalWidth()
{
    const char* columns = std::getenv("COLUMNS");
    int width = columns ? std::atoi(columns) : 0;
    return width > 20 ? width : 80;
}

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
    InputFile file;
    if (options.input != "-") {
        file.fd = ::open(options.input.c_str(), O_RDONLY | O_CLOEXEC);
        if (file.fd < 0)
            stop("cannot open " + options.input + ": " + std::strerror(errno));
    }
    // Read through a buffer that gives up waiting for input on Ctrl-C.
    InterruptibleInput buffer(file.fd >= 0 ? file.fd : STDIN_FILENO);
    std::istream input(&buffer);
    std::istream* in = &input;

    InterruptWatch interrupts;
    BatchSummary summary;
    // Progress on long runs, only where someone watches the terminal.
    std::optional<ProgressMeter> meter;
    if (!options.quiet && ::isatty(STDERR_FILENO) == 1)
        meter.emplace(std::cerr, inputSize(options.input), terminalWidth());
    try {
        BatchJob job(*in, population);
        std::optional<ReplacingFile> outputFile;
        std::ostream* out = &std::cout;
        if (!options.output.empty() && options.output != "-") {
            outputFile.emplace(options.output);
            out = &outputFile->stream();
        }
        BatchRunOptions run;
        run.threads = options.threads > 0 ? options.threads : availableCores();
        run.stopRequested = [] { return InterruptWatch::interrupted(); };
        if (meter)
            run.progress = [&meter](long rows, std::uint64_t bytes) { meter->update(rows, bytes); };
        summary = job.run(*out, run);
        if (meter)
            meter->finish();
        if (summary.interrupted) {
            // The temporary output file goes with outputFile: nothing is left half-written.
            std::cerr << "custcent batch: interrupted after " << summary.rows << " rows"
                      << (outputFile ? "; " + options.output + " was not written" : std::string()) << "\n";
            throw CommandExit{128 + InterruptWatch::signalNumber()};
        }
        if (outputFile)
            outputFile->commit();
        else
            std::cout.flush();
    } catch (const BatchError& error) {
        if (meter)
            meter->finish();
        if (InterruptWatch::interrupted()) {
            std::cerr << "custcent batch: interrupted\n";
            throw CommandExit{128 + InterruptWatch::signalNumber()};
        }
        stop((options.input == "-" ? std::string("standard input") : options.input) + ": " + error.what());
    } catch (const std::system_error& error) {
        if (meter)
            meter->finish();
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
    batch->add_option("--threads,-j", options->threads,
                      "Threads that parse and compute (default: the cores available). The output is the same "
                      "whatever the number.")
        ->type_name("N")
        ->check(CLI::Range(1, 256));
    batch->add_flag("--quiet,-q", options->quiet, "No progress line on the terminal during long runs.");
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
        "file could not be read or written, or its header lacks a required column (nothing is written); 130 "
        "stopped by Ctrl-C (with -o, OUT is not written).");
    batch->callback([options] { runBatch(*options); });
}

}  // namespace wrenfield::cli

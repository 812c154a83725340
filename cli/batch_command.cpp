// custcent batch: customised centiles for a CSV file of births.
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/interruptible_input.h"
#include "cli/progress_meter.h"
#include "cli/reading_options.h"
#include "platform/disk_file_buffer.h"
#include "platform/replacing_file.h"
#include "reading/fields.h"
#include "reading/population_choice.h"
#include "reading/vocabulary.h"
#include "tabular/batch.h"
#include "tabular/cohort_summary.h"

namespace wrenfield::cli {

using namespace wrenfield::tabular;
using reading::InputField;
using reading::Unit;
using reading::UnitChoice;

namespace {

struct BatchOptions {
    std::string population = "United Kingdom";
    std::string input = "-";
    std::string output;
    std::size_t threads = 0;  // 0: the cores this process may run on
    bool quiet = false;
    std::vector<std::string> add;   // names, each may hold several separated by commas
    std::vector<std::string> maps;  // bwt=birthweight_g
    std::vector<std::string> na;    // missing-value markers, each may hold several separated by commas
    bool naGiven = false;
    std::string delimiter = "auto";
    bool decimalComma = false;
    std::string bwtUnit = "g", wtUnit = "kg", htUnit = "cm";
    ReadingOptionValues reading;
    std::string summary;  // the cohort summary picture, if asked for
};

std::vector<std::string> commaSeparated(const std::vector<std::string>& values)
{
    std::vector<std::string> items;
    for (const std::string& value : values) {
        std::size_t start = 0;
        for (;;) {
            std::size_t comma = value.find(',', start);
            items.push_back(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    return items;
}

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

// "rounded, band, band_label, ..., flags": the columns --add takes.
std::string addableColumns()
{
    std::string names;
    for (reading::ResultField field : reading::kColumnFields)
        names += (names.empty() ? "" : ", ") + addedColumnName(field);
    return names;
}

[[noreturn]] void stop(const std::string& message)
{
    std::cerr << "custcent batch: " << message << "\n";
    throw CommandExit{2};
}

// The run's settings from the options; stops with status 2 on a bad one.
BatchSettings settingsFrom(const BatchOptions& options)
{
    BatchSettings settings;
    reading::PopulationReading population = reading::readPopulation(options.population);
    if (!population.population)
        stop("population: " + population.error);
    settings.defaultPopulation = *population.population;
    if (auto problem = options.reading.apply(settings.options))
        stop(*problem);
    for (const std::string& name : commaSeparated(options.add)) {
        auto column = reading::columnFieldFromName(name);
        if (!column)
            stop("--add: unknown column \"" + name + "\"; choose from " + addableColumns());
        if (std::find(settings.added.begin(), settings.added.end(), *column) != settings.added.end())
            stop("--add: the column " + name + " is named twice");
        settings.added.push_back(*column);
    }
    for (const std::string& map : options.maps) {
        std::size_t equals = map.find('=');
        auto field = equals == std::string::npos ? std::nullopt : reading::inputFieldFromName(map.substr(0, equals));
        if (!field || equals + 1 == map.size())
            stop("--map: expected FIELD=COLUMN with FIELD one of bwt, gest, wt, ht, sex, eth, par, not \"" + map +
                 "\"");
        settings.columnNames[static_cast<std::size_t>(*field)] = map.substr(equals + 1);
    }
    if (options.naGiven)
        settings.dialect.missingMarkers = commaSeparated(options.na);
    settings.dialect.decimalComma = options.decimalComma;
    if (options.delimiter == "auto")
        settings.delimiter = std::nullopt;
    else if (options.delimiter == "," || options.delimiter == "comma")
        settings.delimiter = ',';
    else if (options.delimiter == ";" || options.delimiter == "semicolon")
        settings.delimiter = ';';
    else if (options.delimiter == "\t" || options.delimiter == "\\t" || options.delimiter == "tab")
        settings.delimiter = '\t';
    else
        stop("--delimiter: expected comma, semicolon, tab or auto, not \"" + options.delimiter + "\"");
    if (settings.dialect.decimalComma && settings.delimiter == ',')
        stop("--decimal-comma: the delimiter cannot be a comma as well (use --delimiter semicolon or tab)");
    struct UnitOption {
        const char* option;
        InputField field;
        const std::string& text;
        Unit& unit;
    } units[] = {{"--bwt-unit", InputField::Bwt, options.bwtUnit, settings.dialect.bwtUnit},
                 {"--wt-unit", InputField::Wt, options.wtUnit, settings.dialect.wtUnit},
                 {"--ht-unit", InputField::Ht, options.htUnit, settings.dialect.htUnit}};
    for (const UnitOption& unit : units) {
        UnitChoice choice = reading::chooseUnit(unit.field, unit.text);
        if (!choice.unit)
            stop(std::string(unit.option) + ": " + choice.error);
        unit.unit = *choice.unit;
    }
    return settings;
}

bool isPictureName(const std::string& path)
{
    std::string suffix = path.size() >= 4 ? path.substr(path.size() - 4) : std::string();
    for (char& c : suffix)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".png" || suffix == ".svg" || suffix == ".pdf";
}

// The cohort summary: its numbers on stderr, then its picture.
void writeCohortSummary(const BatchOptions& options, const BatchSettings& settings, const BatchSummary& summary,
                        const SummaryPictureWriter& writer)
{
    const CohortSummary cohort = cohortSummary(summary, settings.options.thresholds);
    std::string text = cohortSummaryText(cohort);
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::cerr << "custcent batch: " << text.substr(start, end - start) << "\n";
        start = end + 1;
    }
    const std::string title =
        "Cohort summary: " + (options.input == "-" ? std::string("standard input") : options.input) +
        " (default population " + std::string(engine::coefficients(settings.defaultPopulation).name) + ")";
    const std::string problem = writer(options.summary, cohort, title);
    if (!problem.empty())
        stop("--summary: " + problem);
}

// ": No space left on device", or nothing when there is no error number.
std::string reason(int error)
{
    return error ? std::string(": ") + std::strerror(error) : std::string();
}

// Stops before anything is read when -o or --summary names the input itself
// (the same file, whatever the path: a link, a hard link, "./"), which
// replacing would destroy.
void refuseWritingOverTheInput(const BatchOptions& options, int inputFd)
{
    struct stat input {};
    if (::fstat(inputFd, &input) != 0 || !S_ISREG(input.st_mode))
        return;
    const std::pair<const char*, const std::string*> outputs[] = {{"-o", &options.output},
                                                                  {"--summary", &options.summary}};
    for (const auto& [option, path] : outputs) {
        struct stat output {};
        if (path->empty() || *path == "-" || ::stat(path->c_str(), &output) != 0)
            continue;
        if (output.st_dev == input.st_dev && output.st_ino == input.st_ino)
            stop(std::string(option) + ": " + *path + " is the input file itself; writing it would destroy the " +
                 "input: write to another file (nothing was read or written)");
    }
}

void runBatch(const BatchOptions& options, const SummaryPictureWriter& writer)
{
    BatchSettings settings = settingsFrom(options);
    if (!options.summary.empty()) {
        if (!writer)
            stop("--summary: this custcent was built without Qt, which draws the summary (configure with "
                 "-DWRENFIELD_WITH_QT=ON)");
        if (!isPictureName(options.summary))
            stop("--summary: " + options.summary + ": the format follows the extension: .png, .svg or .pdf");
    }

    std::ios::sync_with_stdio(false);
    InputFile file;
    if (options.input != "-") {
        file.fd = ::open(options.input.c_str(), O_RDONLY | O_CLOEXEC);
        if (file.fd < 0)
            stop("cannot open " + options.input + ": " + std::strerror(errno));
    }
    const int inputFd = file.fd >= 0 ? file.fd : STDIN_FILENO;
    refuseWritingOverTheInput(options, inputFd);
    // Read through a buffer that gives up waiting for input on Ctrl-C.
    InterruptibleInput buffer(inputFd);
    std::istream input(&buffer);
    std::istream* in = &input;

    InterruptWatch interrupts;
    BatchSummary summary;
    // Progress on long runs, only where someone watches the terminal.
    std::optional<ProgressMeter> meter;
    if (!options.quiet && ::isatty(STDERR_FILENO) == 1)
        meter.emplace(std::cerr, inputSize(options.input), terminalWidth());
    // The output: a replacing file, or standard output written with the
    // system's own calls, so that a failed write says why.
    std::optional<ReplacingFile> outputFile;
    std::unique_ptr<DiskFileBuffer> standardOutput;
    std::ostream standardStream(nullptr);
    auto outputError = [&] {
        return outputFile ? outputFile->writeError() : standardOutput ? standardOutput->error() : 0;
    };
    try {
        BatchJob job(*in, settings);
        std::ostream* out = &standardStream;
        if (!options.output.empty() && options.output != "-") {
            outputFile.emplace(options.output);
            out = &outputFile->stream();
        } else {
            const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
            if (fd < 0)
                stop(std::string("cannot write to standard output: ") + std::strerror(errno));
            standardOutput = std::make_unique<DiskFileBuffer>(fd, 0);
            standardStream.rdbuf(standardOutput.get());
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
        else if (!standardOutput->close())
            stop("cannot write the output after " + std::to_string(summary.rows) + " rows" + reason(errno));
    } catch (const BatchError& error) {
        if (meter)
            meter->finish();
        if (InterruptWatch::interrupted()) {
            std::cerr << "custcent batch: interrupted\n";
            throw CommandExit{128 + InterruptWatch::signalNumber()};
        }
        // The run says what failed; the buffers know the system's reason.
        const std::string left = outputFile ? " (" + options.output + " is left as it was)" : std::string();
        if (const int written = outputError())
            stop(error.what() + reason(written) + left);
        stop((options.input == "-" ? std::string("standard input") : options.input) + ": " + error.what() +
             reason(buffer.error()) + left);
    } catch (const std::system_error& error) {
        if (meter)
            meter->finish();
        stop(error.what() + (outputFile ? " (" + options.output + " is left as it was)" : std::string()));
    }
    std::cerr << "custcent batch: " << summaryText(summary) << "\n";
    std::cerr << "custcent batch: " << bandSummaryText(summary, settings.options.thresholds) << "\n";
    if (!options.summary.empty())
        writeCohortSummary(options, settings, summary, writer);
    throw CommandExit{summary.errors > 0 ? 1 : 0};
}

}  // namespace

void addBatchCommand(CLI::App& app, SummaryPictureWriter writer)
{
    auto options = std::make_shared<BatchOptions>();
    CLI::App* batch = app.add_subcommand(
        "batch",
        "Compute the customised centile of every row of a CSV file of births. Writes the input columns, then "
        "centile (unrounded) and error; one output row per input row, in the same order.");
    batch
        ->add_option("--population,-p", options->population,
                     "Population used for rows without a population of their own: " + reading::populationChoices() +
                         ". Default \"United Kingdom\".")
        ->type_name("NAME");
    batch
        ->add_option("--output,-o", options->output,
                     "Write the result to this file (it appears only once complete; an older file of that name "
                     "is replaced and keeps its permissions, group and access control list; through a symbolic "
                     "link, the file it leads to is replaced). It may not be the input. Default: standard output.")
        ->type_name("OUT");
    batch
        ->add_option("--threads,-j", options->threads,
                     "Threads that parse and compute (default: the cores available). The output is the same "
                     "whatever the number.")
        ->type_name("N")
        ->check(CLI::Range(1, 256));
    batch->add_flag("--quiet,-q", options->quiet, "No progress line on the terminal during long runs.");
    repeatable(batch->add_option(
                   "--add", options->add,
                   "Columns to add between centile and error, in the order named: " + addableColumns() +
                       " (band: SGA, AGA or LGA; band_label: SGA <3rd, LGA >97th...; rounded: as the calculator "
                       "shows it; centile_text: as shown beside the band, with one decimal where the whole number "
                       "would contradict it; the model's values around the centile; flags: the plausibility flags "
                       "in words). E.g. --add band,rounded,flags (repeatable: --add band --add flags). The name "
                       "expected is expected_weight."))
        ->type_name("COLUMNS");
    repeatable(batch->add_option("--map", options->maps,
                                 "Read an input from a column of another name: --map bwt=birthweight_g "
                                 "(repeatable: --map bwt=birthweight_g --map gest=gestation_days)."))
        ->type_name("FIELD=COLUMN");
    repeatable(batch->add_option("--na", options->na,
                                 "Texts that mean a missing value, separated by commas (default NA,NaN,.; an empty "
                                 "field is always missing; any case; repeatable: --na NA --na -99)."))
        ->type_name("MARKERS")
        ->each([options](const std::string&) { options->naGiven = true; });
    batch
        ->add_option("--delimiter", options->delimiter,
                     "Field delimiter: comma, semicolon, tab, or auto (the default: whichever of the three the "
                     "header line holds most). The output uses the same.")
        ->type_name("D");
    batch->add_flag("--decimal-comma", options->decimalComma,
                    "Numbers are written with a decimal comma (3,4), in the input and in the output's numbers.");
    batch->add_option("--bwt-unit", options->bwtUnit, "Unit of bare birthweights: g (default), kg, lb, oz.")
        ->type_name("U");
    batch->add_option("--wt-unit", options->wtUnit, "Unit of bare booking weights: kg (default), lb, st, g.")
        ->type_name("U");
    batch->add_option("--ht-unit", options->htUnit, "Unit of bare heights: cm (default), m, mm, in, ft.")
        ->type_name("U");
    options->reading.add(*batch,
                         "A flagged row (a value outside the plausible range, a code of no group) is an "
                         "error: no centile, error \"flagged: ...\".");
    batch
        ->add_option("--summary", options->summary,
                     "Also draw the cohort summary to this PNG, SVG or PDF file (by its extension): the histogram "
                     "of the centiles in ten bins against the tenth of the rows each holds when the standard "
                     "fits, and the SGA, AGA and LGA shares against the shares the thresholds expect (10, 80 "
                     "and 10 %); the same numbers go to standard error.")
        ->type_name("FILE");
    batch->add_option("IN", options->input, "The CSV file to read; - or none for standard input.")->type_name("");
    batch->footer(
        "Input: a header line, then one row per birth. Required columns (any order, any case; --map renames "
        "them): bwt (g), gest (days or weeks+days, 39+4), wt (kg), ht (cm), sex (Male, Female, M, F or a code: "
        "1 male, others female), eth (a group name of the population or its code, see custcent calc --help), "
        "par (0-3, 4 or \"4 or more\"). Measurements may carry their unit (3.4kg, 7lb8oz, 1.63m, 5ft4in, "
        "10st2lb). Optional: population (a name or alias, any case; empty means --population). Every other "
        "column is copied through unchanged.\n"
        "An empty field, NA, NaN or . is a missing input (error \"missing: bwt, gest\", every missing input "
        "named); a field that none of these forms reads is an error naming it and saying why (\"sex: expected "
        "Male, Female, ...\"), as is a birthweight, gestation, weight or height of 0 or below and an infinite "
        "number. A value outside the plausible range or a code of no group is computed and flagged (--add "
        "flags shows them; --strict makes them errors). A "
        "record that cannot be read (unterminated quote, wrong number of fields, an empty line) gives "
        "\"malformed record at line N: ...\" and the run goes on. Empty lines at the end of the file are "
        "ignored.\n"
        "A summary goes to standard error: rows, computed, missing, errors; then the bands and the flags "
        "counted.\n"
        "Exit status: 0 no row had an error (missing inputs are not errors); 1 some row had an error; 2 the "
        "file could not be read or written (the message gives the system's reason), -o names the input, or its "
        "header lacks a required column (nothing is written); 129, 130, 143 stopped by a hang-up, Ctrl-C or "
        "SIGTERM (with -o, OUT is not written and no temporary file is left).");
    batch->callback([options, writer = std::move(writer)] { runBatch(*options, writer); });
}

}  // namespace wrenfield::cli

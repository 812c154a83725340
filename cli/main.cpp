// custcent: the customised birthweight centile from the command line.
#include <csignal>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "engine/coefficient_set.h"

#ifndef WRENFIELD_VERSION
#error "WRENFIELD_VERSION is set by the build"
#endif

int main(int argc, char** argv)
{
    // A file grown past the size limit (ulimit -f) fails its write with "File
    // too large", which the command reports, rather than ending the program
    // without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App app{"custcent: customised birthweight centiles for five populations", "custcent"};
    app.set_version_flag("--version",
                         std::string("custcent ") + WRENFIELD_VERSION + "\ncoefficient sets " +
                             std::string(wrenfield::engine::kCoefficientSetVersion),
                         "Print the version and the version of the coefficient sets, and end.");
    app.require_subcommand(1);
    app.footer("custcent calc --help and custcent batch --help describe each command, its values and its "
               "exit statuses.");
    wrenfield::cli::addCalcCommand(app);
    wrenfield::cli::addBatchCommand(app, wrenfield::cli::summaryPictureWriter());
    wrenfield::cli::addFormCommand(app);
    wrenfield::cli::addChartCommand(app);
    wrenfield::cli::addGuiCommand(app);
    wrenfield::cli::addRangesCommand(app);
#if WRENFIELD_HAVE_SERVER
    wrenfield::cli::addServeCommand(app);
#endif
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int status = app.exit(error);
        return status == 0 ? 0 : 2;
    } catch (const wrenfield::cli::CommandExit& exit) {
        return exit.status;
    }
    return 0;
}

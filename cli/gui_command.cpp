// custcent gui: opens the calculator window (the same one as
// wrenfield-calculator), or saves a picture of it.
#include <string>
#include <vector>

#include <cstdio>

#include "cli/commands.h"
#include "cli/window_support.h"

namespace wrenfield::cli {

void addGuiCommand(CLI::App& app)
{
    auto screenshot = std::make_shared<std::string>();
    CLI::App* gui = app.add_subcommand("gui", "Open the calculator window (needs a display).");
    gui->add_option("--screenshot", *screenshot,
                    "Save a PNG picture of the window to this file and quit; with QT_QPA_PLATFORM=offscreen "
                    "no display is needed.");
    gui->footer("Exit status: 0 when the window is closed or the picture saved, 1 when there is no display or "
                "the picture cannot be written.");
    gui->callback([screenshot] {
        std::string problem;
        const WindowSupport* window = windowSupport(problem);
        if (!window) {
            std::fprintf(stderr, "custcent gui: %s\n", problem.c_str());
            throw CommandExit{1};
        }
        // Qt takes its own arguments from argv, which must outlive the application.
        std::vector<std::string> arguments = {"custcent gui"};
        if (!screenshot->empty()) {
            arguments.emplace_back("--screenshot");
            arguments.push_back(*screenshot);
        }
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(arguments.size());
        throw CommandExit{window->runCalculator(argc, argv.data())};
    });
}

}  // namespace wrenfield::cli

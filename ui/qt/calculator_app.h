// The calculator as a program: opens the host window, or with --screenshot
// FILE saves a picture of it and ends. Used by wrenfield-calculator and by
// `custcent gui`.
#pragma once

namespace wrenfield::ui {

// Runs the application and returns its exit status. `argc` and `argv` are
// the program's arguments (Qt's own options such as -platform included).
int runCalculatorApp(int& argc, char** argv);

}  // namespace wrenfield::ui

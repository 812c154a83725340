// wrenfield-calculator: the customised birthweight centile calculator window.
#include "ui/qt/calculator_app.h"

int main(int argc, char** argv)
{
    return wrenfield::ui::runCalculatorApp(argc, argv);
}

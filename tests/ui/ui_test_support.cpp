#include "ui_test_support.h"

#include "form/calc_layout.h"

namespace wrenfield::ui::test {

ComputationCounter::ComputationCounter(form::Calc& calc)
    : calc_(calc)
{
    calc_.addObserver(*this);
}

ComputationCounter::~ComputationCounter()
{
    calc_.removeObserver(*this);
}

void ComputationCounter::captionChanged(const Label& label)
{
    if (&label == &calc_.outputLabel())
        ++runs;
}

ClickCounter::ClickCounter(form::Calc& calc)
{
    for (std::string_view name : form::kInputLists)
        calc.list(name)->bindClick([this] { ++clicks; });
}

std::string captionAfterSelecting(std::string_view list, std::string_view entry)
{
    form::Calc calc;
    calc.selectAsUser(list, entry);
    return calc.outputLabel().caption();
}

}  // namespace wrenfield::ui::test

// Helpers shared by the on-screen tests: counting what the model does, and
// finding the on-screen lists.
#pragma once

#include <QComboBox>
#include <string>
#include <vector>

#include "form/calc.h"
#include "form/controls.h"

namespace wrenfield::ui::test {

// Counts the runs of the computation: each run writes the caption of
// output_label exactly once.
class ComputationCounter : public ControlObserver {
public:
    explicit ComputationCounter(form::Calc& calc);
    ~ComputationCounter() override;
    int runs = 0;

private:
    void captionChanged(const Label& label) override;
    form::Calc& calc_;
};

// Counts the Click events of every input list of a Calc.
struct ClickCounter {
    explicit ClickCounter(form::Calc& calc);
    int clicks = 0;
};

// The caption a fresh Calc shows after the user selects `entry` in `list`:
// what the on-screen control must show after the same pick.
std::string captionAfterSelecting(std::string_view list, std::string_view entry);

}  // namespace wrenfield::ui::test

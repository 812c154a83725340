// The events of the Calc control (its event interface __Calc2), raised from
// the form's own road: every computation ends by writing output_label's
// caption, so each caption write is one Recomputed, and one that shows
// another number is one CentileChanged first. Both carry the centile shown.
// A user's pick and a property write travel the same road, so both raise
// them; so does a population switch.
#pragma once

#include "form/calc.h"
#include "shell/connection_point.h"

namespace wrenfield::shell {

class CalcEvents final : private ControlObserver {
public:
    // Watches `calc` from now on; its centile now is the one the first
    // CentileChanged is measured against.
    CalcEvents(form::Calc& calc, const ConnectionPoint& sinks);
    ~CalcEvents() override;
    CalcEvents(const CalcEvents&) = delete;
    CalcEvents& operator=(const CalcEvents&) = delete;

    // While a container has frozen the events (counted: each freeze needs
    // its thaw), none is raised; those that would have been are dropped.
    void freeze(bool frozen) noexcept;
    bool frozen() const noexcept { return freezes_ > 0; }

private:
    void captionChanged(const Label& label) override;
    void raise(DISPID event, double centile);

    form::Calc& calc_;
    const ConnectionPoint& sinks_;
    double shown_;
    unsigned freezes_ = 0;
};

}  // namespace wrenfield::shell

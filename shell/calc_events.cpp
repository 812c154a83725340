#include "shell/calc_events.h"

#include <cmath>

#include "shell/calc_properties.h"

namespace wrenfield::shell {

namespace {

bool sameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

}  // namespace

CalcEvents::CalcEvents(form::Calc& calc, const ConnectionPoint& sinks)
    : calc_(calc)
    , sinks_(sinks)
    , shown_(shownCentile(calc))
{
    calc_.addObserver(*this);
}

CalcEvents::~CalcEvents()
{
    calc_.removeObserver(*this);
}

void CalcEvents::freeze(bool frozen) noexcept
{
    if (frozen)
        ++freezes_;
    else if (freezes_ > 0)
        --freezes_;
}

void CalcEvents::captionChanged(const Label& label)
{
    if (&label != &calc_.outputLabel())
        return;
    // Noted before any sink hears of it: a sink that picks again from its
    // handler starts a computation of its own, measured against this one.
    const double centile = shownCentile(calc_);
    const bool changed = !sameNumber(centile, shown_);
    shown_ = centile;
    if (frozen())
        return;
    if (changed)
        raise(DISPID_CentileChanged, centile);
    raise(DISPID_Recomputed, centile);
}

void CalcEvents::raise(DISPID event, double centile)
{
    for (IDispatch* sink : sinks_.connectedSinks()) {
        VARIANT argument;
        VariantInit(&argument);
        V_VT(&argument) = VT_R8;
        V_R8(&argument) = centile;
        DISPPARAMS parameters = {&argument, nullptr, 1, 0};
        // What a sink answers, and any error it raises, is its own affair:
        // the next sink hears the event all the same.
        sink->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr);
        sink->Release();
    }
}

}  // namespace wrenfield::shell

// What the Calc object is on every platform: the form model behind the five
// method slots of _Calc and the property slots of _Calc2, its reference
// count, the call of one method with the caller's seven arguments, and the
// connection points of its events. Each platform adds its own IDispatch and
// interfaces in a class derived from this one (calc_object_posix.cpp,
// windows/control/calc_object_windows.cpp).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>
#include <string_view>

#include "form/calc.h"
#include "form/calc_interface.h"
#include "platform/runtime_error.h"
#include "shell/calc_events.h"
#include "shell/calc_properties.h"
#include "shell/connection_point.h"
#include "shell/wrenfield515uk.h"

namespace wrenfield::shell {

inline constexpr std::size_t kParameterCount = form::kCalcParameterNames.size();

// The dispatch identifier of each method, in slot order (form::calcMethods()).
inline constexpr std::array<DISPID, 5> kCalcDispatchIds = {DISPID_custcentukn, DISPID_custcentus, DISPID_custcentswe,
                                                           DISPID_custcentnz, DISPID_custcentau};

// The HRESULT of a method's run-time error: 0x800A0000 + its number.
inline HRESULT errorHresult(const RuntimeError& error)
{
    return WRENFIELD_ERROR_HRESULT(error.code());
}

// How a call ended: a status for the caller, or a run-time error of the method.
struct CallOutcome {
    HRESULT status = S_OK;
    std::optional<RuntimeError> error;
    UINT failedArgument = 0;  // parameter index, for a status that names one
};

// The slots of one input property of _Calc2: its read and its write.
#define WRENFIELD_CALC_TEXT_PROPERTY(name, index)                                                                      \
    HRESULT STDMETHODCALLTYPE get_##name(BSTR* value) override                                                         \
    {                                                                                                                  \
        return readProperty(index, value);                                                                             \
    }                                                                                                                  \
    HRESULT STDMETHODCALLTYPE put_##name(BSTR value) override                                                          \
    {                                                                                                                  \
        return writeProperty(index, value);                                                                            \
    }

class CalcObjectBase : public _Calc2, public IConnectionPointContainer {
public:
    CalcObjectBase();
    virtual ~CalcObjectBase();
    CalcObjectBase(const CalcObjectBase&) = delete;
    CalcObjectBase& operator=(const CalcObjectBase&) = delete;

    // The run-time error the form's start-up raised, if any: the creation
    // then fails with it.
    const std::optional<RuntimeError>& startupError() const { return startupError_; }
    // What the platform's object still needs before it is handed out.
    virtual HRESULT finishCreation() { return S_OK; }

    // --- IUnknown: IUnknown, IDispatch, _Calc, _Calc2 and
    // IConnectionPointContainer (a platform's object with further interfaces
    // answers for those first).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // --- _Calc slots
    WRENFIELD_CALC_METHOD(custcentukn) override { return slot(0, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentus) override { return slot(1, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentswe) override { return slot(2, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentnz) override { return slot(3, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentau) override { return slot(4, bwt, gest, wt, ht, sex, eth, par, retval); }

    // --- _Calc2 slots, in the order of calcProperties()
    WRENFIELD_CALC_TEXT_PROPERTY(Population, 0)
    WRENFIELD_CALC_TEXT_PROPERTY(MaternalHeight, 1)
    WRENFIELD_CALC_TEXT_PROPERTY(BookingWeight, 2)
    WRENFIELD_CALC_TEXT_PROPERTY(EthnicGroup, 3)
    WRENFIELD_CALC_TEXT_PROPERTY(Parity, 4)
    WRENFIELD_CALC_TEXT_PROPERTY(GestationWeeks, 5)
    WRENFIELD_CALC_TEXT_PROPERTY(GestationDays, 6)
    WRENFIELD_CALC_TEXT_PROPERTY(Birthweight, 7)
    WRENFIELD_CALC_TEXT_PROPERTY(Sex, 8)
    HRESULT STDMETHODCALLTYPE get_Centile(double* value) override;

    // --- IConnectionPointContainer: __Calc2, the events, and __Calc, the
    // first version's event interface, which has none.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // A container's FreezeEvents: while frozen, no event is raised.
    void freezeEvents(bool frozen) noexcept { events_.freeze(frozen); }
    // Lets every sink go (the container closes the control).
    void disconnectSinks();

protected:
    // Binds the arguments (in parameter order), runs the method, writes back
    // into the caller's variables (also after a run-time error: a method
    // that failed after storing the weeks has stored them) and delivers the
    // result.
    CallOutcome call(const form::CalcMethod& method, VARIANT* const* args, bool callersVariables, VARIANT* result);

    // The form model behind the methods, for the platform's own views of it.
    form::Calc& calc() { return calc_; }
    // Leaves a slot's run-time error, with the description its caller is
    // told, where the platform's callers look for it.
    virtual void reportSlotError(const RuntimeError&, std::string_view /*description*/) {}

    // A property's read and write behind the slots (and the runtime's own
    // dispatch): the property's text as a new BSTR; a pick of that text, its
    // run-time error as the HRESULT 0x800A0000 + its number.
    HRESULT readProperty(std::size_t index, BSTR* value);
    HRESULT writeProperty(std::size_t index, BSTR value);

private:
    HRESULT slot(std::size_t index, VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex, VARIANT* eth,
                 VARIANT* par, VARIANT* retval);

    std::atomic<ULONG> references_{1};
    // Declared before calc_, so that it is constructed first: the form's
    // constructor runs its start-up and reports a run-time error through the
    // callback that stores it here.
    std::optional<RuntimeError> startupError_;
    form::Calc calc_;
    ConnectionPoint eventSinks_{*this, DIID___Calc2};
    ConnectionPoint firstVersionSinks_{*this, DIID___Calc};
    // After calc_: it watches the form from the end of its start-up.
    CalcEvents events_{calc_, eventSinks_};
};

// The platform's Calc object, with one reference held by the caller.
CalcObjectBase* newCalcObject();

}  // namespace wrenfield::shell

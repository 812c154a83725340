// What the Calc object is on every platform: the form model behind the five
// slots of _Calc, its reference count, and the call of one method with the
// caller's seven arguments. Each platform adds its own IDispatch and
// interfaces in a class derived from this one (calc_object_posix.cpp,
// windows/control/calc_object_windows.cpp).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>

#include "form/calc.h"
#include "form/calc_interface.h"
#include "platform/runtime_error.h"
#include "shell/wrenfield515uk.h"

namespace wrenfield::shell {

inline constexpr std::size_t kParameterCount = form::kCalcParameterNames.size();

// The dispatch identifier of each method, in slot order (form::calcMethods()).
inline constexpr std::array<DISPID, 5> kCalcDispatchIds = {DISPID_custcentukn, DISPID_custcentus,
                                                           DISPID_custcentswe, DISPID_custcentnz,
                                                           DISPID_custcentau};

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

class CalcObjectBase : public _Calc {
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

    // --- IUnknown: IUnknown, IDispatch and _Calc (a platform's object with
    // further interfaces answers for those first).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // --- _Calc slots
    WRENFIELD_CALC_METHOD(custcentukn) override { return slot(0, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentus) override { return slot(1, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentswe) override { return slot(2, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentnz) override { return slot(3, bwt, gest, wt, ht, sex, eth, par, retval); }
    WRENFIELD_CALC_METHOD(custcentau) override { return slot(4, bwt, gest, wt, ht, sex, eth, par, retval); }

protected:
    // Binds the arguments (in parameter order), runs the method, writes back
    // into the caller's variables (also after a run-time error: a method
    // that failed after storing the weeks has stored them) and delivers the
    // result.
    CallOutcome call(const form::CalcMethod& method, VARIANT* const* args, bool callersVariables, VARIANT* result);

    // The form model behind the methods, for the platform's own views of it.
    form::Calc& calc() { return calc_; }
    // Leaves a slot's run-time error where the platform's callers look for it.
    virtual void reportSlotError(const RuntimeError&) {}

private:
    HRESULT slot(std::size_t index, VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex,
                 VARIANT* eth, VARIANT* par, VARIANT* retval);

    std::atomic<ULONG> references_{1};
    // Declared before calc_, so that it is constructed first: the form's
    // constructor runs its start-up and reports a run-time error through the
    // callback that stores it here.
    std::optional<RuntimeError> startupError_;
    form::Calc calc_;
};

// The platform's Calc object, with one reference held by the caller.
CalcObjectBase* newCalcObject();

}  // namespace wrenfield::shell

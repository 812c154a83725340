// What the component does with bad input through IDispatch::Invoke and the
// _Calc slots: a missing input gives a zero-length text, a value the method
// cannot use fails the call with its run-time error in EXCEPINFO (or as the
// slot's HRESULT), a call that is itself malformed fails with the dispatch
// error that names what is wrong, and reference counts are as they were
// after every failure. The rows of docs/bad-inputs.md name these tests.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "shell/wrenfield515uk.h"
#include "tests/support/variants.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

enum Arg { Bwt, Gest, Wt, Ht, Sex, Eth, Par };

using wrenfield::testing::code;
using wrenfield::testing::number;
using wrenfield::testing::ofType;
using wrenfield::testing::text;

struct Call {
    HRESULT hr = S_OK;
    VARIANT result{};
    SCODE scode = 0;       // the run-time error of a DISP_E_EXCEPTION
    UINT argErr = ~0u;     // the argument Invoke names
    double gestAfter = 0;  // the caller's gest, passed by reference
};

class ShellBadInputs : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_ = dlopen(WRENFIELD_SHELL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(library_, "DllGetClassObject"));
        IClassFactory* factory = nullptr;
        ASSERT_EQ(getClassObject(CLSID_Calc, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID__Calc, reinterpret_cast<void**>(&calc_)), S_OK);
        factory->Release();
    }
    void TearDown() override
    {
        if (calc_) {
            EXPECT_EQ(calc_->Release(), 0u);
        }
        if (library_)
            dlclose(library_);
    }

    ULONG references()
    {
        calc_->AddRef();
        return calc_->Release();
    }

    // Invokes the United Kingdom method with the worked example (3400 g, 280
    // days by reference, 64 kg, 163 cm, male, code 1, parity 0), one
    // argument replaced, the arguments last first as Invoke takes them.
    Call invokeWith(Arg which, VARIANT bad, DISPID id = DISPID_custcentukn, UINT count = 7)
    {
        double gestDays = 280;
        std::array<VARIANT, 7> args = {
            number(3400), ofType(VT_R8 | VT_BYREF), number(64), number(163), code(1), code(1), code(0)};
        V_R8REF(&args[Gest]) = &gestDays;
        args[which] = bad;
        std::array<VARIANT, 7> reversed;
        for (std::size_t i = 0; i < 7; ++i)
            reversed[6 - i] = args[i];
        DISPPARAMS params{reversed.data() + (7 - count), nullptr, count, 0};
        const ULONG before = references();
        Call call;
        VariantInit(&call.result);
        EXCEPINFO excepInfo{};
        call.hr = calc_->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, &params, &call.result, &excepInfo, &call.argErr);
        if (call.hr == DISP_E_EXCEPTION) {
            call.scode = excepInfo.scode;
            SysFreeString(excepInfo.bstrSource);
            SysFreeString(excepInfo.bstrDescription);
            SysFreeString(excepInfo.bstrHelpFile);
        }
        EXPECT_EQ(references(), before) << "the call changed the reference count";
        call.gestAfter = gestDays;
        VariantClear(&bad);
        return call;
    }

    void* library_ = nullptr;
    _Calc* calc_ = nullptr;
};

TEST_F(ShellBadInputs, MissingGivesTheZeroLengthText)
{
    for (auto [which, bad] :
         {std::pair{Wt, ofType(VT_EMPTY)}, std::pair{Par, text(u"")}, std::pair{Bwt, ofType(VT_EMPTY)}}) {
        Call call = invokeWith(which, bad);
        EXPECT_EQ(call.hr, S_OK);
        ASSERT_EQ(V_VT(&call.result), VT_BSTR);
        EXPECT_EQ(SysStringLen(V_BSTR(&call.result)), 0u);
        EXPECT_EQ(call.gestAfter, 280) << "the days were replaced";
        VariantClear(&call.result);
    }
}

TEST_F(ShellBadInputs, ValuesTheMethodCannotUseFailWithTheirRunTimeError)
{
    const struct {
        const char* kind;
        Arg which;
        VARIANT (*value)();
        int error;
    } rows[] = {
        {"non-numeric text", Wt, [] { return text(u"abc"); }, 13},
        {"the text NaN", Ht, [] { return text(u"NaN"); }, 13},
        {"null", Sex, [] { return ofType(VT_NULL); }, 94},
        {"NaN", Wt, [] { return number(kNaN); }, 5},
        {"+infinity", Ht, [] { return number(kInf); }, 6},
        {"-infinity", Wt, [] { return number(-kInf); }, 6},
        {"1e308", Wt, [] { return number(1e308); }, 6},
        {"1e308 birthweight", Bwt, [] { return number(1e308); }, 6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        Call call = invokeWith(row.which, row.value());
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.scode, WRENFIELD_ERROR_HRESULT(row.error));
        EXPECT_EQ(V_VT(&call.result), VT_EMPTY) << "a failed call delivered a result";
    }
}

TEST_F(ShellBadInputs, OutOfRangeNumbersAreComputed)
{
    const struct {
        const char* kind;
        Arg which;
        VARIANT value;
        double gestAfter;
    } rows[] = {
        {"negative weight", Wt, number(-65), 40},
        {"negative birthweight", Bwt, number(-3400), 40},
        {"code out of range", Eth, code(99), 40},
        {"parity 7", Par, code(7), 40},
        {"sex 5", Sex, code(5), 40},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        Call call = invokeWith(row.which, row.value);
        EXPECT_EQ(call.hr, S_OK);
        ASSERT_EQ(V_VT(&call.result), VT_R8);
        EXPECT_TRUE(std::isfinite(V_R8(&call.result)));
        EXPECT_EQ(call.gestAfter, row.gestAfter);
    }
    // A gestation of 0 or 10,000 days by reference: computed, weeks written back.
    for (double days : {0.0, 10000.0}) {
        double gest = days;
        VARIANT ref = ofType(VT_R8 | VT_BYREF);
        V_R8REF(&ref) = &gest;
        Call call = invokeWith(Gest, ref);
        EXPECT_EQ(call.hr, S_OK);
        EXPECT_TRUE(V_VT(&call.result) == VT_R8 && std::isfinite(V_R8(&call.result)));
        EXPECT_EQ(gest, days / 7);
    }
}

TEST_F(ShellBadInputs, MalformedCallsFailWithTheDispatchError)
{
    // A member the component does not have (there is no population behind it).
    EXPECT_EQ(invokeWith(Wt, number(64), 0x60030006).hr, DISP_E_MEMBERNOTFOUND);
    OLECHAR* names[] = {const_cast<OLECHAR*>(reinterpret_cast<const OLECHAR*>(u"custcentnarnia"))};
    DISPID id = 0;
    EXPECT_EQ(calc_->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id), DISP_E_UNKNOWNNAME);
    // Six arguments.
    EXPECT_EQ(invokeWith(Wt, number(64), DISPID_custcentukn, 6).hr, DISP_E_BADPARAMCOUNT);
    // An argument of a type the methods do not take, named by its position.
    Call object = invokeWith(Ht, ofType(VT_UNKNOWN));
    EXPECT_EQ(object.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(object.argErr, 6u - Ht);
    // The marker of an omitted argument.
    VARIANT omitted = ofType(VT_ERROR);
    V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
    EXPECT_EQ(invokeWith(Sex, omitted).hr, DISP_E_PARAMNOTOPTIONAL);
    // A by-reference argument that refers to nothing.
    EXPECT_EQ(invokeWith(Wt, ofType(VT_R8 | VT_BYREF)).hr, E_POINTER);
    EXPECT_EQ(invokeWith(Wt, ofType(VT_VARIANT | VT_BYREF)).hr, E_POINTER);
    // No DISPPARAMS at all.
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(calc_->Invoke(DISPID_custcentukn, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr),
              E_POINTER);
}

TEST_F(ShellBadInputs, SlotsRefuseNullArgumentsAndReturnTheErrorAsHresult)
{
    double gest = 280;
    VARIANT bwt = number(3400), gestRef = ofType(VT_R8 | VT_BYREF), wt = number(kNaN), ht = number(163), sex = code(1),
            eth = code(1), par = code(0), result;
    V_R8REF(&gestRef) = &gest;
    VariantInit(&result);
    const ULONG before = references();
    EXPECT_EQ(calc_->custcentukn(&bwt, &gestRef, nullptr, &ht, &sex, &eth, &par, &result), E_POINTER);
    EXPECT_EQ(calc_->custcentukn(&bwt, &gestRef, &wt, &ht, &sex, &eth, &par, nullptr), E_POINTER);
    EXPECT_EQ(gest, 280);
    EXPECT_EQ(calc_->custcentukn(&bwt, &gestRef, &wt, &ht, &sex, &eth, &par, &result), WRENFIELD_ERROR_HRESULT(5));
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
    EXPECT_EQ(references(), before);
}

}  // namespace

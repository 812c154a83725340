// IDispatch::Invoke of the Calc component, and its _Calc slots, with
// arbitrary DISPPARAMS: argument counts, named arguments, VARTYPEs, null
// pointers, and by-reference pointers into storage this target owns.
//
// The component never writes through a null pointer it was given (a crash),
// writes only into the variables the arguments refer to (every other byte of
// the storage and every by-value argument stays as it was), leaves every
// reference count as it found it, and delivers a result only as a finite
// double or the zero-length text, or fails with an HRESULT. A property of
// _Calc2 reads as a text (the centile as a whole number from 0 to 100) and
// a write fails with error 380 unless the text is an entry of its list.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "shell/wrenfield515uk.h"

namespace {

// An object whose references are counted, passed as VT_UNKNOWN or VT_DISPATCH.
class CountedObject final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        if (ppv)
            *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

// The variables by-reference arguments refer to.
struct Storage {
    std::array<double, 4> doubles;
    std::array<SHORT, 4> shorts;
    std::array<LONG, 4> longs;
    std::array<FLOAT, 4> floats;
    std::array<BSTR, 4> texts;
    std::array<VARIANT, 4> variants;
};

_Calc* calcInstance()
{
    static _Calc* calc = [] {
        void* library = dlopen(WRENFIELD_SHELL_LIBRARY, RTLD_NOW);
        FUZZ_CHECK(library, "cannot load the component library");
        auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(library, "DllGetClassObject"));
        IClassFactory* factory = nullptr;
        FUZZ_CHECK(getClassObject(CLSID_Calc, IID_IClassFactory, reinterpret_cast<void**>(&factory)) == S_OK,
                   "no class factory");
        _Calc* object = nullptr;
        FUZZ_CHECK(factory->CreateInstance(nullptr, IID__Calc, reinterpret_cast<void**>(&object)) == S_OK,
                   "cannot create Calc");
        factory->Release();
        return object;
    }();
    return calc;
}

ULONG referencesOf(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

BSTR someText(FuzzedDataProvider& input)
{
    static const std::array<const char16_t*, 8> kTexts = {u"",    u"3400",   u" 280 ",  u"1e308",
                                                          u"abc", u"-1e309", u"\xD800", u"4 or more"};
    if (input.ConsumeBool())
        return nullptr;  // a null BSTR reads as the zero-length text
    if (input.ConsumeBool()) {
        const char16_t* text = kTexts[input.ConsumeIntegralInRange<std::size_t>(0, kTexts.size() - 1)];
        return SysAllocString(reinterpret_cast<const OLECHAR*>(text));
    }
    std::string bytes = input.ConsumeRandomLengthString(40);
    return SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size() & ~std::size_t{1}));
}

double someDouble(FuzzedDataProvider& input)
{
    static const std::array<double, 8> kValues = {280, 3400, 65, 1e308, -1e308, 0, INFINITY, NAN};
    if (input.ConsumeBool())
        return kValues[input.ConsumeIntegralInRange<std::size_t>(0, kValues.size() - 1)];
    return input.ConsumeFloatingPoint<double>();
}

// A by-value VARIANT of any kind the caller might pass.
void fillValue(FuzzedDataProvider& input, VARIANT& v, CountedObject& object)
{
    VariantInit(&v);
    switch (input.ConsumeIntegralInRange<int>(0, 11)) {
    case 0:
        break;  // VT_EMPTY
    case 1:
        V_VT(&v) = VT_NULL;
        break;
    case 2:
        V_VT(&v) = VT_I2;
        V_I2(&v) = input.ConsumeIntegral<SHORT>();
        break;
    case 3:
        V_VT(&v) = VT_I4;
        V_I4(&v) = input.ConsumeIntegral<LONG>();
        break;
    case 4:
        V_VT(&v) = VT_R4;
        V_R4(&v) = static_cast<FLOAT>(someDouble(input));
        break;
    case 5:
        V_VT(&v) = VT_R8;
        V_R8(&v) = someDouble(input);
        break;
    case 6:
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = someText(input);
        break;
    case 7:
        V_VT(&v) = VT_BOOL;
        V_BOOL(&v) = input.ConsumeBool() ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case 8:
        V_VT(&v) = VT_ERROR;
        V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
        break;  // an omitted argument
    case 9:
        V_VT(&v) = VT_UNKNOWN;
        V_UNKNOWN(&v) = input.ConsumeBool() ? &object : nullptr;
        break;
    case 10:
        V_VT(&v) = VT_UI1;
        V_UI1(&v) = input.ConsumeIntegral<BYTE>();
        break;
    default:
        V_VT(&v) = input.ConsumeIntegral<VARTYPE>() & ~VT_BYREF;
        V_R8(&v) = 0;
        break;  // any other type
    }
}

// A VARIANT argument: by value, or by reference to a variable in `storage`
// (or to nothing).
void fillArgument(FuzzedDataProvider& input, VARIANT& v, Storage& storage, CountedObject& object)
{
    const int kind = input.ConsumeIntegralInRange<int>(0, 7);
    if (kind < 2) {
        fillValue(input, v, object);
        return;
    }
    const std::size_t slot = input.ConsumeIntegralInRange<std::size_t>(0, 3);
    const bool null = input.ConsumeIntegralInRange<int>(0, 7) == 0;
    VariantInit(&v);
    switch (kind) {
    case 2:
        V_VT(&v) = VT_R8 | VT_BYREF;
        V_R8REF(&v) = &storage.doubles[slot];
        break;
    case 3:
        V_VT(&v) = VT_I2 | VT_BYREF;
        V_I2REF(&v) = &storage.shorts[slot];
        break;
    case 4:
        V_VT(&v) = VT_I4 | VT_BYREF;
        V_I4REF(&v) = &storage.longs[slot];
        break;
    case 5:
        V_VT(&v) = VT_R4 | VT_BYREF;
        V_R4REF(&v) = &storage.floats[slot];
        break;
    case 6:
        V_VT(&v) = VT_BSTR | VT_BYREF;
        V_BSTRREF(&v) = &storage.texts[slot];
        break;
    default:
        V_VT(&v) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&v) = &storage.variants[slot];
        break;
    }
    if (null)
        V_BYREF(&v) = nullptr;
}

// Whether a VARIANT refers to this address.
bool refersTo(const VARIANT& v, const void* address)
{
    return (V_VT(&v) & VT_BYREF) && V_BYREF(&v) == address;
}

bool isProperty(DISPID id)
{
    return id >= DISPID_Population && id <= DISPID_Centile;
}

void checkResult(HRESULT hr, const VARIANT& result, bool resultGiven, DISPID id)
{
    if (hr != S_OK || !resultGiven) {
        FUZZ_CHECK(V_VT(&result) == VT_EMPTY, "a failed call left something in the result");
        return;
    }
    if (id == DISPID_Centile) {
        FUZZ_CHECK(V_VT(&result) == VT_R8 && V_R8(&result) >= 0 && V_R8(&result) <= 100 &&
                       V_R8(&result) == std::floor(V_R8(&result)),
                   "a centile read that is not a whole number from 0 to 100");
        return;
    }
    if (isProperty(id)) {
        FUZZ_CHECK(V_VT(&result) == VT_BSTR || V_VT(&result) == VT_EMPTY, "a property read that is not a text");
        return;
    }
    if (V_VT(&result) == VT_R8)
        FUZZ_CHECK(std::isfinite(V_R8(&result)), "a centile that is not finite");
    else
        FUZZ_CHECK(V_VT(&result) == VT_BSTR && SysStringLen(V_BSTR(&result)) == 0,
                   "a result that is neither a double nor the zero-length text");
}

bool isDefinedErrorHresult(HRESULT hr)
{
    for (int number : {5, 6, 11, 13, 94, 380})
        if (hr == WRENFIELD_ERROR_HRESULT(number))
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    _Calc* calc = calcInstance();
    const ULONG calcReferences = referencesOf(calc);
    CountedObject object;

    Storage storage;
    for (std::size_t i = 0; i < 4; ++i) {
        storage.doubles[i] = someDouble(input);
        storage.shorts[i] = input.ConsumeIntegral<SHORT>();
        storage.longs[i] = input.ConsumeIntegral<LONG>();
        storage.floats[i] = static_cast<FLOAT>(someDouble(input));
        storage.texts[i] = someText(input);
        fillValue(input, storage.variants[i], object);
    }
    const ULONG objectReferences = object.references;
    auto holdsObject = [&object](const VARIANT& v) { return V_VT(&v) == VT_UNKNOWN && V_UNKNOWN(&v) == &object; };

    const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 9);
    std::vector<VARIANT> args(count);
    for (VARIANT& arg : args)
        fillArgument(input, arg, storage, object);
    std::vector<VARIANT> argsBefore = args;
    const Storage storageBefore = storage;

    VARIANT result;
    VariantInit(&result);
    HRESULT hr;
    bool resultGiven = false;
    DISPID invoked = DISPID_UNKNOWN;
    if (input.ConsumeBool()) {
        // Late binding: Invoke with DISPPARAMS as a host builds them, or not.
        static const std::array<DISPID, 12> kIds = {
            DISPID_custcentukn, DISPID_custcentus,  DISPID_custcentswe, DISPID_custcentnz, DISPID_custcentau, 0, -1,
            DISPID_Population,  DISPID_Birthweight, DISPID_EthnicGroup, DISPID_Sex,        DISPID_Centile};
        const DISPID id = input.ConsumeBool() ? kIds[input.ConsumeIntegralInRange<std::size_t>(0, kIds.size() - 1)]
                                              : input.ConsumeIntegral<DISPID>();
        invoked = id;
        const WORD flags = input.ConsumeBool() ? DISPATCH_METHOD : input.ConsumeIntegral<WORD>();
        std::vector<DISPID> named(input.ConsumeIntegralInRange<std::size_t>(0, count));
        for (DISPID& n : named)
            n = input.ConsumeIntegralInRange<DISPID>(-2, 8);
        DISPPARAMS params{};
        params.rgvarg = input.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : args.data();
        params.cArgs = static_cast<UINT>(count);
        params.rgdispidNamedArgs =
            named.empty() || input.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : named.data();
        params.cNamedArgs = static_cast<UINT>(named.size());
        const bool withParams = input.ConsumeIntegralInRange<int>(0, 15) != 0;
        const bool withResult = input.ConsumeIntegralInRange<int>(0, 7) != 0;
        resultGiven = withResult;
        const bool withExcepInfo = input.ConsumeBool();
        EXCEPINFO excepInfo{};
        UINT argErr = 0xDEAD;
        hr = calc->Invoke(id, IID_NULL, 0x409, flags, withParams ? &params : nullptr, withResult ? &result : nullptr,
                          withExcepInfo ? &excepInfo : nullptr, input.ConsumeBool() ? &argErr : nullptr);
        if (hr == DISP_E_EXCEPTION && withExcepInfo) {
            FUZZ_CHECK(isDefinedErrorHresult(excepInfo.scode), "an exception with an undefined error");
            SysFreeString(excepInfo.bstrSource);
            SysFreeString(excepInfo.bstrDescription);
            SysFreeString(excepInfo.bstrHelpFile);
        }
        if (argErr != 0xDEAD)
            FUZZ_CHECK(argErr < count, "puArgErr names an argument that was not passed");
        // By-value arguments of Invoke belong to the caller: untouched.
        for (std::size_t i = 0; i < count; ++i)
            if (!(V_VT(&args[i]) & VT_BYREF))
                FUZZ_CHECK(std::memcmp(&args[i], &argsBefore[i], sizeof(VARIANT)) == 0,
                           "Invoke changed a by-value argument");
    } else {
        // Early binding: the slot with seven VARIANT* (some may be null).
        VARIANT* slotArgs[7];
        for (std::size_t i = 0; i < 7; ++i)
            slotArgs[i] = i < count && input.ConsumeIntegralInRange<int>(0, 15) != 0 ? &args[i] : nullptr;
        VARIANT* retval = input.ConsumeIntegralInRange<int>(0, 15) != 0 ? &result : nullptr;
        resultGiven = retval != nullptr;
        switch (input.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            hr = calc->custcentukn(slotArgs[0], slotArgs[1], slotArgs[2], slotArgs[3], slotArgs[4], slotArgs[5],
                                   slotArgs[6], retval);
            break;
        case 1:
            hr = calc->custcentus(slotArgs[0], slotArgs[1], slotArgs[2], slotArgs[3], slotArgs[4], slotArgs[5],
                                  slotArgs[6], retval);
            break;
        case 2:
            hr = calc->custcentswe(slotArgs[0], slotArgs[1], slotArgs[2], slotArgs[3], slotArgs[4], slotArgs[5],
                                   slotArgs[6], retval);
            break;
        case 3:
            hr = calc->custcentnz(slotArgs[0], slotArgs[1], slotArgs[2], slotArgs[3], slotArgs[4], slotArgs[5],
                                  slotArgs[6], retval);
            break;
        default:
            hr = calc->custcentau(slotArgs[0], slotArgs[1], slotArgs[2], slotArgs[3], slotArgs[4], slotArgs[5],
                                  slotArgs[6], retval);
            break;
        }
        if (FAILED(hr) && hr != E_POINTER && hr != DISP_E_TYPEMISMATCH && hr != DISP_E_PARAMNOTOPTIONAL &&
            hr != E_OUTOFMEMORY)
            FUZZ_CHECK(isDefinedErrorHresult(hr), "a slot failed with an undefined error");
    }
    checkResult(hr, result, resultGiven, invoked);

    // Only the variables that an argument refers to may have changed.
    auto referenced = [&](const void* address) {
        for (const VARIANT& arg : args)
            if (refersTo(arg, address))
                return true;
        return false;
    };
    for (std::size_t i = 0; i < 4; ++i) {
        if (!referenced(&storage.doubles[i]))
            FUZZ_CHECK(std::memcmp(&storage.doubles[i], &storageBefore.doubles[i], sizeof(double)) == 0,
                       "a double no argument refers to was changed");
        if (!referenced(&storage.shorts[i]))
            FUZZ_CHECK(storage.shorts[i] == storageBefore.shorts[i],
                       "a 16-bit integer no argument refers to was changed");
        if (!referenced(&storage.longs[i]))
            FUZZ_CHECK(storage.longs[i] == storageBefore.longs[i],
                       "a 32-bit integer no argument refers to was changed");
        if (!referenced(&storage.floats[i]))
            FUZZ_CHECK(std::memcmp(&storage.floats[i], &storageBefore.floats[i], sizeof(FLOAT)) == 0,
                       "a single no argument refers to was changed");
        if (!referenced(&storage.texts[i]))
            FUZZ_CHECK(storage.texts[i] == storageBefore.texts[i], "a text no argument refers to was changed");
        if (!referenced(&storage.variants[i]))
            FUZZ_CHECK(std::memcmp(&storage.variants[i], &storageBefore.variants[i], sizeof(VARIANT)) == 0,
                       "a variant no argument refers to was changed");
    }

    FUZZ_CHECK(referencesOf(calc) == calcReferences, "the call changed the reference count of Calc");
    // A variant the method replaced has released what it held; nothing else
    // may change the count.
    ULONG released = 0;
    for (std::size_t i = 0; i < 4; ++i)
        if (holdsObject(storageBefore.variants[i]) && !holdsObject(storage.variants[i]))
            ++released;
    FUZZ_CHECK(object.references == objectReferences - released, "the call changed the reference count of an argument");

    // The caller's clean-up: what the texts and variants hold now.
    VariantClear(&result);
    for (std::size_t i = 0; i < count; ++i)
        if (!(V_VT(&args[i]) & VT_BYREF) && V_VT(&args[i]) == VT_BSTR)
            SysFreeString(V_BSTR(&args[i]));
    for (std::size_t i = 0; i < 4; ++i) {
        SysFreeString(storage.texts[i]);
        if (V_VT(&storage.variants[i]) == VT_BSTR)
            SysFreeString(V_BSTR(&storage.variants[i]));
    }
    return 0;
}

// The properties and events of the Calc component (_Calc2 and __Calc2) on
// this project's runtime: each property reads its list's text and a write
// is the user's pick of that entry (so the centile is the one the form model
// shows after the same pick); a text the list lacks fails with error 380 and
// changes nothing; late binding finds the properties by name and converts a
// number to its text; the events reach every connected sink, once per
// computation, CentileChanged only when the shown number changes.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "form/calc.h"
#include "shell/calc_properties.h"
#include "shell/com_text.h"
#include "shell/wrenfield515uk.h"
#include "tests/support/variants.h"

namespace {

using namespace wrenfield;
using shell::bstrFromUtf8;
using shell::utf8FromBstr;

// One event as a sink heard it.
struct Heard {
    DISPID event;
    double centile;
    friend bool operator==(const Heard&, const Heard&) = default;
};

constexpr Heard changed(double centile)
{
    return {DISPID_CentileChanged, centile};
}
constexpr Heard recomputed(double centile)
{
    return {DISPID_Recomputed, centile};
}

// A sink of the events, as a host's form code would write one: an IDispatch
// that answers for __Calc2 and keeps what it hears. It may act on each event.
class Sink final : public IDispatch {
public:
    explicit Sink(const IID& answers = DIID___Calc2)
        : answers_(answers)
    {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, answers_)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        const bool oneNumber = flags == DISPATCH_METHOD && params && params->cArgs == 1 && params->cNamedArgs == 0 &&
            V_VT(&params->rgvarg[0]) == VT_R8;
        heard.push_back({id, oneNumber ? V_R8(&params->rgvarg[0]) : -1});
        if (onEvent)
            onEvent(id);
        return S_OK;
    }

    std::vector<Heard> heard;
    std::function<void(DISPID)> onEvent;
    ULONG references = 1;

private:
    IID answers_;
};

class ShellPropertiesAndEvents : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_ = dlopen(WRENFIELD_SHELL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(library_, "DllGetClassObject"));
        IClassFactory* factory = nullptr;
        ASSERT_EQ(getClassObject(CLSID_Calc, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID__Calc2, reinterpret_cast<void**>(&calc_)), S_OK);
        factory->Release();
    }
    void TearDown() override
    {
        for (auto& [point, cookie] : connections_) {
            point->Unadvise(cookie);
            point->Release();
        }
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

    IConnectionPoint* point(const IID& source)
    {
        IConnectionPointContainer* container = nullptr;
        EXPECT_EQ(calc_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)), S_OK);
        IConnectionPoint* found = nullptr;
        if (container) {
            container->FindConnectionPoint(source, &found);
            container->Release();
        }
        return found;
    }

    // A new sink, connected to the point of `source` until the end of the
    // test (the fixture keeps it until it has disconnected it).
    Sink& connectedSink(const IID& source = DIID___Calc2)
    {
        Sink& sink = sinks_.emplace_back(source);
        IConnectionPoint* events = point(source);
        EXPECT_NE(events, nullptr);
        DWORD cookie = 0;
        if (events) {
            EXPECT_EQ(events->Advise(&sink, &cookie), S_OK);
            connections_.emplace_back(events, cookie);
        }
        return sink;
    }

    std::string read(const shell::CalcProperty& property)
    {
        BSTR text = nullptr;
        EXPECT_EQ(getter(property)(text), S_OK) << property.name;
        std::string value = utf8FromBstr(text);
        SysFreeString(text);
        return value;
    }

    HRESULT write(const shell::CalcProperty& property, const std::string& value)
    {
        BSTR text = bstrFromUtf8(value);
        const HRESULT hr = setter(property)(text);
        SysFreeString(text);
        return hr;
    }

    double centile()
    {
        double value = -1;
        EXPECT_EQ(calc_->get_Centile(&value), S_OK);
        return value;
    }

    // The slots of each property, by its place in the table (slot order).
    std::function<HRESULT(BSTR&)> getter(const shell::CalcProperty& property)
    {
        using Get = HRESULT (STDMETHODCALLTYPE _Calc2::*)(BSTR*);
        static const Get gets[] = {&_Calc2::get_Population,    &_Calc2::get_MaternalHeight, &_Calc2::get_BookingWeight,
                                   &_Calc2::get_EthnicGroup,   &_Calc2::get_Parity,         &_Calc2::get_GestationWeeks,
                                   &_Calc2::get_GestationDays, &_Calc2::get_Birthweight,    &_Calc2::get_Sex};
        const Get get = gets[&property - shell::calcProperties().data()];
        return [this, get](BSTR& out) { return (calc_->*get)(&out); };
    }
    std::function<HRESULT(BSTR)> setter(const shell::CalcProperty& property)
    {
        using Put = HRESULT (STDMETHODCALLTYPE _Calc2::*)(BSTR);
        static const Put puts[] = {&_Calc2::put_Population,    &_Calc2::put_MaternalHeight, &_Calc2::put_BookingWeight,
                                   &_Calc2::put_EthnicGroup,   &_Calc2::put_Parity,         &_Calc2::put_GestationWeeks,
                                   &_Calc2::put_GestationDays, &_Calc2::put_Birthweight,    &_Calc2::put_Sex};
        const Put put = puts[&property - shell::calcProperties().data()];
        return [this, put](BSTR in) { return (calc_->*put)(in); };
    }

    static const shell::CalcProperty& property(std::string_view name) { return *shell::propertyByName(name); }

    // Invoke with the arguments last first.
    HRESULT invoke(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result, EXCEPINFO* exception,
                   bool namedPut = false)
    {
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{args.data(), namedPut ? &put : nullptr, static_cast<UINT>(args.size()), namedPut ? 1u : 0u};
        return calc_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, exception, nullptr);
    }

    void* library_ = nullptr;
    _Calc2* calc_ = nullptr;
    std::vector<std::pair<IConnectionPoint*, DWORD>> connections_;
    std::deque<Sink> sinks_;  // outlive their connections
};

// Each property holds its list's start-up text, and writing an entry is the
// pick a user makes in that list: the same centile as the form model gives.
TEST_F(ShellPropertiesAndEvents, EachWriteIsTheUsersPickOfThatEntry)
{
    struct Row {
        const char* property;
        const char* atStartUp;
        const char* picked;
        const char* list;
    };
    const Row rows[] = {
        {"MaternalHeight", "165", "152", "Comboht"},
        {"BookingWeight", "65", "98", "Combowt"},
        {"EthnicGroup", "European", "Bangladeshi", "Comboeth"},
        {"Parity", "0", "4 or more", "Combopar"},
        {"GestationWeeks", "40", "33", "Combogw"},
        {"GestationDays", "0", "6", "Combogd"},
        {"Birthweight", "3500", "Over 5000", "Combobwt"},
        {"Sex", "Female", "Male", "Combosex"},
        {"Population", "United Kingdom", "New Zealand", "Combobase"},
    };
    ASSERT_EQ(std::size(rows), shell::calcProperties().size() - 1) << "every input property has a row";
    form::Calc model;
    EXPECT_EQ(centile(), 56);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.property);
        EXPECT_EQ(read(property(row.property)), row.atStartUp);
        EXPECT_EQ(write(property(row.property), row.picked), S_OK);
        EXPECT_EQ(read(property(row.property)), row.picked);
        model.selectAsUser(row.list, row.picked);
        EXPECT_EQ(centile(), std::stod(model.outputLabel().caption()));
    }
    // The population's own groups, with its default selected: the pick of a
    // population refills the ethnic groups as the form does.
    EXPECT_EQ(read(property("EthnicGroup")), "European");
    EXPECT_EQ(write(property("EthnicGroup"), "Maori"), S_OK);
    EXPECT_EQ(write(property("Population"), "Sweden"), S_OK);
    EXPECT_EQ(read(property("EthnicGroup")), "Scandinavian");
    EXPECT_EQ(write(property("EthnicGroup"), "Maori"), WRENFIELD_ERROR_HRESULT(380)) << "not a Swedish group";
}

// A text that is not an entry of the list, however close, fails with error
// 380 and changes nothing: not the property, not the centile, no event.
TEST_F(ShellPropertiesAndEvents, ATextTheListLacksChangesNothing)
{
    Sink& sink = connectedSink();
    const std::pair<const char*, const char*> refused[] = {
        {"Population", "united kingdom"},
        {"Population", "England"},
        {"MaternalHeight", "139"},
        {"MaternalHeight", "165.0"},
        {"BookingWeight", " 65"},
        {"EthnicGroup", "Maori"},
        {"Parity", "4"},
        {"GestationWeeks", "45"},
        {"GestationDays", "7"},
        {"Birthweight", "3501"},
        {"Birthweight", "over 5000"},
        {"Sex", "male"},
        {"Sex", ""},
    };
    for (const auto& [name, text] : refused) {
        SCOPED_TRACE(std::string(name) + " = \"" + text + "\"");
        const std::string before = read(property(name));
        EXPECT_EQ(write(property(name), text), WRENFIELD_ERROR_HRESULT(380));
        EXPECT_EQ(read(property(name)), before);
        EXPECT_EQ(centile(), 56);
    }
    EXPECT_TRUE(sink.heard.empty());
}

TEST_F(ShellPropertiesAndEvents, LateBoundByNameWithNumbersAsTheirText)
{
    const std::pair<const char16_t*, DISPID> names[] = {{u"Birthweight", DISPID_Birthweight},
                                                        {u"birthweight", DISPID_Birthweight},
                                                        {u"CENTILE", DISPID_Centile},
                                                        {u"Population", DISPID_Population}};
    for (const auto& [name, id] : names) {
        LPOLESTR text = const_cast<LPOLESTR>(name);
        DISPID found = 0;
        EXPECT_EQ(calc_->GetIDsOfNames(IID_NULL, &text, 1, 0, &found), S_OK);
        EXPECT_EQ(found, id);
    }

    // VBScript's calc.Birthweight = 3000 passes a number.
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    EXPECT_EQ(
        invoke(DISPID_Birthweight, DISPATCH_PROPERTYPUT, {wrenfield::testing::number(3000)}, nullptr, &exception, true),
        S_OK);
    EXPECT_EQ(invoke(DISPID_Birthweight, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &result, &exception), S_OK);
    ASSERT_EQ(V_VT(&result), VT_BSTR);
    EXPECT_EQ(utf8FromBstr(V_BSTR(&result)), "3000");
    VariantClear(&result);
    EXPECT_EQ(invoke(DISPID_Centile, DISPATCH_PROPERTYGET, {}, &result, &exception), S_OK);
    EXPECT_EQ(V_VT(&result), VT_R8);
    EXPECT_EQ(V_R8(&result), 12);

    // A refused text: the error, its description naming the property and
    // the text, the library as its source.
    VARIANT bad = wrenfield::testing::text(u"3001");
    EXPECT_EQ(invoke(DISPID_Birthweight, DISPATCH_PROPERTYPUT, {bad}, nullptr, &exception, true), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, WRENFIELD_ERROR_HRESULT(380));
    const std::string description = utf8FromBstr(exception.bstrDescription);
    EXPECT_NE(description.find("Invalid property value"), std::string::npos) << description;
    EXPECT_NE(description.find("\"3001\""), std::string::npos) << description;
    EXPECT_NE(description.find("Birthweight"), std::string::npos) << description;
    EXPECT_EQ(utf8FromBstr(exception.bstrSource), "Wrenfield515UK");
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    VariantClear(&bad);

    // Malformed calls.
    EXPECT_EQ(invoke(DISPID_Centile, DISPATCH_PROPERTYPUT, {wrenfield::testing::number(50)}, nullptr, nullptr, true),
              DISP_E_MEMBERNOTFOUND)
        << "Centile is read-only";
    EXPECT_EQ(invoke(DISPID_Sex, DISPATCH_PROPERTYPUT, {}, nullptr, nullptr, false), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invoke(DISPID_Sex, DISPATCH_PROPERTYGET, {wrenfield::testing::number(1)}, &result, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invoke(DISPID_Sex, DISPATCH_PROPERTYPUT, {wrenfield::testing::ofType(VT_NULL)}, nullptr, nullptr, true),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(invoke(DISPID_custcentukn, DISPATCH_PROPERTYPUT, {wrenfield::testing::number(1)}, nullptr, nullptr, true),
              DISP_E_MEMBERNOTFOUND)
        << "the methods stay methods";
}

// Recomputed follows every computation, CentileChanged (first) only a new
// number; user picks and property writes alike. The population switch
// computes once.
TEST_F(ShellPropertiesAndEvents, EventsFollowEachComputation)
{
    Sink& sink = connectedSink();
    struct Step {
        const char* property;
        const char* text;
        std::vector<Heard> heard;
    };
    const Step steps[] = {
        {"Birthweight", "3000", {changed(12), recomputed(12)}},
        {"Birthweight", "3000", {recomputed(12)}},  // the same entry again: computed again, no change
        {"GestationWeeks", "39", {changed(23), recomputed(23)}},
        {"Sex", "Female", {recomputed(23)}},
        {"Population", "Australia", {changed(25), recomputed(25)}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.property) + " = " + step.text);
        sink.heard.clear();
        ASSERT_EQ(write(property(step.property), step.text), S_OK);
        EXPECT_EQ(sink.heard, step.heard);
    }
}

TEST_F(ShellPropertiesAndEvents, ConnectionPointsOfBothVersions)
{
    IConnectionPointContainer* container = nullptr;
    ASSERT_EQ(calc_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)), S_OK);
    IEnumConnectionPoints* all = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&all), S_OK);
    IConnectionPoint* points[3] = {};
    ULONG count = 0;
    EXPECT_EQ(all->Next(3, points, &count), S_FALSE);
    ASSERT_EQ(count, 2u);
    IID first{}, second{};
    points[0]->GetConnectionInterface(&first);
    points[1]->GetConnectionInterface(&second);
    EXPECT_TRUE(IsEqualIID(first, DIID___Calc2));
    EXPECT_TRUE(IsEqualIID(second, DIID___Calc));
    points[0]->Release();
    points[1]->Release();
    all->Release();
    IConnectionPoint* none = reinterpret_cast<IConnectionPoint*>(1);
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &none), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(none, nullptr);
    container->Release();

    // A sink of the first version's interface connects and hears nothing: it
    // has no events. One that speaks neither interface cannot connect.
    Sink& firstVersion = connectedSink(DIID___Calc);
    Sink stranger(IID_IClassFactory);
    IConnectionPoint* events = point(DIID___Calc2);
    DWORD cookie = 7;
    EXPECT_EQ(events->Advise(&stranger, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(events->Unadvise(12345), CONNECT_E_NOCONNECTION);
    events->Release();
    ASSERT_EQ(write(property("Birthweight"), "2500"), S_OK);
    EXPECT_TRUE(firstVersion.heard.empty());
    EXPECT_EQ(stranger.references, 1u);
}

// A sink may disconnect itself, or write a property, while it hears an
// event: every sink connected when the event began hears it once, and the
// references come out even.
TEST_F(ShellPropertiesAndEvents, SinksMayActWhileTheyHear)
{
    const ULONG before = references();
    Sink leaving, picking, staying;
    IConnectionPoint* events = point(DIID___Calc2);
    DWORD leavingCookie = 0, pickingCookie = 0, stayingCookie = 0;
    ASSERT_EQ(events->Advise(&leaving, &leavingCookie), S_OK);
    ASSERT_EQ(events->Advise(&picking, &pickingCookie), S_OK);
    ASSERT_EQ(events->Advise(&staying, &stayingCookie), S_OK);
    leaving.onEvent = [&](DISPID) { events->Unadvise(leavingCookie); };
    bool pickedOnce = false;
    picking.onEvent = [&](DISPID id) {
        if (id == DISPID_Recomputed && !pickedOnce) {
            pickedOnce = true;
            write(property("Parity"), "3");  // another computation, from inside this one's event
        }
    };

    ASSERT_EQ(write(property("Birthweight"), "3000"), S_OK);
    EXPECT_EQ(leaving.heard, (std::vector<Heard>{changed(12)}));
    // The nested computation's events come while the first Recomputed is heard.
    ASSERT_EQ(staying.heard.size(), 4u);
    EXPECT_EQ(staying.heard.front(), changed(12));
    EXPECT_EQ(staying.heard.back(), recomputed(12));
    EXPECT_EQ(staying.heard[1].event, DISPID_CentileChanged);
    EXPECT_EQ(staying.heard[2].event, DISPID_Recomputed);
    EXPECT_EQ(read(property("Parity")), "3");

    EXPECT_EQ(events->Unadvise(pickingCookie), S_OK);
    EXPECT_EQ(events->Unadvise(stayingCookie), S_OK);
    events->Release();
    EXPECT_EQ(references(), before);
    EXPECT_EQ(leaving.references, 1u);
    EXPECT_EQ(picking.references, 1u);
    EXPECT_EQ(staying.references, 1u);
}

}  // namespace

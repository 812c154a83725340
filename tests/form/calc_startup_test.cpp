// A new Calc: the form before start-up, the state start-up leaves, and what
// happens when start-up fails part way.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "calc_test_support.h"
#include "form/calc.h"
#include "form/calc_layout.h"

namespace wrenfield::form {
namespace {

using testing::ErrorLog;
using testing::RecordingObserver;

std::vector<std::string> entries(const DropDownList& list)
{
    return {list.entries().begin(), list.entries().end()};
}

TEST(CalcLayout, BeforeStartUpListsAreEmptyAndCaptionsAreTheDesignedOnes)
{
    UserControl form(calcLayout(), {});
    ASSERT_EQ(form.controls().size(), 23u);
    int lists = 0;
    for (const auto& control : form.controls()) {
        if (auto* list = form.list(control->name())) {
            ++lists;
            EXPECT_EQ(list->entryCount(), 0u) << list->name();
            EXPECT_EQ(list->text(), "") << list->name();
        }
    }
    EXPECT_EQ(lists, 9);
    EXPECT_EQ(form.label(names::OutputLabel)->caption(), "Output");
    EXPECT_EQ(form.label(names::Label8)->caption(), "Customised centile =");
    EXPECT_EQ(form.textBox(names::Text1)->text(), "Text1");
    EXPECT_EQ(form.label(names::Label11)->caption(), "Label11");
    EXPECT_EQ(form.label(names::Label12)->caption(), "Label12");
    EXPECT_EQ(form.label(names::Label2)->caption(), "Gestation:  Weeks");
}

TEST(CalcLayout, FocusVisibilityAndPlacement)
{
    // Focus moves through the eight input lists in this order.
    std::vector<const ControlDescription*> focusable;
    for (const ControlDescription& d : calcLayout())
        if (d.kind == ControlKind::DropDownList && d.visible)
            focusable.push_back(&d);
    std::sort(focusable.begin(), focusable.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    std::vector<std::string_view> order;
    for (auto* d : focusable)
        order.push_back(d->name);
    EXPECT_EQ(order,
              (std::vector<std::string_view>{"Combosex", "Comboeth", "Combopar", "Comboht", "Combowt", "Combogw",
                                             "Combogd", "Combobwt"}));
    EXPECT_EQ(focusable.front()->tabIndex, 4);
    EXPECT_EQ(focusable.back()->tabIndex, 11);

    // Exactly four controls are hidden; every visible one lies in the designed
    // area, and every naming label sits 45 twips below its list's top and ends
    // before the list begins.
    std::vector<std::string_view> hidden;
    std::vector<int> tabIndexes;
    for (const ControlDescription& d : calcLayout()) {
        tabIndexes.push_back(d.tabIndex);
        if (!d.visible) {
            hidden.push_back(d.name);
            continue;
        }
        int left = d.left, top = d.top;
        if (!d.parent.empty()) {
            left += findInCalcLayout(d.parent)->left;
            top += findInCalcLayout(d.parent)->top;
        }
        EXPECT_LE(left + d.width, kDesignedWidth) << d.name;
        EXPECT_LE(top + d.height, kDesignedHeight) << d.name;
        if (d.kind == ControlKind::Label && !d.labelFor.empty() && d.parent.empty()) {
            const ControlDescription* named = findInCalcLayout(d.labelFor);
            ASSERT_NE(named, nullptr) << d.name;
            EXPECT_EQ(d.top, named->top + 45) << d.name;
            EXPECT_LT(d.left + d.width, named->left) << d.name;
            EXPECT_EQ(d.alignment, Alignment::Right) << d.name;
        }
    }
    EXPECT_EQ(hidden, (std::vector<std::string_view>{"Combobase", "Text1", "Label11", "Label12"}));
    std::sort(tabIndexes.begin(), tabIndexes.end());
    for (int i = 0; i < static_cast<int>(tabIndexes.size()); ++i)
        EXPECT_EQ(tabIndexes[i], i) << "tab indexes are 0 to 22, each once";
}

struct ListAfterStartUp {
    std::string_view list;
    std::size_t count;
    std::string_view first;
    std::string_view last;
    std::string_view selected;
};

TEST(CalcStartUp, ListsHoldTheirEntriesAndDefaults)
{
    Calc calc;
    ASSERT_TRUE(calc.startedUp());
    const ListAfterStartUp table[] = {
        {"Comboht", 61, "140", "200", "165"},
        {"Combowt", 121, "30", "150", "65"},
        {"Combogw", 25, "20", "44", "40"},
        {"Combogd", 7, "0", "6", "0"},
        {"Combobwt", 94, "400", "Over 5000", "3500"},
        {"Comboeth", 10, "African", "Other", "European"},
        {"Combopar", 5, "0", "4 or more", "0"},
        {"Combosex", 2, "Male", "Female", "Female"},
        {"Combobase", 5, "Australia", "United States", "United Kingdom"},
    };
    for (const ListAfterStartUp& row : table) {
        SCOPED_TRACE(std::string(row.list));
        const DropDownList* list = calc.list(row.list);
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->entryCount(), row.count);
        EXPECT_EQ(list->entries().front(), row.first);
        EXPECT_EQ(list->entries().back(), row.last);
        EXPECT_EQ(list->text(), row.selected);
    }
}

TEST(CalcStartUp, NumberListsCountWithoutGapsOrPadding)
{
    Calc calc;
    const auto& bwt = calc.combobwt().entries();
    ASSERT_EQ(bwt.size(), 94u);
    for (std::size_t i = 0; i < 93; ++i)
        EXPECT_EQ(bwt[i], std::to_string(400 + 50 * i));
    EXPECT_EQ(bwt[93], "Over 5000");
    for (std::size_t i = 0; i < calc.combogd().entryCount(); ++i)
        EXPECT_EQ(calc.combogd().entries()[i], std::to_string(i));
    for (std::size_t i = 0; i < calc.comboht().entryCount(); ++i)
        EXPECT_EQ(calc.comboht().entries()[i], std::to_string(140 + i));
}

TEST(CalcStartUp, EthnicAndPopulationListsAreInTheirShownOrder)
{
    Calc calc;
    EXPECT_EQ(entries(calc.comboeth()),
              (std::vector<std::string>{"African", "Afro-Caribbean", "Bangladeshi", "European", "Far East Asian",
                                        "Indian", "Middle Eastern", "Pakistani", "South East Asian", "Other"}));
    EXPECT_EQ(entries(calc.combobase()),
              (std::vector<std::string>{"Australia", "New Zealand", "Sweden", "United Kingdom", "United States"}));
    EXPECT_EQ(entries(calc.combopar()), (std::vector<std::string>{"0", "1", "2", "3", "4 or more"}));
}

TEST(CalcStartUp, ShowsTheDefaultCentileAndHiddenTexts)
{
    Calc calc;
    EXPECT_EQ(calc.outputLabel().caption(), "56");
    EXPECT_EQ(calc.text1().text(), "United Kingdom");
    EXPECT_EQ(calc.label12().caption(), "United Kingdom");
    EXPECT_EQ(calc.label11().caption(), "5.15_UK");
    EXPECT_EQ(calc.versionText().text(), "5.15_UK");
    EXPECT_EQ(calc.defaultBase().text(), "United Kingdom");
    // The members as the United Kingdom method left them: weeks in formGest.
    EXPECT_EQ(calc.formBwt(), 3500);
    EXPECT_EQ(calc.formGest(), 40);
    EXPECT_EQ(calc.formWt(), 65);
    EXPECT_EQ(calc.formHt(), 165);
    EXPECT_EQ(calc.formSex(), 0);
    EXPECT_EQ(calc.formEth(), 1);
    EXPECT_EQ(calc.formPar(), 0);
}

TEST(CalcStartUp, RunsTheStepsInOrderAndComputesTwice)
{
    RecordingObserver observer;
    Calc calc(ErrorLog{}.sink(), &observer);
    // Start-up's own ethnic list comes first, in code order, so that
    // "European" can be selected before the switch replaces the list.
    auto at = [&](const std::string& event) {
        return std::find(observer.events.begin(), observer.events.end(), event) - observer.events.begin();
    };
    EXPECT_LT(at("append Comboeth European"), at("append Comboeth Indian"));
    EXPECT_LT(at("select Comboeth European"), at("clear Comboeth"));
    EXPECT_LT(at("text Text1 United Kingdom"), at("select Combobase United Kingdom"));
    EXPECT_LT(at("select Combobase United Kingdom"), at("caption Label11 5.15_UK"));
    EXPECT_LT(at("caption Label12 United Kingdom"), at("clear Comboeth"));
    EXPECT_EQ(observer.ethnicClears, 1);
    EXPECT_EQ(observer.outputWrites, 2);  // inside the switch, then once more
}

// An observer that fails the operation that notifies it, once, as a control
// whose operation reports failure.
class FailingObserver : public ControlObserver {
public:
    explicit FailingObserver(std::string_view label)
        : label_(label)
    {}
    void captionChanged(const Label& label) override
    {
        if (label.name() == label_)
            raise(ErrorNumber::InvalidPropertyValue, "caption of " + std::string(label_));
    }

private:
    std::string_view label_;
};

TEST(CalcStartUp, AFailedStepEndsStartUpThereAndReachesTheSink)
{
    ErrorLog errors;
    FailingObserver failure(names::Label11);
    Calc calc(errors.sink(), &failure);

    EXPECT_FALSE(calc.startedUp());
    ASSERT_EQ(errors.entries.size(), 1u);
    EXPECT_EQ(errors.entries[0].event, "Initialize");
    EXPECT_EQ(errors.entries[0].number, ErrorNumber::InvalidPropertyValue);
    // Steps up to the failing caption were made; none after it.
    EXPECT_EQ(calc.combobase().text(), "United Kingdom");
    EXPECT_EQ(calc.text1().text(), "United Kingdom");
    EXPECT_EQ(calc.label12().caption(), "Label12");
    EXPECT_EQ(calc.comboeth().entries().front(), "European");  // the switch did not run
    EXPECT_EQ(calc.outputLabel().caption(), "Output");
    EXPECT_EQ(calc.formBwt(), 0);
}

TEST(CalcStartUp, DefaultSinkWritesOneLineOnStandardError)
{
    FailingObserver failure(names::Label12);
    ::testing::internal::CaptureStderr();
    {
        Calc calc(defaultCalcErrorSink(), &failure);
    }
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 1) << written;
    EXPECT_NE(written.find("Initialize"), std::string::npos) << written;
    EXPECT_NE(written.find("380"), std::string::npos) << written;
}

}  // namespace
}  // namespace wrenfield::form

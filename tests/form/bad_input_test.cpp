// What the form does with bad input. A user can only pick an entry of a
// list, so a text the list does not hold is refused at the write, before any
// handler runs. A host that adds its own entries gets the numeric value of
// the text (0 when it holds no number) and the fallback codes, and an error
// when the value does not fit a double; the caption is a whole number after a
// completed run and unchanged after a failed one. The rows of
// docs/bad-inputs.md name these tests.
#include <gtest/gtest.h>

#include <string>

#include "calc_test_support.h"
#include "form/calc.h"

namespace wrenfield::form {
namespace {

using testing::ErrorLog;
using testing::isPlainWholeNumber;

TEST(FormBadInputs, ATextNoEntryHoldsIsRefusedWithInvalidPropertyValue)
{
    const struct {
        std::string_view list;
        std::string text;
    } cases[] = {
        {"Combowt", ""},      {"Combowt", "abc"},      {"Combowt", "NaN"},  {"Combowt", "inf"},
        {"Combowt", "-inf"},  {"Combowt", "1e308"},    {"Combowt", "-65"},  {"Combogw", "0"},
        {"Combogd", "10000"}, {"Combobwt", "3501"},    {"Comboeth", "99"},  {"Combopar", "7"},
        {"Combosex", "male"}, {"Combobase", "Narnia"}, {"Comboht", " 165"}, {"Combobwt", std::string(1, '\0')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " = \"" + c.text + "\"");
        ErrorLog errors;
        Calc calc(errors.sink());
        const std::string selected = calc.list(c.list)->text();
        try {
            calc.selectAsUser(c.list, c.text);
            ADD_FAILURE() << "accepted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), ErrorNumber::InvalidPropertyValue);
        }
        EXPECT_EQ(calc.list(c.list)->text(), selected);
        EXPECT_EQ(calc.outputLabel().caption(), "56");
        EXPECT_TRUE(errors.entries.empty()) << "a handler ran";
    }
    Calc calc;
    EXPECT_THROW(calc.selectAsUser("Combofoo", "1"), std::invalid_argument);
    EXPECT_EQ(calc.outputLabel().caption(), "56");
}

// A list that holds an odd text (a host added it): the value the form reads
// from it, and the caption of the completed run.
TEST(FormBadInputs, AnOddEntryReadsAsItsLeadingNumberOrZero)
{
    const struct {
        std::string_view list;
        std::string text;
        double formWt;
        std::string caption;
    } cases[] = {
        {"Combowt", "", 0, "100"},                                       // zero-length text: 0 kg
        {"Combowt", "abc", 0, "100"},                                    // non-numeric text: 0 kg
        {"Combowt", "NaN", 0, "100"},                                    // no leading number
        {"Combowt", "inf", 0, "100"},   {"Combowt", "1e308", 1, "100"},  // the leading "1" only: no exponents
        {"Combowt", "-65", -65, "100"},  // negative weight: computed, term weight clamped
        {"Combowt", " 6 5", 65, "56"},   // blanks anywhere are skipped
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " = \"" + c.text + "\"");
        ErrorLog errors;
        Calc calc(errors.sink());
        calc.list(c.list)->addItem(c.text);
        EXPECT_TRUE(calc.selectAsUser(c.list, c.text));
        EXPECT_EQ(calc.formWt(), c.formWt);
        EXPECT_EQ(calc.outputLabel().caption(), c.caption);
        EXPECT_TRUE(errors.entries.empty());
    }
}

TEST(FormBadInputs, GestationsOfZeroAndTenThousandDaysAreComputed)
{
    const struct {
        std::string weeks, days;
        double formWeeksAfter;
    } cases[] = {{"0", "0", 0}, {"1428", "4", 10000.0 / 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.weeks + "+" + c.days);
        ErrorLog errors;
        Calc calc(errors.sink());
        calc.combogw().addItem(c.weeks);
        calc.combogd().addItem(c.days);
        ASSERT_TRUE(calc.selectAsUser("Combogw", c.weeks));
        ASSERT_TRUE(calc.selectAsUser("Combogd", c.days));
        EXPECT_EQ(calc.formGest(), c.formWeeksAfter);
        EXPECT_TRUE(isPlainWholeNumber(calc.outputLabel().caption()));
        EXPECT_EQ(calc.outputLabel().caption(), "0");
        EXPECT_TRUE(errors.entries.empty());
    }
}

TEST(FormBadInputs, OddCodeTextsTakeTheFallbackCodes)
{
    ErrorLog errors;
    Calc calc(errors.sink());
    calc.comboeth().addItem("Narnian");
    calc.combopar().addItem("7");
    calc.combosex().addItem("male");
    ASSERT_TRUE(calc.selectAsUser("Comboeth", "Narnian"));
    EXPECT_EQ(calc.formEth(), 10);
    ASSERT_TRUE(calc.selectAsUser("Combopar", "7"));
    EXPECT_EQ(calc.formPar(), 4);
    ASSERT_TRUE(calc.selectAsUser("Combosex", "male"));
    EXPECT_EQ(calc.formSex(), 0);
    EXPECT_TRUE(isPlainWholeNumber(calc.outputLabel().caption()));
}

TEST(FormBadInputs, AnUnknownPopulationCallsNoMethodAndKeepsTheCaption)
{
    ErrorLog errors;
    Calc calc(errors.sink());
    calc.combobase().addItem("Narnia");
    calc.combobwt().addItem("5000");
    calc.combobase().setText("Narnia");
    EXPECT_TRUE(calc.selectAsUser("Combobwt", "5000"));
    EXPECT_EQ(calc.formBwt(), 5000);
    EXPECT_EQ(calc.outputLabel().caption(), "56");
    EXPECT_TRUE(errors.entries.empty());
}

TEST(FormBadInputs, ANumberBeyondADoubleFailsTheRunAndKeepsTheCaption)
{
    ErrorLog errors;
    Calc calc(errors.sink());
    const std::string huge(400, '9');
    calc.combowt().addItem(huge);
    EXPECT_FALSE(calc.selectAsUser("Combowt", huge));
    ASSERT_EQ(errors.entries.size(), 1u);
    EXPECT_EQ(errors.entries[0].number, ErrorNumber::Overflow);
    EXPECT_EQ(calc.outputLabel().caption(), "56");
}

}  // namespace
}  // namespace wrenfield::form

// The change handlers and the user's selection: one computation per Click,
// selections from code that raise none, failed writes, and instances that
// share nothing.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "calc_test_support.h"
#include "form/calc.h"

namespace wrenfield::form {
namespace {

using testing::ErrorLog;
using testing::RecordingObserver;

TEST(ChangeHandlers, EveryInputClickComputesOnceEvenForTheSameEntry)
{
    for (std::string_view name : kInputLists) {
        SCOPED_TRACE(std::string(name));
        RecordingObserver observer;
        Calc calc;
        calc.addObserver(observer);
        DropDownList& list = *calc.list(name);
        ASSERT_TRUE(calc.selectAsUser(list, list.text()));  // the entry already selected
        EXPECT_EQ(observer.outputWrites, 1);
        EXPECT_EQ(observer.ethnicClears, 0);  // an input click never refills the ethnic list
        ASSERT_TRUE(calc.raiseClick(list));
        EXPECT_EQ(observer.outputWrites, 2);
    }
}

TEST(ChangeHandlers, EthnicClickComputesWithThePopulationShown)
{
    Calc calc;
    ASSERT_TRUE(calc.selectAsUser("Combobase", "United States"));
    ASSERT_TRUE(calc.selectAsUser("Comboeth", "Hispanic"));
    EXPECT_EQ(calc.formEth(), 2);
    EXPECT_EQ(calc.comboeth().entryCount(), 4u);
    EXPECT_EQ(calc.outputLabel().caption(),
              testing::expectedCaption(engine::Population::UnitedStates, testing::defaultInputs(2)));
}

TEST(ChangeHandlers, ATextSetFromCodeComputesNothingUntilTheNextClick)
{
    Calc calc;
    calc.combobwt().setText("Over 5000");
    EXPECT_EQ(calc.outputLabel().caption(), "56");
    EXPECT_EQ(calc.formBwt(), 3500);
    ASSERT_TRUE(calc.raiseClick(calc.combosex()));
    EXPECT_EQ(calc.outputLabel().caption(), "100");
}

TEST(ChangeHandlers, ATextNoEntryHoldsFailsAtTheWrite)
{
    RecordingObserver observer;
    Calc calc;
    calc.addObserver(observer);
    for (std::string_view text : {"3501", "", "3500 ", "over 5000"}) {
        SCOPED_TRACE(std::string(text));
        try {
            calc.selectAsUser("Combobwt", text);
            ADD_FAILURE() << "no error";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::InvalidPropertyValue);
            EXPECT_NE(error.context().find("Combobwt"), std::string::npos);
            EXPECT_NE(error.context().find("\"" + std::string(text) + "\""), std::string::npos);
        }
        EXPECT_EQ(calc.combobwt().text(), "3500");
    }
    EXPECT_THROW(calc.combosex().setText("male"), RuntimeError);
    EXPECT_EQ(observer.outputWrites, 0);  // no Click was raised
    EXPECT_THROW(calc.selectAsUser("Combofoo", "1"), std::invalid_argument);
    EXPECT_THROW(calc.selectAsUser("output_label", "1"), std::invalid_argument);
}

TEST(ChangeHandlers, InstancesAreIndependent)
{
    Calc first;
    ASSERT_TRUE(first.selectAsUser("Combobwt", "Over 5000"));
    ASSERT_TRUE(first.selectAsUser("Combobase", "Sweden"));
    Calc second;  // created while the first is in use
    EXPECT_EQ(second.outputLabel().caption(), "56");
    EXPECT_EQ(second.combobwt().text(), "3500");
    EXPECT_EQ(second.comboeth().entryCount(), 10u);
    EXPECT_EQ(second.formHt(), 165);

    ASSERT_TRUE(second.selectAsUser("Combobwt", "400"));
    EXPECT_EQ(first.combobwt().text(), "Over 5000");
    EXPECT_EQ(first.formBwt(), 5500);
    EXPECT_EQ(first.comboeth().text(), "Scandinavian");
    EXPECT_EQ(first.formHt(), -2);
    EXPECT_EQ(second.outputLabel().caption(), "0");
}

TEST(ChangeHandlers, ErrorsOfOneInstanceGoToItsOwnSink)
{
    ErrorLog firstErrors, secondErrors;
    Calc first(firstErrors.sink());
    Calc second(secondErrors.sink());
    first.combogw().addItem(std::string(400, '9'));
    EXPECT_FALSE(first.selectAsUser("Combogw", std::string(400, '9')));
    EXPECT_EQ(firstErrors.entries.size(), 1u);
    EXPECT_TRUE(secondErrors.entries.empty());

    // A sink the host sets later replaces the first.
    ErrorLog later;
    first.setErrorSink(later.sink());
    EXPECT_FALSE(first.raiseClick(first.combogw()));
    EXPECT_EQ(firstErrors.entries.size(), 1u);
    EXPECT_EQ(later.entries.size(), 1u);
}

}  // namespace
}  // namespace wrenfield::form

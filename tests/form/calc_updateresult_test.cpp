// The computation: list texts into the members, the call of the population
// method, and the rounded centile in output_label.
#include <gtest/gtest.h>

#include <string>

#include "calc_test_support.h"
#include "form/calc.h"

namespace wrenfield::form {
namespace {

using testing::ErrorLog;
using testing::RecordingObserver;

struct Selection {
    std::string_view list;
    std::string_view text;
};

struct Case {
    std::string_view what;
    std::vector<Selection> selections;
    std::string_view caption;
    double bwt;
};

TEST(UpdateResult, RoundsTheCentileHalfUp)
{
    const Case cases[] = {
        {"defaults", {}, "56", 3500},
        // A few millionths above 100, and below 0: the caption stays in range.
        {"over 5000", {{"Combobwt", "Over 5000"}}, "100", 5500},
        {"lightest", {{"Combobwt", "400"}}, "0", 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what));
        Calc calc;
        for (const Selection& s : c.selections)
            ASSERT_TRUE(calc.selectAsUser(s.list, s.text));
        EXPECT_EQ(calc.outputLabel().caption(), c.caption);
        EXPECT_EQ(calc.formBwt(), c.bwt);
    }
}

TEST(UpdateResult, AgreesWithTheEngineAcrossInputs)
{
    Calc calc;
    ASSERT_TRUE(calc.selectAsUser("Comboht", "152"));
    ASSERT_TRUE(calc.selectAsUser("Combowt", "98"));
    ASSERT_TRUE(calc.selectAsUser("Combogw", "37"));
    ASSERT_TRUE(calc.selectAsUser("Combogd", "3"));
    ASSERT_TRUE(calc.selectAsUser("Combobwt", "2650"));
    ASSERT_TRUE(calc.selectAsUser("Combosex", "Male"));
    ASSERT_TRUE(calc.selectAsUser("Comboeth", "Pakistani"));
    ASSERT_TRUE(calc.selectAsUser("Combopar", "2"));
    EXPECT_EQ(
        calc.outputLabel().caption(),
        testing::expectedCaption(engine::Population::UnitedKingdom,
                                 {.bwt = 2650, .gestDays = 262, .wt = 98, .ht = 152, .sex = 1, .eth = 3, .par = 2}));
    EXPECT_EQ(calc.formGest(), 262.0 / 7);
    EXPECT_EQ(calc.formSex(), 1);
    EXPECT_EQ(calc.formEth(), 3);
    EXPECT_EQ(calc.formPar(), 2);
}

// Under a population name that is none of the five the run stops before the
// call, so the members show what was gathered.
void selectUnknownPopulation(Calc& calc)
{
    calc.combobase().addItem("Atlantis");
    calc.combobase().setText("Atlantis");  // from code: no switch runs
}

TEST(UpdateResult, GathersGestationAsWeeksTimesSevenPlusDays)
{
    Calc calc;
    selectUnknownPopulation(calc);
    ASSERT_TRUE(calc.selectAsUser("Combogw", "24"));
    ASSERT_TRUE(calc.selectAsUser("Combogd", "6"));
    EXPECT_EQ(calc.formGest(), 174);
}

TEST(UpdateResult, UnknownPopulationUpdatesMembersButNotEthnicCodeOrCaption)
{
    RecordingObserver observer;
    Calc calc;
    calc.addObserver(observer);
    selectUnknownPopulation(calc);
    calc.comboeth().setText("Indian");  // code 2 if it were read
    ASSERT_TRUE(calc.selectAsUser("Combobwt", "4000"));
    ASSERT_TRUE(calc.selectAsUser("Combosex", "Male"));
    ASSERT_TRUE(calc.selectAsUser("Combopar", "4 or more"));

    EXPECT_EQ(calc.formBwt(), 4000);
    EXPECT_EQ(calc.formGest(), 280);  // days: no method divided it
    EXPECT_EQ(calc.formWt(), 65);
    EXPECT_EQ(calc.formHt(), 165);
    EXPECT_EQ(calc.formSex(), 1);
    EXPECT_EQ(calc.formPar(), 4);
    EXPECT_EQ(calc.formEth(), 1);
    EXPECT_EQ(calc.outputLabel().caption(), "56");
    EXPECT_EQ(observer.outputWrites, 0);
}

TEST(UpdateResult, TextsThatMatchNothingGiveTheFallbackCodes)
{
    Calc calc;
    selectUnknownPopulation(calc);
    calc.combosex().addItem("male");
    calc.combosex().addItem("Male ");
    calc.combobwt().addItem("over 5000");
    ASSERT_TRUE(calc.selectAsUser("Combosex", "male"));
    EXPECT_EQ(calc.formSex(), 0);
    ASSERT_TRUE(calc.selectAsUser("Combosex", "Male "));
    EXPECT_EQ(calc.formSex(), 0);
    ASSERT_TRUE(calc.selectAsUser("Combosex", "Male"));
    EXPECT_EQ(calc.formSex(), 1);
    ASSERT_TRUE(calc.selectAsUser("Combobwt", "over 5000"));
    EXPECT_EQ(calc.formBwt(), 0);

    calc.combosex().clear();
    calc.combopar().clear();
    ASSERT_TRUE(calc.selectAsUser("Combobwt", "3500"));
    EXPECT_EQ(calc.formSex(), 0);  // empty text: female
    EXPECT_EQ(calc.formPar(), 4);  // empty text: four or more
}

TEST(UpdateResult, EmptyNumberTextsGiveZeroAndStillCompute)
{
    RecordingObserver observer;
    Calc calc;
    calc.addObserver(observer);
    calc.combobwt().clear();
    ASSERT_TRUE(calc.selectAsUser("Combosex", "Female"));
    EXPECT_EQ(calc.formBwt(), 0);
    EXPECT_EQ(observer.outputWrites, 1);
    EXPECT_EQ(calc.outputLabel().caption(), "0");
}

TEST(UpdateResult, UnitedKingdomOtherIsCodeTen)
{
    Calc calc;
    ASSERT_TRUE(calc.selectAsUser("Comboeth", "Other"));
    EXPECT_EQ(calc.formEth(), 10);
    EXPECT_EQ(calc.outputLabel().caption(),
              testing::expectedCaption(engine::Population::UnitedKingdom, testing::defaultInputs(10)));
}

TEST(UpdateResult, WriteBacksLandInTheMembers)
{
    Calc calc;
    ASSERT_TRUE(calc.selectAsUser("Combogw", "37"));
    EXPECT_EQ(calc.formGest(), 37);  // weeks, not 259 days
    EXPECT_EQ(calc.formHt(), 165);

    ASSERT_TRUE(calc.selectAsUser("Combobase", "Sweden"));
    EXPECT_EQ(calc.formGest(), 37);
    EXPECT_EQ(calc.formHt(), 165 - 167);  // the centred height

    // The next run gathers the height afresh before the method centres it again.
    ASSERT_TRUE(calc.selectAsUser("Combobase", "United Kingdom"));
    EXPECT_EQ(calc.formHt(), 165);
}

TEST(UpdateResult, ErrorsGoToTheSinkAndKeepTheCaption)
{
    // 400 digits: more than a double holds.
    const std::string huge(400, '9');
    // 309 digits: a double, but seven times it is not.
    const std::string large = "9" + std::string(308, '0');
    // A height whose term in the model is beyond a double.
    const std::string tall = "1" + std::string(308, '0');
    const struct {
        std::string_view list;
        std::string text;
        ErrorNumber number;
    } cases[] = {
        {"Combobwt", huge, ErrorNumber::Overflow},
        {"Combogw", large, ErrorNumber::Overflow},
        {"Comboht", tall, ErrorNumber::Overflow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list));
        ErrorLog errors;
        Calc calc(errors.sink());
        const std::string before = calc.list(c.list)->text();
        calc.list(c.list)->addItem(c.text);
        EXPECT_FALSE(calc.selectAsUser(c.list, c.text));
        ASSERT_EQ(errors.entries.size(), 1u);
        EXPECT_EQ(errors.entries[0].number, c.number);
        EXPECT_EQ(errors.entries[0].event, std::string(c.list) + " Click");
        EXPECT_EQ(calc.outputLabel().caption(), "56");
        // The form keeps working afterwards.
        EXPECT_TRUE(calc.selectAsUser(c.list, before));
        EXPECT_TRUE(calc.selectAsUser("Combobwt", "Over 5000"));
        EXPECT_EQ(calc.outputLabel().caption(), "100");
    }
}

}  // namespace
}  // namespace wrenfield::form

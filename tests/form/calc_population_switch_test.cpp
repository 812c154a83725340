// The population switch: the ethnic-group list of each population, its
// default, the codes the form passes, and the recomputation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc_test_support.h"
#include "engine/coefficient_set.h"
#include "form/calc.h"

namespace wrenfield::form {
namespace {

using engine::Population;
using testing::RecordingObserver;

struct PopulationCase {
    Population population;
    std::vector<std::string> entries;
    std::string_view defaultEntry;
    std::int16_t unmatchedCode;
};

const std::vector<PopulationCase>& populationCases()
{
    static const std::vector<PopulationCase> cases = {
        {Population::Australia, {"African", "European", "Indian/Pakistani", "Middle Eastern"}, "European", 1},
        {Population::NewZealand,
         {"Chinese", "European", "Indian", "Maori", "Samoan", "Tongan", "Other"},
         "European",
         7},
        {Population::Sweden,
         {"Scandinavian", "Abyssinian",  "Algerian",     "Bangladeshi",  "Chilean",   "Czechoslovakian",
          "Finnish",      "Gambian",     "Greek",        "Hungarian",    "Indian",    "Iranian",
          "Iraqi",        "Lebanese",    "Moroccon",     "N Vietnamese", "Pakistani", "Peruvian",
          "Phillipino",   "S Korean",    "S Vietnamese", "Somali",       "Syrian",    "Thai",
          "Turkish",      "Yugoslavian", "Other"},
         "Scandinavian",
         27},
        {Population::UnitedKingdom,
         {"African", "Afro-Caribbean", "Bangladeshi", "European", "Far East Asian", "Indian", "Middle Eastern",
          "Pakistani", "South East Asian", "Other"},
         "European",
         10},
        {Population::UnitedStates, {"African American", "European", "Hispanic", "Other"}, "European", 1},
    };
    return cases;
}

std::string nameOf(Population population)
{
    return std::string(engine::coefficients(population).name);
}

TEST(PopulationSwitch, RefillsTheEthnicListSelectsTheDefaultAndRecomputes)
{
    for (const PopulationCase& c : populationCases()) {
        SCOPED_TRACE(nameOf(c.population));
        RecordingObserver observer;
        Calc calc;
        ASSERT_TRUE(calc.selectAsUser("Combobwt", "3000"));
        calc.addObserver(observer);

        ASSERT_TRUE(calc.selectAsUser("Combobase", nameOf(c.population)));
        EXPECT_EQ(std::vector<std::string>(calc.comboeth().entries().begin(), calc.comboeth().entries().end()),
                  c.entries);
        EXPECT_EQ(calc.comboeth().text(), c.defaultEntry);
        EXPECT_EQ(observer.ethnicClears, 1);
        EXPECT_EQ(observer.outputWrites, 1);
        EXPECT_EQ(calc.formEth(), 1);  // every default is the reference group
        engine::CentileInputs inputs = testing::defaultInputs();
        inputs.bwt = 3000;
        EXPECT_EQ(calc.outputLabel().caption(), testing::expectedCaption(c.population, inputs));
        // The other lists are untouched.
        EXPECT_EQ(calc.combobwt().text(), "3000");
        EXPECT_EQ(calc.combosex().text(), "Female");
        EXPECT_EQ(calc.text1().text(), "United Kingdom");
    }
}

TEST(PopulationSwitch, EveryEntryHasTheCodeOfItsGroupAndComputesWithIt)
{
    for (const PopulationCase& c : populationCases()) {
        SCOPED_TRACE(nameOf(c.population));
        Calc calc;
        ASSERT_TRUE(calc.selectAsUser("Combobase", nameOf(c.population)));
        for (const std::string& entry : c.entries) {
            SCOPED_TRACE(entry);
            ASSERT_TRUE(calc.selectAsUser("Comboeth", entry));
            const engine::EthnicGroup* group = engine::ethnicGroupByName(engine::coefficients(c.population), entry);
            ASSERT_NE(group, nullptr);
            EXPECT_EQ(calc.formEth(), group->code);
            EXPECT_EQ(calc.outputLabel().caption(),
                      testing::expectedCaption(c.population, testing::defaultInputs(group->code)));
        }
    }
}

TEST(PopulationSwitch, AnUnlistedEthnicTextTakesThePopulationsFallbackNotAnEarlierCode)
{
    for (const PopulationCase& c : populationCases()) {
        SCOPED_TRACE(nameOf(c.population));
        Calc calc;
        ASSERT_TRUE(calc.selectAsUser("Combobase", nameOf(c.population)));
        // An earlier run leaves the code of the list's second entry behind.
        ASSERT_TRUE(calc.selectAsUser("Comboeth", c.entries[1]));
        calc.comboeth().addItem("Unrecorded");
        ASSERT_TRUE(calc.selectAsUser("Comboeth", "Unrecorded"));
        EXPECT_EQ(calc.formEth(), c.unmatchedCode);
        // An empty text does the same.
        calc.comboeth().clear();
        ASSERT_TRUE(calc.selectAsUser("Combosex", "Male"));
        EXPECT_EQ(calc.formEth(), c.unmatchedCode);
    }
}

TEST(PopulationSwitch, SwitchingAgainResetsTheEthnicSelection)
{
    Calc calc;
    ASSERT_TRUE(calc.selectAsUser("Comboeth", "Indian"));
    EXPECT_EQ(calc.formEth(), 2);
    ASSERT_TRUE(calc.selectAsUser("Combobase", "United Kingdom"));
    EXPECT_EQ(calc.comboeth().text(), "European");
    EXPECT_EQ(calc.formEth(), 1);
    EXPECT_EQ(calc.outputLabel().caption(), "56");
}

TEST(PopulationSwitch, WithNoPopulationSelectedNothingChanges)
{
    RecordingObserver observer;
    Calc calc;
    ASSERT_TRUE(calc.selectAsUser("Comboeth", "Indian"));
    const std::string caption = calc.outputLabel().caption();
    calc.combobase().clear();
    calc.addObserver(observer);
    EXPECT_TRUE(calc.raiseClick(calc.combobase()));
    EXPECT_TRUE(observer.events.empty());
    EXPECT_EQ(calc.comboeth().text(), "Indian");
    EXPECT_EQ(calc.outputLabel().caption(), caption);
}

}  // namespace
}  // namespace wrenfield::form

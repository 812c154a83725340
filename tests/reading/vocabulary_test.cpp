// The input vocabulary every front end shares: each form of each field, the
// units, the missing markers and the decimal comma.
#include "reading/vocabulary.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "reading/group_names.h"
#include "reading/input_text.h"

namespace wrenfield::reading {
namespace {

using engine::Population;

struct FieldCase {
    InputField field;
    const char* text;
    FieldStatus status;
    double value;           // for a value
    const char* errorPart;  // for an invalid text: part of its error
};

void check(const FieldCase& c, const InputDialect& dialect, Population population = Population::UnitedKingdom)
{
    FieldReading reading = readField(c.field, engine::coefficients(population), c.text, dialect);
    SCOPED_TRACE(std::string(inputFieldName(c.field)) + " \"" + c.text + "\"");
    EXPECT_EQ(reading.status, c.status) << reading.error;
    if (c.status == FieldStatus::Value) {
        EXPECT_EQ(reading.value, c.value);
    }
    if (c.status == FieldStatus::Invalid) {
        EXPECT_NE(reading.error.find(c.errorPart), std::string::npos) << reading.error;
    }
}

constexpr auto V = FieldStatus::Value;
constexpr auto M = FieldStatus::Missing;
constexpr auto X = FieldStatus::Invalid;

TEST(Vocabulary, EachFormOfEachField)
{
    const FieldCase cases[] = {
        // Numbers as the methods read them, in the field's unit.
        {InputField::Bwt, "3400", V, 3400, ""},
        {InputField::Bwt, " 3400 ", V, 3400, ""},
        {InputField::Bwt, "3.4e3", V, 3400, ""},
        {InputField::Bwt, "-3400", V, -3400, ""},  // a number: the rules of admission refuse it
        {InputField::Bwt, "inf", V, std::numeric_limits<double>::infinity(), ""},
        {InputField::Sex, "-Infinity", V, -std::numeric_limits<double>::infinity(), ""},
        {InputField::Bwt, "1e309", X, 0, "number too large"},
        {InputField::Bwt, "abc", X, 0, "not a number: \"abc\""},
        {InputField::Bwt, "3,400", X, 0, "not a number"},
        // Units: the same birthweight every way it is written.
        {InputField::Bwt, "3400g", V, 3400, ""},
        {InputField::Bwt, "3400 g", V, 3400, ""},
        {InputField::Bwt, "3.4kg", V, 3400, ""},
        {InputField::Bwt, "3.4 KG", V, 3400, ""},
        {InputField::Bwt, "7lb8oz", V, 7 * 453.59237 + 8 * 28.349523125, ""},
        {InputField::Bwt, "7 lb 8 oz", V, 7 * 453.59237 + 8 * 28.349523125, ""},
        {InputField::Bwt, "7.5lbs", V, 7.5 * 453.59237, ""},
        {InputField::Bwt, "7lb16oz", X, 0, "oz must be below 16"},
        {InputField::Bwt, "3.4m", X, 0, "unknown unit \"m\""},
        {InputField::Bwt, "3.4 parsecs", X, 0, "unknown unit"},
        {InputField::Bwt, "7oz8lb", X, 0, "do not go together"},
        {InputField::Wt, "64kg", V, 64, ""},
        {InputField::Wt, "140lb", V, 140 * 453.59237 / 1000, ""},
        {InputField::Wt, "10st2lb", V, 10 * 6350.29318 / 1000 + 2 * 453.59237 / 1000, ""},
        {InputField::Wt, "10 st", V, 10 * 6350.29318 / 1000, ""},
        {InputField::Wt, "64000g", V, 64, ""},
        {InputField::Ht, "163cm", V, 163, ""},
        {InputField::Ht, "1.63m", V, 163, ""},
        {InputField::Ht, "1630mm", V, 163, ""},
        {InputField::Ht, "5ft4in", V, 64 * 2.54, ""},
        {InputField::Ht, "5'4\"", V, 64 * 2.54, ""},
        {InputField::Ht, "5ft12in", X, 0, "in must be below 12"},
        {InputField::Ht, "64kg", X, 0, "unknown unit \"kg\""},
        // Gestation: days or weeks+days.
        {InputField::Gest, "280", V, 280, ""},
        {InputField::Gest, "39+4", V, 277, ""},
        {InputField::Gest, "40+0", V, 280, ""},
        {InputField::Gest, "39+7", X, 0, "days 0 to 6"},
        {InputField::Gest, "39.5+1", X, 0, "weeks+days"},
        {InputField::Gest, "forty", X, 0, "weeks+days"},
        // Sex, group and parity by name or code.
        {InputField::Sex, "Male", V, 1, ""},
        {InputField::Sex, "m", V, 1, ""},
        {InputField::Sex, "FEMALE", V, 0, ""},
        {InputField::Sex, "f", V, 0, ""},
        {InputField::Sex, "2", V, 2, ""},
        {InputField::Sex, "9", V, 9, ""},  // computed with the female term, and flagged
        {InputField::Sex, "boy", X, 0, "expected Male, Female"},
        {InputField::Eth, "European", V, 1, ""},
        {InputField::Eth, "middle eastern", V, 7, ""},
        {InputField::Eth, "Other", V, 10, ""},
        {InputField::Eth, "99", V, 99, ""},  // computed with the "other" term, and flagged
        {InputField::Eth, "Maori", X, 0, "not an ethnic group of United Kingdom: \"Maori\" (groups: 1 European"},
        {InputField::Par, "0", V, 0, ""},
        {InputField::Par, "4 or more", V, 4, ""},
        {InputField::Par, "4 OR MORE", V, 4, ""},
        {InputField::Par, "4+", V, 4, ""},
        {InputField::Par, "7", V, 7, ""},
        {InputField::Par, "many", X, 0, "\"4 or more\""},
        // Missing markers, in any case and with blanks around them.
        {InputField::Bwt, "", M, 0, ""},
        {InputField::Gest, "  ", M, 0, ""},
        {InputField::Wt, "NA", M, 0, ""},
        {InputField::Ht, "na", M, 0, ""},
        {InputField::Sex, "NaN", M, 0, ""},
        {InputField::Eth, ".", M, 0, ""},
        {InputField::Par, " NA ", M, 0, ""},
    };
    for (const FieldCase& c : cases)
        check(c, InputDialect{});
}

TEST(Vocabulary, GroupNamesArePerPopulation)
{
    check({InputField::Eth, "maori", V, 3, ""}, {}, Population::NewZealand);
    check({InputField::Eth, "Phillipino", V, 7, ""}, {}, Population::Sweden);
    check({InputField::Eth, "indian/pakistani", V, 2, ""}, {}, Population::Australia);
    check({InputField::Eth, "European", X, 0, "not an ethnic group of Sweden"}, {}, Population::Sweden);
}

// The spellings people type: the macron of New Zealand's own spelling, a
// decomposed macron, capitals, other marks between the words, the usual
// spelling of a name the list writes its own way; never a name of another
// population's list, and never a word that merely contains a group's name.
TEST(Vocabulary, GroupNamesAsPeopleTypeThem)
{
    struct Case {
        Population population;
        const char* text;
        double code;  // 0: not a group of the population
    } cases[] = {
        {Population::NewZealand, "M\u0101ori", 3},
        {Population::NewZealand, "M\u0100ORI", 3},
        {Population::NewZealand, "Ma\u0304ori", 3},
        {Population::NewZealand, " maori ", 3},
        {Population::NewZealand, "NZ European", 1},
        {Population::UnitedKingdom, "south-east asian", 9},
        {Population::UnitedKingdom, "Afro Caribbean", 5},
        {Population::UnitedKingdom, "SE Asian", 9},
        {Population::Sweden, "Filipino", 7},
        {Population::Sweden, "S. Korean", 14},
        {Population::Sweden, "South Korean", 14},
        {Population::Sweden, "Moroccan", 16},
        {Population::Australia, "Pakistani", 2},
        {Population::Australia, "Indian / Pakistani", 2},
        {Population::UnitedKingdom, "M\u0101ori", 0},
        {Population::Sweden, "Korean", 0},
        {Population::NewZealand, "Maoris", 0},
        {Population::UnitedKingdom, "\u00e9", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const engine::CoefficientSet& set = engine::coefficients(c.population);
        const engine::EthnicGroup* group = ethnicGroupBySpelling(set, c.text);
        if (c.code == 0) {
            EXPECT_EQ(group, nullptr);
            check({InputField::Eth, c.text, X, 0, "not an ethnic group of"}, {}, c.population);
        } else {
            ASSERT_NE(group, nullptr);
            EXPECT_EQ(group->code, c.code);
            check({InputField::Eth, c.text, V, c.code, ""}, {}, c.population);
        }
    }
    EXPECT_EQ(groupNameKey("Indian / Pakistani"), "indianpakistani");
    EXPECT_EQ(groupNameKey("\u00c6s\u00f8 Stra\u00dfe"), "aesostrasse");
}

TEST(Vocabulary, DialectOptions)
{
    InputDialect dialect;
    dialect.decimalComma = true;
    dialect.missingMarkers = {"-99", "missing"};
    dialect.bwtUnit = Unit::Kilograms;
    dialect.wtUnit = Unit::Pounds;
    dialect.htUnit = Unit::Metres;
    const FieldCase cases[] = {
        {InputField::Bwt, "3,4", V, 3400, ""},    // bare kilograms, decimal comma
        {InputField::Bwt, "3.4", V, 3400, ""},    // a point still reads
        {InputField::Bwt, "3400g", V, 3400, ""},  // an explicit unit wins
        {InputField::Wt, "140", V, 140 * 453.59237 / 1000, ""},
        {InputField::Ht, "1,63", V, 163, ""},
        {InputField::Ht, "1.234,5", X, 0, ""},
        {InputField::Gest, "280", V, 280, ""},
        {InputField::Sex, "-99", M, 0, ""},
        {InputField::Par, "Missing", M, 0, ""},
        {InputField::Par, "", M, 0, ""},                 // the empty text always
        {InputField::Par, "NA", X, 0, "\"4 or more\""},  // no longer a marker
    };
    for (const FieldCase& c : cases)
        check(c, dialect);

    // A bare number given as a number, in the dialect's unit, is what its text gives.
    for (auto [kilograms, text] : {std::pair{3.4, "3.4"}, {0.1, "0.1"}, {2.675, "2.675"}, {7.3, "7,3"}})
        EXPECT_EQ(numberField(InputField::Bwt, kilograms, dialect).value,
                  readField(InputField::Bwt, engine::coefficients(Population::UnitedKingdom), text, dialect).value)
            << text;
    EXPECT_EQ(numberField(InputField::Ht, 1.63, dialect).value, 163);
    EXPECT_EQ(numberField(InputField::Sex, std::nan(""), dialect).status, M);
}

TEST(Vocabulary, UnitChoices)
{
    EXPECT_EQ(chooseUnit(InputField::Bwt, "kg").unit, Unit::Kilograms);
    EXPECT_EQ(chooseUnit(InputField::Wt, "st").unit, Unit::Stones);
    EXPECT_EQ(chooseUnit(InputField::Ht, "IN").unit, Unit::Inches);
    EXPECT_FALSE(chooseUnit(InputField::Ht, "kg").unit);
    EXPECT_FALSE(chooseUnit(InputField::Gest, "days").unit);
    EXPECT_NE(chooseUnit(InputField::Bwt, "furlong").error.find("(g, kg, lb, oz, st)"), std::string::npos);
}

TEST(Vocabulary, ABirthReadWhole)
{
    BirthTexts texts{{"3.4kg", "39+4", "NA", "abc", "Male", "Maori", "0"}, std::string_view("nz")};
    BirthReading birth = readBirthTexts(texts, Population::UnitedKingdom);
    EXPECT_EQ(birth.population, Population::NewZealand);
    EXPECT_FALSE(birth.complete());
    EXPECT_EQ(birth.fields[2].status, M);
    EXPECT_EQ(birth.fields[3].error, "not a number: \"abc\"");
    EXPECT_EQ(birth.fields[5].value, 3);

    BirthReading unknown =
        readBirthTexts({{"1", "1", "1", "1", "1", "1", "1"}, std::string_view("Narnia")}, Population::UnitedKingdom);
    EXPECT_FALSE(unknown.population);
    EXPECT_NE(unknown.populationError.find("unknown population \"Narnia\""), std::string::npos);

    BirthReading typical =
        readBirthTexts({{"3400", "280", "64", "163", "1", "1", "0"}, std::nullopt}, Population::Sweden);
    ASSERT_TRUE(typical.complete());
    EXPECT_EQ(typical.population, Population::Sweden);
    EXPECT_EQ(typical.inputs().gestDays, 280);
}

TEST(Vocabulary, EchoTexts)
{
    const engine::CoefficientSet& uk = engine::coefficients(Population::UnitedKingdom);
    EXPECT_EQ(gestationText(277), "277 days (39+4)");
    EXPECT_EQ(gestationText(277.5), "277.5 days");
    EXPECT_EQ(sexText(1), "Male (1)");
    EXPECT_EQ(sexText(2), "Female (2)");
    EXPECT_EQ(sexText(9), "9 (female term)");
    EXPECT_EQ(ethnicGroupText(uk, 7), "Middle Eastern (7)");
    EXPECT_EQ(ethnicGroupText(uk, 99), "99 (no group of United Kingdom)");
    EXPECT_EQ(parityText(2), "2");
    EXPECT_EQ(parityText(4), "4 or more");
    EXPECT_EQ(parityText(7), "4 or more (7)");
    EXPECT_EQ(measurementText(3401.942358), "3401.94");
    EXPECT_EQ(measurementText(64), "64");
    for (auto [centile, text] : {std::pair{38.2216410463, "38"},
                                 {47.5, "48"},
                                 {47.49, "47"},
                                 {0.5, "1"},
                                 {100.0000055, "100"},
                                 {-0.0000055, "0"},
                                 {99.5, "100"}})
        EXPECT_EQ(roundedCentileText(centile), text) << centile;
}

TEST(Vocabulary, Populations)
{
    struct Case {
        const char* text;
        Population population;
    } cases[] = {
        {"United Kingdom", Population::UnitedKingdom},
        {"uk", Population::UnitedKingdom},
        {"united kingdom", Population::UnitedKingdom},
        {"US", Population::UnitedStates},
        {"Sweden", Population::Sweden},
        {"se", Population::Sweden},
        {"NEW ZEALAND", Population::NewZealand},
        {"au", Population::Australia},
        {" Sweden ", Population::Sweden},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readPopulation(c.text).population, c.population) << c.text;
    for (const char* bad : {"Narnia", "", "gb", "UnitedKingdom", "2"}) {
        const PopulationReading reading = readPopulation(bad);
        EXPECT_FALSE(reading.population) << bad;
        EXPECT_NE(reading.error.find("choose \"United Kingdom\" (uk)"), std::string::npos) << reading.error;
    }
}

}  // namespace
}  // namespace wrenfield::reading

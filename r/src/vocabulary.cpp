// What the package shows of the reading layer's vocabulary: the populations
// with their aliases and groups, a population's name read, the band
// thresholds and labels, the units of bare numbers, the names of the inputs
// and of the result's fields, and the constants of a coefficient set.
#include <Rcpp.h>

#include <string>

#include "engine/batch_kernel.h"
#include "engine/coefficient_set.h"
#include "r_texts.h"
#include "reading/band.h"
#include "reading/fields.h"
#include "reading/population_choice.h"
#include "reading/vocabulary.h"

namespace {

namespace engine = wrenfield::engine;
namespace reading = wrenfield::reading;

Rcpp::CharacterVector texts(std::initializer_list<std::string> values)
{
    Rcpp::CharacterVector out(static_cast<R_xlen_t>(values.size()));
    R_xlen_t i = 0;
    for (const std::string& value : values)
        out[i++] = wrenfield::r::utf8Text(value);
    return out;
}

SEXP text(std::string_view value)
{
    return Rcpp::CharacterVector::create(wrenfield::r::utf8Text(value));
}

SEXP noText()
{
    return Rcpp::CharacterVector::create(NA_STRING);
}

const engine::CoefficientSet& setOf(int population)
{
    if (population < 0 || population >= static_cast<int>(engine::kPopulationCount))
        Rcpp::stop("population: expected a code from 0 to 4");
    return engine::coefficients(static_cast<engine::Population>(population));
}

}  // namespace

// The five populations in the order of the control's methods.
// [[Rcpp::export(name = ".populations")]]
Rcpp::List populations()
{
    Rcpp::CharacterVector name, alias, method;
    for (const engine::CoefficientSet& set : engine::allCoefficientSets()) {
        name.push_back(wrenfield::r::utf8Text(set.name));
        alias.push_back(wrenfield::r::utf8Text(reading::populationAlias(set.population)));
        method.push_back(wrenfield::r::utf8Text(set.methodName));
    }
    return Rcpp::List::create(Rcpp::Named("name") = name, Rcpp::Named("alias") = alias, Rcpp::Named("method") = method);
}

// [[Rcpp::export(name = ".ethnic_groups")]]
Rcpp::List ethnicGroups(int population)
{
    const engine::CoefficientSet& set = setOf(population);
    Rcpp::IntegerVector code;
    Rcpp::CharacterVector name;
    for (const engine::EthnicGroup& group : set.ethnicGroups) {
        code.push_back(group.code);
        name.push_back(wrenfield::r::utf8Text(group.name));
    }
    return Rcpp::List::create(Rcpp::Named("code") = code, Rcpp::Named("name") = name);
}

// The code (0 to 4) of a population's name or alias in any case, or NA and
// the reason there is none.
// [[Rcpp::export(name = ".read_population")]]
Rcpp::List readPopulation(Rcpp::CharacterVector name)
{
    reading::PopulationReading named = reading::readPopulation(wrenfield::r::utf8(STRING_ELT(name, 0)));
    if (named.population)
        return Rcpp::List::create(Rcpp::Named("code") = static_cast<int>(*named.population),
                                  Rcpp::Named("error") = noText());
    return Rcpp::List::create(Rcpp::Named("code") = NA_INTEGER, Rcpp::Named("error") = text(named.error));
}

// The four band thresholds that the SGA and LGA centiles give, by the one
// rule of every front end, or why they cannot be used.
// [[Rcpp::export(name = ".thresholds_for")]]
Rcpp::List thresholdsFor(double sga, double lga)
{
    reading::ThresholdChoice choice = reading::thresholdsFor(sga, lga);
    if (!choice.thresholds)
        return Rcpp::List::create(Rcpp::Named("thresholds") = R_NilValue, Rcpp::Named("error") = text(choice.error));
    const reading::BandThresholds& t = *choice.thresholds;
    return Rcpp::List::create(Rcpp::Named("thresholds") =
                                  Rcpp::NumericVector::create(t.verySmall, t.sga, t.lga, t.veryLarge),
                              Rcpp::Named("error") = noText());
}

// For each of the five bands (below the 3rd, SGA, AGA, LGA, above the 97th):
// its code, label and words; or why the thresholds cannot be used.
// [[Rcpp::export(name = ".band_texts")]]
Rcpp::List bandTexts(Rcpp::NumericVector thresholds)
{
    if (thresholds.size() != 4)
        Rcpp::stop("expected four thresholds");
    reading::BandThresholds t{thresholds[0], thresholds[1], thresholds[2], thresholds[3]};
    if (auto problem = reading::thresholdProblem(t))
        return Rcpp::List::create(Rcpp::Named("error") = text(*problem));
    Rcpp::CharacterVector code, label, words;
    for (auto band : {reading::Band::VerySmall, reading::Band::Small, reading::Band::Appropriate, reading::Band::Large,
                      reading::Band::VeryLarge}) {
        code.push_back(wrenfield::r::utf8Text(reading::bandCode(band)));
        label.push_back(wrenfield::r::utf8Text(reading::bandLabel(band, t)));
        words.push_back(wrenfield::r::utf8Text(reading::bandWords(band, t)));
    }
    return Rcpp::List::create(Rcpp::Named("band") = code, Rcpp::Named("band_label") = label,
                              Rcpp::Named("band_words") = words, Rcpp::Named("error") = noText());
}

// Why `unit` cannot be the unit of the bare numbers of `field`, or NA.
// [[Rcpp::export(name = ".unit_problem")]]
SEXP unitProblem(std::string field, Rcpp::CharacterVector unit)
{
    auto input = reading::inputFieldFromName(field);
    if (!input)
        return text(field + " is not an input");
    reading::UnitChoice choice = reading::chooseUnit(*input, wrenfield::r::utf8(STRING_ELT(unit, 0)));
    if (choice.unit)
        return noText();
    return text(choice.error);
}

// The seven inputs' names, in the order the population methods take them.
// [[Rcpp::export(name = ".input_names")]]
Rcpp::CharacterVector inputNames()
{
    Rcpp::CharacterVector out;
    for (std::string_view name : reading::kInputColumns)
        out.push_back(wrenfield::r::utf8Text(name));
    return out;
}

// The fields a row can add as columns, in snake_case, in their order.
// [[Rcpp::export(name = ".column_fields")]]
Rcpp::CharacterVector columnFields()
{
    Rcpp::CharacterVector out;
    for (reading::ResultField field : reading::kColumnFields)
        out.push_back(wrenfield::r::utf8Text(reading::snakeCase(reading::fieldName(field))));
    return out;
}

// The constants of one population's set and the model's shared ones, for
// readers and for the benchmark's base-R evaluation of the same formulas.
// [[Rcpp::export(name = ".coefficient_set")]]
Rcpp::List coefficientSet(int population)
{
    const engine::CoefficientSet& set = setOf(population);
    static const char* const forms[] = {"linear", "linear_minus_cube", "nested_cube"};
    Rcpp::IntegerVector groupCode;
    Rcpp::NumericVector groupTerm;
    for (const engine::EthnicGroup& group : set.ethnicGroups) {
        if (!group.term)
            continue;
        groupCode.push_back(group.code);
        groupTerm.push_back(*group.term);
    }
    return Rcpp::List::create(
        Rcpp::Named("name") = text(set.name), Rcpp::Named("constant") = set.constant,
        Rcpp::Named("weight") =
            Rcpp::NumericVector::create(set.weightCentre, set.weightLinear, set.weightSquare, set.weightCube),
        Rcpp::Named("height") = Rcpp::NumericVector::create(set.heightCentre, set.heightLinear, set.heightCube),
        Rcpp::Named("height_form") = forms[static_cast<int>(set.heightForm)],
        Rcpp::Named("sex") = Rcpp::NumericVector::create(set.sexMale, set.sexOther),
        Rcpp::Named("ethnic_code") = groupCode, Rcpp::Named("ethnic_term") = groupTerm,
        Rcpp::Named("ethnic_other") = set.ethnicOther,
        Rcpp::Named("parity") =
            Rcpp::NumericVector::create(set.parity[0], set.parity[1], set.parity[2], set.parity[3], set.parityOther),
        Rcpp::Named("coefficient_of_variation") = set.coefficientOfVariation,
        Rcpp::Named("clamp") =
            Rcpp::NumericVector::create(engine::kTermWeightLowerClamp, engine::kTermWeightUpperClamp),
        Rcpp::Named("proportion") = Rcpp::NumericVector::create(engine::kProportionC0, engine::kProportionC1,
                                                                engine::kProportionC2, engine::kProportionC3),
        Rcpp::Named("slices") = engine::kIntegrationSlices, Rcpp::Named("slice_divisor") = engine::kSliceDivisor,
        Rcpp::Named("density_divisor") = engine::kDensityDivisor);
}

// [[Rcpp::export(name = ".simd_level")]]
std::string simdLevel()
{
    return std::string(engine::simdLevelName(engine::bestSimdLevel()));
}

// [[Rcpp::export(name = ".coefficient_set_version")]]
std::string coefficientSetVersion()
{
    return std::string(engine::kCoefficientSetVersion);
}

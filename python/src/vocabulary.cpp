// What the package shows of the reading layer's vocabulary: the populations
// with their aliases and groups, a population's name read, the constants of
// a coefficient set, and the names of the result's fields.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "bindings.h"
#include "engine/coefficient_set.h"
#include "reading/band.h"
#include "reading/fields.h"
#include "reading/population_choice.h"
#include "reading/vocabulary.h"

namespace py = pybind11;

namespace wrenfield::python {

namespace {

py::list populations()
{
    py::list list;
    for (const engine::CoefficientSet& set : engine::allCoefficientSets()) {
        py::list groups;
        for (const engine::EthnicGroup& group : set.ethnicGroups)
            groups.append(py::make_tuple(group.code, std::string(group.name)));
        py::dict entry;
        entry["code"] = static_cast<int>(set.population);
        entry["name"] = std::string(set.name);
        entry["alias"] = std::string(reading::populationAlias(set.population));
        entry["method"] = std::string(set.methodName);
        entry["groups"] = groups;
        list.append(entry);
    }
    return list;
}

// The constants of one population's set, for readers and for the benchmark's
// numpy evaluation of the same formulas.
py::dict coefficientSet(int population)
{
    if (population < 0 || population >= static_cast<int>(engine::kPopulationCount))
        throw py::value_error("population: expected a code from 0 to 4");
    const engine::CoefficientSet& set = engine::coefficients(static_cast<engine::Population>(population));
    static const char* const forms[] = {"linear", "linear_minus_cube", "nested_cube"};
    py::list groups;
    for (const engine::EthnicGroup& group : set.ethnicGroups)
        groups.append(py::make_tuple(group.code, std::string(group.name),
                                     group.term ? py::object(py::float_(*group.term)) : py::object(py::none())));
    py::dict d;
    d["name"] = std::string(set.name);
    d["constant"] = set.constant;
    d["weight_centre"] = set.weightCentre;
    d["weight_linear"] = set.weightLinear;
    d["weight_square"] = set.weightSquare;
    d["weight_cube"] = set.weightCube;
    d["height_centre"] = set.heightCentre;
    d["height_linear"] = set.heightLinear;
    d["height_cube"] = set.heightCube;
    d["height_form"] = forms[static_cast<int>(set.heightForm)];
    d["sex_male"] = set.sexMale;
    d["sex_other"] = set.sexOther;
    d["ethnic_groups"] = groups;
    d["ethnic_other"] = set.ethnicOther;
    d["parity"] = py::make_tuple(set.parity[0], set.parity[1], set.parity[2], set.parity[3]);
    d["parity_other"] = set.parityOther;
    d["coefficient_of_variation"] = set.coefficientOfVariation;
    d["term_weight_clamp"] = py::make_tuple(engine::kTermWeightLowerClamp, engine::kTermWeightUpperClamp);
    d["proportion"] =
        py::make_tuple(engine::kProportionC0, engine::kProportionC1, engine::kProportionC2, engine::kProportionC3);
    d["slices"] = engine::kIntegrationSlices;
    d["slice_divisor"] = engine::kSliceDivisor;
    d["density_divisor"] = engine::kDensityDivisor;
    return d;
}

// The code of a population name or alias (any case), or the reason there is none.
py::tuple readPopulation(std::string_view text)
{
    reading::PopulationReading named = reading::readPopulation(text);
    if (named.population)
        return py::make_tuple(static_cast<int>(*named.population), py::none());
    return py::make_tuple(py::none(), named.error);
}

// The centiles as every front end shows them beside their bands ("56",
// "9.9"), None where there is no centile (NaN).
py::list centileTexts(const py::array_t<double, py::array::forcecast>& centiles, const std::array<double, 4>& t)
{
    const reading::BandThresholds thresholds{t[0], t[1], t[2], t[3]};
    if (auto problem = reading::thresholdProblem(thresholds))
        throw py::value_error(*problem);
    const auto values = centiles.unchecked<1>();
    py::list texts;
    for (py::ssize_t i = 0; i < values.shape(0); ++i) {
        if (std::isnan(values(i)))
            texts.append(py::none());
        else
            texts.append(reading::centileText(values(i), thresholds));
    }
    return texts;
}

}  // namespace

void bindVocabulary(py::module_& module)
{
    module.def("populations", &populations,
               "The five populations in slot order: code, name, alias, method and (code, name) of each group.");
    module.def("coefficient_set", &coefficientSet, py::arg("population"),
               "The constants of one population's coefficient set (code 0 to 4), and the model's shared ones.");
    module.def("read_population", &readPopulation, py::arg("text"),
               "(code 0 to 4, None) for a population name or alias in any case, or (None, why not).");
    module.def("centile_texts", &centileTexts, py::arg("centiles"), py::arg("thresholds"),
               "Each centile (one dimension, NaN for none) as every front end shows it beside its band: the whole\n"
               "number, halves up, or one decimal on the band's side where the whole number would contradict\n"
               "the band (9.911, SGA: \"9.9\"); None for NaN. thresholds: the 3rd, SGA, LGA and 97th.");
    module.def(
        "result_fields",
        [] {
            py::list names;
            for (reading::ResultField field : reading::kRecordFields)
                names.append(std::string(reading::fieldName(field)));
            for (reading::ResultField field : {reading::ResultField::Error, reading::ResultField::Field})
                names.append(std::string(reading::fieldName(field)));
            return names;
        },
        "The names of the result's fields, as JSON writes them (camelCase), in the record's order, then error and "
        "field; the package's keys and columns are the same names in snake_case.");
    module.def(
        "column_fields",
        [] {
            py::list names;
            for (reading::ResultField field : reading::kColumnFields)
                names.append(reading::snakeCase(reading::fieldName(field)));
            return names;
        },
        "The fields a row can add as columns, in snake_case, in their order.");
}

}  // namespace wrenfield::python

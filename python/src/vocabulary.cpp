// The words a user writes for the inputs, as the command line reads them:
// the populations with their aliases and groups, the texts of a column
// (names or codes, weeks+days), and the one-record exact call.
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
#include "engine/band.h"
#include "engine/coefficient_set.h"
#include "engine/plausibility.h"
#include "platform/numeric_text.h"
#include "tabular/calc_inputs.h"
#include "tabular/population_choice.h"
#include "tabular/vocabulary.h"

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
        entry["alias"] = std::string(tabular::populationAlias(set.population));
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
    d["proportion"] = py::make_tuple(engine::kProportionC0, engine::kProportionC1, engine::kProportionC2,
                                     engine::kProportionC3);
    d["slices"] = engine::kIntegrationSlices;
    d["slice_divisor"] = engine::kSliceDivisor;
    d["density_divisor"] = engine::kDensityDivisor;
    return d;
}

// The code of a population name or alias (any case), or the reason there is none.
py::tuple readPopulation(std::string_view text)
{
    tabular::PopulationReading reading = tabular::readPopulation(text);
    if (reading.population)
        return py::make_tuple(static_cast<int>(*reading.population), py::none());
    return py::make_tuple(py::none(), reading.error);
}

// An argument of calc() as the text the command line would receive.
std::string argumentText(const py::handle& value)
{
    if (py::isinstance<py::str>(value))
        return value.cast<std::string>();
    if (py::isinstance<py::bool_>(value))
        throw py::type_error("expected a number or a text, not a bool");
    if (py::isinstance<py::int_>(value))
        return py::str(value).cast<std::string>();
    if (py::isinstance<py::float_>(value) || py::hasattr(value, "__float__"))
        return shortestText(value.cast<double>());
    throw py::type_error("expected a number or a text, not " + std::string(py::str(py::type::of(value))));
}

template <typename Parse>
auto parsed(const char* name, const py::handle& value, Parse parse)
{
    try {
        return parse(argumentText(value));
    } catch (const tabular::ValueError& error) {
        throw py::value_error(std::string(name) + ": " + error.what());
    } catch (const py::type_error& error) {
        throw py::type_error(std::string(name) + ": " + error.what());
    }
}

py::dict calc(const py::object& population, const py::object& bwt, const py::object& gest, const py::object& wt,
              const py::object& ht, const py::object& sex, const py::object& eth, const py::object& par,
              const std::array<double, 4>& t)
{
    engine::BandThresholds thresholds{t[0], t[1], t[2], t[3]};
    if (auto problem = engine::thresholdProblem(thresholds))
        throw py::value_error("thresholds: " + *problem);
    tabular::CalcInputs inputs;
    inputs.population = parsed("population", population, tabular::parsePopulation);
    // Each value as `custcent calc` reads its option: a number in the field's
    // unit, a value with its unit ("3.4kg", "5ft4in"), "39+4", a name or a code.
    const engine::CoefficientSet& set = engine::coefficients(inputs.population);
    auto field = [&set](tabular::InputField which) {
        return [&set, which](std::string_view text) { return tabular::parseField(which, set, text); };
    };
    inputs.bwt = parsed("bwt", bwt, field(tabular::InputField::Bwt));
    inputs.gestDays = parsed("gest", gest, field(tabular::InputField::Gest));
    inputs.wt = parsed("wt", wt, field(tabular::InputField::Wt));
    inputs.ht = parsed("ht", ht, field(tabular::InputField::Ht));
    inputs.sex = parsed("sex", sex, field(tabular::InputField::Sex));
    inputs.eth = parsed("eth", eth, field(tabular::InputField::Eth));
    inputs.par = parsed("par", par, field(tabular::InputField::Par));

    tabular::CalcResult result = [&] {
        py::gil_scoped_release unlocked;
        return tabular::calculate(inputs, thresholds);
    }();
    py::list flags;
    for (const engine::Flag& flag : result.flags)
        flags.append(flag.text);
    const engine::CentileDetail& d = result.detail;
    py::dict out;
    out["population"] = std::string(set.name);
    out["centile"] = result.centile;
    out["rounded"] = py::int_(py::str(tabular::roundedCentileText(result.centile)));
    out["term_weight"] = d.termWeight;
    out["weeks"] = d.weeks;
    out["proportion"] = d.proportion;
    out["expected_weight"] = d.expected;
    out["spread"] = d.spread;
    out["z"] = d.z;
    out["band"] = engine::bandLabel(result.band, result.thresholds);
    out["flags"] = flags;
    out["inputs"] = py::dict(py::arg("bwt") = inputs.bwt, py::arg("gest") = inputs.gestDays,
                             py::arg("wt") = inputs.wt, py::arg("ht") = inputs.ht, py::arg("sex") = inputs.sex,
                             py::arg("eth") = inputs.eth, py::arg("par") = inputs.par);
    return out;
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
    module.def("calc", &calc, py::arg("population"), py::arg("bwt"), py::arg("gest"), py::arg("wt"), py::arg("ht"),
               py::arg("sex"), py::arg("eth"), py::arg("par"),
               py::arg("thresholds") = std::array<double, 4>{3, 10, 90, 97},
               "One birth through the population's method, exactly as the calculator computes it.");
}

}  // namespace wrenfield::python

// parity_births TABLE: the births of the parity test, from the one table of
// tests/support/parity_births.json, as a JSON array on standard output.
//
// Every entry of the table is one birth, except two kinds that stand for
// several: `ordinary` draws plausible births of one population from a seeded
// generator (the same births on every machine), and `near` finds the birth
// whose centile lies just below or just above a threshold: by bisection on
// the birthweight, the other fields fixed, on the population's own method,
// until two neighbouring birthweights fall on either side; the one on the
// asked side is kept, and its centile must lie within 1e-10 of the threshold.
//
// Each birth out is {name, population, fields, options, expect, method}:
// `fields` all seven inputs (the typical birth where the entry does not
// change them), `method` the population's method's centile for a birth of
// plain numbers in the method's units that it computes (null otherwise), the
// value every front end gives under --exact and its equivalents.
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "engine/centile_model.h"
#include "platform/runtime_error.h"
#include "reading/population_choice.h"
#include "reading/vocabulary.h"

namespace {

using nlohmann::ordered_json;
using wrenfield::engine::CentileInputs;
using wrenfield::engine::Population;

Population populationOf(const ordered_json& text)
{
    auto population = wrenfield::reading::populationFromText(text.get<std::string>());
    if (!population)
        throw std::runtime_error("no population " + text.dump());
    return *population;
}

// The seven fields as plain numbers, when every one is one.
std::optional<CentileInputs> numbers(const ordered_json& fields)
{
    double values[7];
    for (std::size_t c = 0; c < 7; ++c) {
        const ordered_json& value = fields.at(std::string(wrenfield::reading::kInputColumns[c]));
        if (!value.is_number())
            return std::nullopt;
        values[c] = value.get<double>();
    }
    return CentileInputs{values[0], values[1], values[2], values[3], values[4], values[5], values[6]};
}

double methodCentile(Population population, const CentileInputs& inputs)
{
    return wrenfield::engine::computeCentile(population, inputs).centile;
}

ordered_json withFields(const ordered_json& typical, const ordered_json& changes)
{
    ordered_json fields = typical;
    for (const auto& [name, value] : changes.items())
        fields[name] = value;
    return fields;
}

// Plausible births of one population: values people write, from a seed.
std::vector<ordered_json> ordinaryBirths(const ordered_json& recipe)
{
    const Population population = populationOf(recipe.at("population"));
    const auto& groups = wrenfield::engine::coefficients(population).ethnicGroups;
    std::mt19937_64 random(recipe.at("seed").get<std::uint64_t>());
    auto uniform = [&random](int low, int high) {
        return low + static_cast<int>(random() % static_cast<std::uint64_t>(high - low + 1));
    };
    std::vector<ordered_json> births;
    for (int k = 0; k < recipe.at("count").get<int>(); ++k)
        births.push_back({{"bwt", 10 * uniform(150, 480)},
                          {"gest", uniform(245, 294)},
                          {"wt", uniform(450, 1100) / 10.0},
                          {"ht", uniform(148, 185)},
                          {"sex", uniform(0, 2)},
                          {"eth", groups[static_cast<std::size_t>(uniform(0, int(groups.size()) - 1))].code},
                          {"par", uniform(0, 5)}});
    return births;
}

// The birthweight whose method centile lies on `side` of `threshold`, within
// 1e-10 of it.
double nearBirthweight(Population population, CentileInputs inputs, double threshold, const std::string& side)
{
    double low = 100, high = 7000;
    while (high - low > 0) {
        const double middle = low + (high - low) / 2;
        if (middle == low || middle == high)
            break;
        inputs.bwt = middle;
        (methodCentile(population, inputs) < threshold ? low : high) = middle;
    }
    inputs.bwt = side == "below" ? low : high;
    const double centile = methodCentile(population, inputs);
    const bool onSide = side == "below" ? centile < threshold : centile >= threshold;
    if (!onSide || std::fabs(centile - threshold) > 1e-10)
        throw std::runtime_error("no birthweight puts the centile within 1e-10 " + side + " " +
                                 std::to_string(threshold));
    return inputs.bwt;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: parity_births TABLE.json\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1]);
        const ordered_json table = ordered_json::parse(in);
        const ordered_json& typical = table.at("typical");
        ordered_json births = ordered_json::array();
        for (const ordered_json& entry : table.at("births")) {
            ordered_json options = ordered_json::object();
            for (const char* option : {"sga", "lga", "strict", "units"})
                if (entry.contains(option))
                    options[option] = entry[option];
            auto add = [&](const std::string& name, const ordered_json& population, const ordered_json& fields) {
                // (Bare numbers in other units are the method's only once converted.)
                ordered_json method = nullptr;
                if (auto values = numbers(fields); values && population.is_string() && !options.contains("units"))
                    if (auto known = wrenfield::reading::populationFromText(population.get<std::string>())) {
                        try {
                            method = methodCentile(*known, *values);
                        } catch (const wrenfield::RuntimeError&) {}
                    }
                births.push_back({{"name", name},
                                  {"population", population},
                                  {"fields", fields},
                                  {"options", options},
                                  {"expect", entry.value("expect", ordered_json())},
                                  {"method", method}});
            };
            const std::string name = entry.at("name");
            if (entry.contains("ordinary")) {
                const ordered_json& recipe = entry["ordinary"];
                int k = 0;
                for (const ordered_json& fields : ordinaryBirths(recipe))
                    add(name + " " + std::to_string(++k), recipe["population"], fields);
            } else if (entry.contains("near")) {
                const ordered_json& recipe = entry["near"];
                ordered_json fields = withFields(typical, entry.value("fields", ordered_json::object()));
                const Population population = populationOf(recipe["population"]);
                fields["bwt"] = nearBirthweight(population, *numbers(fields), recipe.at("threshold").get<double>(),
                                                recipe.at("side").get<std::string>());
                add(name, recipe["population"], fields);
            } else {
                add(name, entry.value("population", ordered_json("uk")),
                    withFields(typical, entry.value("fields", ordered_json::object())));
            }
        }
        std::cout << births.dump(1) << "\n";
    } catch (const std::exception& error) {
        std::cerr << "parity_births: " << error.what() << "\n";
        return 1;
    }
    return 0;
}

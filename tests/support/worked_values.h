// The worked values of the five populations, to the decimals given for each:
// the one table the engine, the batch kernel and the calc command's tests
// check against. Where an intermediate value is known, it is given too.
#pragma once

#include <array>
#include <cmath>
#include <optional>

#include "engine/coefficient_set.h"

namespace wrenfield::testing {

struct WorkedValue {
    const char* what;
    engine::Population population;
    std::array<double, 7> inputs;  // bwt, gest, wt, ht, sex, eth, par
    double centile;
    int decimals;
    std::optional<double> termWeight = std::nullopt;
    std::optional<double> z = std::nullopt;
    std::optional<double> expected = std::nullopt;

    // Half a unit of the last decimal given.
    double tolerance() const { return 0.5 * std::pow(10.0, -decimals) + 1e-12; }
};

namespace worked {
constexpr auto UK = engine::Population::UnitedKingdom;
constexpr auto US = engine::Population::UnitedStates;
constexpr auto SE = engine::Population::Sweden;
constexpr auto NZ = engine::Population::NewZealand;
constexpr auto AU = engine::Population::Australia;
}  // namespace worked

inline const WorkedValue kWorkedValues[] = {
    {"UK worked example", worked::UK, {3400, 280, 64, 163, 1, 1, 0}, 38.2216410, 7, 3504.5, -0.299365439, 3515.0135},
    {"UK female, Indian, parity 1", worked::UK, {3000, 273, 70, 170, 2, 2, 1}, 21.2353806, 7, 3455.4878, -0.797483},
    {"UK male, African, parity 4", worked::UK, {4200, 287, 90, 155, 1, 6, 4}, 89.4741348, 7, 3513.9538, 1.250893},
    {"UK above 100 for large z", worked::UK, {3000, 280, 200, 163, 1, 9, 4}, 100.0000055, 7, 1500, 9.0944},
    {"UK form defaults", worked::UK, {3500, 280, 65, 165, 0, 1, 0}, 56.4087, 4},
    {"US worked example", worked::US, {3400, 280, 64, 163, 1, 1, 0}, 36.7994620, 7, 3519.4, -0.336832, 3529.9582},
    {"US female, African American", worked::US, {3000, 273, 70, 170, 2, 3, 1}, 24.7056271, 7, 3408.801, -0.683099},
    {"Sweden worked example",
     worked::SE,
     {3500, 280, 65, 170, 1, 1, 0},
     35.0635,
     4,
     3651.431472,
     -0.383222,
     3662.385766},
    {"Sweden second call: weeks and centred height", worked::SE, {3500, 40, 65, 3, 1, 1, 0}, 0.0123, 4},
    {"Sweden positive z", worked::SE, {3100, 266, 58, 160, 0, 4, 2}, 60.5048, 4, 3355.093825, 0.266169, 3007.385321},
    {"Sweden upper clamp", worked::SE, {4000, 280, 250, 230, 1, 7, 4}, 16.2484, 4, 4500, -0.983317, 4513.5},
    {"Sweden Other", worked::SE, {3500, 280, 65, 170, 1, 27, 0}, 35.0635, 4},
    {"Sweden code 0", worked::SE, {3500, 280, 65, 170, 1, 0, 0}, 35.0635, 4},
    {"Sweden code 28", worked::SE, {3500, 280, 65, 170, 1, 28, 0}, 35.0635, 4},
    {"Sweden S Vietnamese", worked::SE, {3500, 280, 65, 170, 1, 25, 0}, 38.3744, 4},
    {"Sweden N Vietnamese", worked::SE, {3500, 280, 65, 170, 1, 26, 0}, 38.3744, 4},
    {"NZ worked example", worked::NZ, {3500, 280, 70, 165, 1, 1, 0}, 40.9032, 4, 3587.6424, -0.229806, 3598.405327},
    {"NZ Maori", worked::NZ, {3000, 266, 60, 158, 0, 3, 1}, 48.8595, 4, 3358.2694, -0.028563, 3010.231792},
    {"NZ Other", worked::NZ, {3500, 280, 64, 163, 1, 7, 0}, 45.6548, 4, 3535.4},
    {"NZ code 0", worked::NZ, {3500, 280, 64, 163, 1, 0, 0}, 45.6548, 4, 3535.4},
    {"NZ code 9", worked::NZ, {3500, 280, 64, 163, 1, 9, 0}, 45.6548, 4, 3535.4},
    {"NZ European", worked::NZ, {3500, 280, 64, 163, 1, 1, 0}, 46.9000, 4, 3522.1},
    {"NZ lower clamp", worked::NZ, {1000, 280, 0, 100, 0, 2, 0}, 0.2396, 4, 1500, -2.817877, 1504.5},
    {"NZ parity 1", worked::NZ, {3500, 280, 70, 165, 1, 1, 1}, 32.4426, 4},
    {"NZ parity 2", worked::NZ, {3500, 280, 70, 165, 1, 1, 2}, 32.4271, 4},
    {"Australia worked example",
     worked::AU,
     {3400, 280, 68, 168, 0, 1, 1},
     33.9737,
     4,
     3564.164,
     -0.412767,
     3574.856492},
    {"Australia African", worked::AU, {2900, 273, 55, 155, 1, 4, 4}, 36.7891, 4, 3176.021, -0.337108, 3020.667521},
    {"Australia parity 3", worked::AU, {3400, 280, 68, 168, 0, 1, 3}, 32.2512, 4},
    {"Australia parity 4", worked::AU, {3400, 280, 68, 168, 0, 1, 4}, 33.6116, 4},
    {"Australia code 0", worked::AU, {3400, 280, 68, 168, 0, 0, 1}, 33.9737, 4},
    {"Australia code 5", worked::AU, {3400, 280, 68, 168, 0, 5, 1}, 33.9737, 4},
    {"Australia lower clamp", worked::AU, {1000, 280, 0, 100, 0, 4, 0}, 0.2309, 4, 1500, -2.829767, 1504.5},
};

}  // namespace wrenfield::testing

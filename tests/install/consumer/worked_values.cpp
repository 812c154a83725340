// The worked values through the C++ engine.
#include <cmath>
#include <cstdio>

#include <wrenfield/engine/centile_model.h>
#include <wrenfield/engine/coefficient_set.h>

extern "C" {
#include "worked_values.h"
}

int main()
{
    using namespace wrenfield::engine;
    int failures = 0;
    for (const worked_value& w : worked_values) {
        const auto population = populationByName(w.population);
        if (!population) {
            std::fprintf(stderr, "no population %s\n", w.population);
            ++failures;
            continue;
        }
        const CentileDetail d = computeCentile(*population, {w.bwt, w.gest_days, w.wt, w.ht, w.sex, w.eth, w.par});
        std::printf("%s: %.10f\n", w.population, d.centile);
        if (std::fabs(d.centile - w.centile) > 1e-9 || std::fabs(d.expected - w.expected_weight) > 1e-6 ||
            std::fabs(d.z - w.z) > 1e-9) {
            std::fprintf(stderr, "%s: got %.17g\n", w.population, d.centile);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

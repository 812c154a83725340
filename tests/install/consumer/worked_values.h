/* Worked values the installed library must reproduce, from C and from C++:
 * population, the seven inputs, and the centile, expected weight and z. */
#ifndef WORKED_VALUES_H
#define WORKED_VALUES_H

struct worked_value {
    const char* population;
    double bwt, gest_days, wt, ht, sex, eth, par;
    double centile, expected_weight, z;
};

static const struct worked_value worked_values[] = {
    {"United Kingdom", 3400, 280, 64, 163, 1, 1, 0, 38.22164104629216, 3515.013500000005, -0.2993654388559072},
    {"Sweden", 2500, 266, 58, 170, 2, 1, 1, 2.4953220607876747, 3232.620978180299, -1.9588050019832695},
    {"New Zealand", 4400, 287, 80, 172, 1, 3, 2, 83.45931928333236, 3944.0339537373, 0.9715046808749982},
};

#define WORKED_VALUE_COUNT (sizeof worked_values / sizeof worked_values[0])

#endif

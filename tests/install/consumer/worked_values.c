/* The worked values through the C API, one birth at a time and as a vector. */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <wrenfield/wrenfield.h>

#include "worked_values.h"

static int close_to(double a, double b)
{
    return fabs(a - b) <= 1e-9 * (1 + fabs(b));
}

int main(void)
{
    int failures = 0;
    size_t i;
    wf_result r;
    double bwt[2] = {3400, NAN}, gest[2] = {280, 280}, wt[2] = {64, 64}, ht[2] = {163, 163};
    double sex[2] = {1, 1}, eth[2] = {1, 1}, par[2] = {0, 0};
    wf_result rows[2];

    printf("wrenfield %s\n", wf_version());
    for (i = 0; i < WORKED_VALUE_COUNT; ++i) {
        const struct worked_value* w = &worked_values[i];
        int error = wf_centile(w->population, w->bwt, w->gest_days, w->wt, w->ht, w->sex, w->eth, w->par, &r);
        printf("%s: %.10f (%s)\n", w->population, r.centile, wf_band_name(r.band));
        if (error != WF_OK || !close_to(r.centile, w->centile) || !close_to(r.expected_weight, w->expected_weight) ||
            !close_to(r.z, w->z) || !close_to(r.weeks, w->gest_days / 7)) {
            fprintf(stderr, "%s: got %.17g, error %d %s\n", w->population, r.centile, error, r.message);
            ++failures;
        }
    }
    if (wf_centile("Atlantis", 3400, 280, 64, 163, 1, 1, 0, &r) != WF_ERROR_UNKNOWN_POPULATION ||
        strstr(r.message, "Atlantis") == NULL) {
        fprintf(stderr, "an unknown population is not refused: %d %s\n", r.error, r.message);
        ++failures;
    }
    if (wf_centiles("uk", 2, bwt, gest, wt, ht, sex, eth, par, rows) != 1 ||
        !close_to(rows[0].centile, 38.22164104629216) || rows[1].error != WF_ERROR_MISSING_INPUT) {
        fprintf(stderr, "vector call: %.17g %d\n", rows[0].centile, rows[1].error);
        ++failures;
    }
    if (strcmp(wf_version(), "1.0") != 0) {
        fprintf(stderr, "version %s\n", wf_version());
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}

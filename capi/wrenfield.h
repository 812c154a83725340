/* wrenfield.h: the customised birthweight centile as a plain C interface,
 * for C hosts and for the foreign-function interfaces of other languages
 * (R, Julia, C#, Python's ctypes).
 *
 * Every call is a pure function of its arguments: the library keeps no state
 * between calls, so any number of threads may call it at once. No call
 * allocates anything the caller must free; a result, error message included,
 * lives in the caller's wf_result.
 *
 * A birth gets here what it gets through every other way in (custcent, the
 * Python package, the HTTP service): the same centile to the last bit, the
 * same band, flags and error text. Its members carry the names of the
 * result's fields elsewhere, in snake_case (expected_weight is JSON's
 * expectedWeight); `message` is the error text JSON calls "error".
 *
 *   #include <wrenfield/wrenfield.h>
 *
 *   wf_result r;
 *   if (wf_centile("United Kingdom", 3400, 280, 64, 163, 1, 1, 0, &r) == WF_OK)
 *       printf("%.1f (%s)\n", r.centile, wf_band_name(r.band));   // 38.2 (AGA)
 *   else
 *       printf("error %d: %s\n", r.error, r.message);
 *
 * Link with -lwrenfield (pkg-config wrenfield, or the CMake target
 * Wrenfield::engine).
 */
#ifndef WRENFIELD_H
#define WRENFIELD_H

#include <stddef.h>

/* WRENFIELD_API: what libwrenfield exports. */
#include "wrenfield/wrenfield_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The version of the library these declarations belong to; wf_version()
 * gives the version of the library actually loaded. */
#define WRENFIELD_VERSION_MAJOR 1
#define WRENFIELD_VERSION_MINOR 0

/* The outcome of a computation (wf_result.error).
 *
 * Zero: a centile was computed. Positive: the computation met a run-time
 * error, numbered as the component and the command line number it (5 an
 * invalid floating-point operation, 6 overflow, 11 division by zero).
 * Negative: nothing was computed, because the call itself was wrong. */
enum {
    WF_OK = 0,
    WF_ERROR_INVALID_OPERATION = 5,
    WF_ERROR_OVERFLOW = 6,
    WF_ERROR_DIVISION_BY_ZERO = 11,
    WF_ERROR_MISSING_INPUT = -1,      /* an input is NaN (R's NA, a database NULL) */
    WF_ERROR_UNKNOWN_POPULATION = -2, /* no population of that name */
    WF_ERROR_NULL_POINTER = -3,       /* a required pointer argument is NULL */
    WF_ERROR_INVALID_INPUT = -4,      /* an input that cannot be used: infinite, or a birthweight,
                                         gestation, weight or height of 0 or below */
    WF_ERROR_FLAGGED = -5,            /* strict (wf_options) and a plausibility flag */
    WF_ERROR_INVALID_OPTION = -6      /* a wf_options member that cannot be used (sga 120) */
};

/* The size-for-gestation band of a centile (wf_result.band): small (SGA)
 * below the 10th centile, large (LGA) above the 90th, appropriate (AGA) from
 * 10 to 90 inclusive; below the 3rd and above the 97th are the finer labels
 * of the two outer bands. */
enum {
    WF_BAND_NONE = 0, /* no centile (error is not WF_OK) */
    WF_BAND_SGA_BELOW_3 = 1,
    WF_BAND_SGA = 2,
    WF_BAND_AGA = 3,
    WF_BAND_LGA = 4,
    WF_BAND_LGA_ABOVE_97 = 5
};

/* Plausibility flags (wf_result.flags, any number at once): an input outside
 * the range within which the model is credible, most often a value in
 * another unit, or a centile outside 0..100. They never stop the
 * computation; wf_result.flag_text says them in words. */
enum {
    WF_FLAG_BWT_LOW = 1u << 0,            /* birthweight below 200 g: kilograms or pounds? */
    WF_FLAG_BWT_HIGH = 1u << 1,           /* birthweight above 7000 g */
    WF_FLAG_GEST_LOW = 1u << 2,           /* gestation below 22 weeks: weeks typed as days? */
    WF_FLAG_GEST_HIGH = 1u << 3,          /* gestation above 45 weeks */
    WF_FLAG_WT_LOW = 1u << 4,             /* booking weight below 30 kg: stones? */
    WF_FLAG_WT_HIGH = 1u << 5,            /* booking weight above 250 kg: pounds? */
    WF_FLAG_HT_LOW = 1u << 6,             /* height below 100 cm: metres? */
    WF_FLAG_HT_HIGH = 1u << 7,            /* height above 220 cm: millimetres? */
    WF_FLAG_SEX_CODE = 1u << 8,           /* sex not 0, 1 or 2: the female term was used */
    WF_FLAG_ETH_UNKNOWN = 1u << 9,        /* no group of the population: its "other" term was used */
    WF_FLAG_PAR_CODE = 1u << 10,          /* parity negative or not whole */
    WF_FLAG_PAR_HIGH = 1u << 11,          /* parity above 20 */
    WF_FLAG_CENTILE_BELOW_0 = 1u << 12,   /* far below the expected weight */
    WF_FLAG_CENTILE_ABOVE_100 = 1u << 13, /* far above the expected weight */
    WF_FLAG_BMI_LOW = 1u << 14,           /* weight / height² below 12 kg/m²: stones? */
    WF_FLAG_BMI_HIGH = 1u << 15,          /* weight / height² above 50 kg/m²: pounds? */
    WF_FLAG_OTHER = 1u << 30              /* a finding this header does not name yet */
};

/* The result of one birth. */
typedef struct wf_result {
    double centile;         /* percent, unrounded; NaN unless error is WF_OK */
    double z;               /* (birthweight - expected weight) / spread */
    double expected_weight; /* grams, for this pregnancy at this gestation */
    double weeks;           /* the gestation in weeks (days / 7) */
    int band;               /* WF_BAND_... */
    unsigned flags;         /* WF_FLAG_... bits */
    int error;              /* WF_OK, a run-time error number, or WF_ERROR_... */
    char message[200];      /* what went wrong, "" when error is WF_OK */
    char flag_text[400];    /* the flags in words, "; " between them ("" for none) */
} wf_result;

/* How births are read (the calls ending in _with). Set `size` to
 * sizeof(wf_options), as WF_OPTIONS_INIT does: later versions may add
 * members, and read only those a caller's struct has. */
typedef struct wf_options {
    size_t size;
    double sga; /* small for gestational age below this centile (default 10); the finer
                    label stays at the 3rd, or moves with sga below it */
    double lga; /* large above this centile (default 90); the finer label stays at the
                    97th, or moves with lga above it */
    int strict; /* a flagged birth is an error, WF_ERROR_FLAGGED (default 0) */
    int exact;  /* every birth by the population's method itself, 1001 slices one birth
                    at a time, for audits (default 0: the closed form of the same sum,
                    within 1e-11 percentage points, and the method's own value wherever a
                    band, a flag or the rounded centile depends on the last digits) */
} wf_options;

#define WF_OPTIONS_INIT                                                                                                \
    {                                                                                                                  \
        sizeof(wf_options), 10.0, 90.0, 0, 0                                                                           \
    }

/* "1.0": the version of the loaded library. The text is static. */
WRENFIELD_API const char* wf_version(void);

/* The centile of one birth.
 *
 *   population  "United Kingdom", "United States", "Sweden", "New Zealand",
 *               "Australia", or uk, us, se, nz, au; in any case
 *   bwt         birthweight, grams
 *   gest_days   gestation at birth, days (280 for 40 weeks)
 *   wt, ht      the mother's booking weight (kg) and height (cm)
 *   sex         1 male, 2 (any other code) female
 *   eth         the population's ethnic-group code (1 European in the UK)
 *   par         parity: 0, 1, 2, 3, or more for "4 or more"
 *
 * An input that is NaN is missing: no centile, WF_ERROR_MISSING_INPUT, and
 * the message names every missing input ("missing: bwt, gest"). An infinite
 * input, or a birthweight, gestation, weight or height of 0 or below, is
 * WF_ERROR_INVALID_INPUT ("bwt: must be a positive number, not -3400").
 * Fills *result and returns result->error; with a NULL result it returns
 * WF_ERROR_NULL_POINTER. */
WRENFIELD_API int wf_centile(const char* population, double bwt, double gest_days, double wt, double ht, double sex,
                             double eth, double par, wf_result* result);

/* The same for `count` births of one population, one element of each input
 * array per birth; results[i] is what wf_centile gives for element i, to the
 * last bit. Computed many at a time in the processor's vector lanes; call it
 * from several threads on parts of the arrays to use several cores.
 * Returns how many births got a centile (error WF_OK); with an unknown
 * population every result says so. Returns 0 and writes nothing when a
 * pointer is NULL (with count 0 any pointer may be NULL). */
WRENFIELD_API size_t wf_centiles(const char* population, size_t count, const double* bwt, const double* gest_days,
                                 const double* wt, const double* ht, const double* sex, const double* eth,
                                 const double* par, wf_result* results);

/* wf_centile and wf_centiles with options (NULL: the defaults). Options
 * that cannot be used give every result WF_ERROR_INVALID_OPTION. */
WRENFIELD_API int wf_centile_with(const wf_options* options, const char* population, double bwt, double gest_days,
                                  double wt, double ht, double sex, double eth, double par, wf_result* result);
WRENFIELD_API size_t wf_centiles_with(const wf_options* options, const char* population, size_t count,
                                      const double* bwt, const double* gest_days, const double* wt, const double* ht,
                                      const double* sex, const double* eth, const double* par, wf_result* results);

/* The populations, in the order of the control's methods: the name of
 * population `index` ("United Kingdom" for 0 ... "Australia" for 4) and its
 * short alias ("uk"); NULL beyond the last. The texts are static. */
WRENFIELD_API const char* wf_population_name(size_t index);
WRENFIELD_API const char* wf_population_alias(size_t index);

/* The ethnic groups of a population (a name or alias, any case), in code
 * order: the name of group `index` (0 first), with its code (the `eth` to
 * pass) in *code when code is not NULL; NULL beyond the last group or for an
 * unknown population. The texts are static. */
WRENFIELD_API const char* wf_ethnic_group(const char* population, size_t index, int* code);

/* The centile of a computed result as custcent, the page and the charts show
 * it beside its band: the whole number, halves up ("38"), or, where that
 * number would read as another band than the centile's (9.911 is SGA, below
 * the 10th, and rounds to 10), one decimal on the band's side ("9.9").
 * `options` are those the result was computed with (NULL: the defaults), for
 * the band thresholds. Writes the text, ended, into `text` (16 bytes suffice
 * for every centile the library computes) and returns WF_OK. Otherwise writes
 * "" (when it can) and returns the result's own error for a result without a
 * centile, WF_ERROR_NULL_POINTER for a NULL pointer or a size of 0, and
 * WF_ERROR_INVALID_OPTION for options that cannot be used or a text longer
 * than `size` allows. */
WRENFIELD_API int wf_centile_text(const wf_options* options, const wf_result* result, char* text, size_t size);

/* "SGA", "AGA" or "LGA" for a WF_BAND_ value (the finer bands give their
 * outer band's name); "" for WF_BAND_NONE or an unknown value. */
WRENFIELD_API const char* wf_band_name(int band);
/* The stable name of one WF_FLAG_ bit ("gest_low", as custcent and the
 * batch output name it); "" for anything else. */
WRENFIELD_API const char* wf_flag_name(unsigned flag);

#ifdef __cplusplus
}
#endif

#endif /* WRENFIELD_H */

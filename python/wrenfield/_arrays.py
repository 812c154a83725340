"""Centiles over numpy arrays: `centile` (the numbers alone), `compute`
(every field of each row's result) and `calc` (one birth's whole record)."""

import json
from dataclasses import dataclass

import numpy as np

from . import _inputs
from . import _wrenfield as _core


@dataclass(frozen=True)
class Results:
    """The result of each row, as arrays of one shape; the fields are those
    of the result record everywhere else, in snake_case.

    centile: float64, percent, unrounded (NaN where not computed)
    rounded: float64, the centile as the calculator shows it (halves up)
    centile_text: object, the centile as shown beside its band: "38", or with one decimal on the band's side
        where the whole number would contradict the band ("9.9" for 9.911, SGA); None where not computed
    band: object, "SGA", "AGA", "LGA" or None
    band_label: object, the band with its finer label: "SGA <3rd", "LGA >97th"
    band_words: object, the band in words
    term_weight: float64, grams, after the clamp to 1500..4500
    weeks: float64, the gestation in weeks
    proportion: float64, the gestation proportion
    expected_weight: float64, grams
    spread: float64, grams
    z: float64, the birthweight's deviation from the expected weight in spreads
    flags: object, the plausibility flags ("gest below 22 weeks — weeks typed as days?"), "; "-joined, or None
    error: object, why the row was not computed ("missing: bwt, gest"), or None
    outcome: uint8, 0 computed, 1 missing input, 2 error
    """

    centile: np.ndarray
    rounded: np.ndarray
    centile_text: np.ndarray
    band: np.ndarray
    band_label: np.ndarray
    band_words: np.ndarray
    term_weight: np.ndarray
    weeks: np.ndarray
    proportion: np.ndarray
    expected_weight: np.ndarray
    spread: np.ndarray
    z: np.ndarray
    flags: np.ndarray
    error: np.ndarray
    outcome: np.ndarray

    def __len__(self):
        return self.centile.size

    def to_frame(self, index=None):
        """The results as a pandas DataFrame, one row each."""
        import pandas as pd

        fields = ("centile", "rounded", "centile_text", "band", "band_label", "band_words", "term_weight", "weeks", "proportion",
                  "expected_weight", "spread", "z", "flags", "error")
        return pd.DataFrame({f: getattr(self, f).ravel() for f in fields}, index=index)


def rounded_centiles(centile):
    # As the calculator shows a centile: the nearest whole number, halves up.
    return np.floor(centile + 0.5)


def centile_texts(centile, thresholds):
    """Each centile as shown beside its band (the reading layer's rule), as an object array; None for NaN."""
    flat = np.ascontiguousarray(centile, dtype=np.float64).ravel()
    return np.array(_core.centile_texts(flat, tuple(thresholds)) if flat.size else [], dtype=object).reshape(
        np.shape(centile))


def band_texts(thresholds):
    """For each band code (and a last entry for none): its code, label and words, as object arrays."""
    bands = _core.band_labels(thresholds)
    return tuple(np.array([band[i] for band in bands] + [None], dtype=object) for i in range(3))


def row_texts(rows, row_numbers, texts):
    """An object array of `rows` entries: the texts at their rows, None elsewhere."""
    out = np.full(rows, None, dtype=object)
    if len(row_numbers):
        out[row_numbers] = np.array(texts, dtype=object)
    return out


def _prepare(population, inputs):
    # One population for every row (a name, an alias, a code: anything else
    # is refused there, naming the argument), or one a row.
    scalar_population = np.ndim(population) == 0
    if isinstance(population, np.ndarray) and scalar_population:
        population = population.item()
    arrays = [v if _inputs.is_series(v) or isinstance(v, np.ndarray) else _inputs.as_array(v) for v in inputs]
    shapes = [np.shape(a) for a in arrays]
    if not scalar_population:
        shapes.append(np.shape(np.asarray(population, dtype=object)))
    try:
        shape = np.broadcast_shapes(*shapes)
    except ValueError as error:
        raise ValueError(f"the inputs cannot be broadcast together: {error}") from None
    rows = int(np.prod(shape, dtype=np.int64))

    def flat(value):
        # One dimension: the values themselves where their shape is the
        # result's (a float64 array is not copied), a stride-0 view for a
        # value repeated; several dimensions are flattened (a copy).
        if len(shape) <= 1:
            if _inputs.is_series(value) and np.shape(value) == shape:
                return _inputs.series_values(value)
            if isinstance(value, np.ndarray) and value.shape == shape:
                return value
            return np.broadcast_to(np.asarray(value), shape if shape else (1,))
        return np.broadcast_to(np.asarray(value), shape).ravel()

    if scalar_population:
        default, populations = _inputs.population_code(population), None
    else:
        default, populations = 0, _inputs.population_column(flat(np.asarray(population, dtype=object)))
    columns = [_inputs.input_column(name, flat(value), rows) for name, value in zip(_inputs.INPUTS, arrays)]
    return shape, rows, columns, populations, default


def centile(population, bwt, gest, wt, ht, sex, eth, par, *, threads=None, units=None, na=None, exact=False,
            decimal="."):
    """Customised birthweight centiles, in percent, unrounded.

    Every input may be a scalar or an array (they broadcast together, as numpy
    arithmetic does): bwt in grams, gest in days, wt in kg, ht in cm, sex
    (1 male, 0 or 2 female), eth (the population's group code), par (0, 1, 2,
    3, 4 or more). Texts are read as `custcent` reads them ("Male", "F",
    "European", "39+4", "3.4kg", "5ft4in", "4 or more"). NaN, None, pandas' NA,
    the empty text and the markers NA, NaN and "." are missing (`na` sets the
    markers). `units` gives other units for bare numbers: {"bwt": "kg",
    "wt": "lb", "ht": "m"}. `population` is a name or an alias (uk, us, se,
    nz, au; any case) or a code 0 to 4, or an array of names, one a row.
    decimal="," reads numbers in texts with a decimal comma ("64,5",
    "3,4kg"), as pandas.read_csv(decimal=",") does; numbers stay numbers.

    Returns float64 of the broadcast shape, NaN where a row could not be
    computed (a missing input, an arithmetic error, an unreadable text);
    `compute` says why. exact=True computes every row by the population's
    method itself (for audits; by default the batch kernel, which gives the
    method's own value wherever a band or the rounded centile depends on the
    last digits).
    """
    shape, rows, columns, populations, default = _prepare(population, (bwt, gest, wt, ht, sex, eth, par))
    result = _inputs.run(columns, rows, populations, default, threads, False, False, _inputs.DEFAULT_THRESHOLDS,
                         units=units, na=na, exact=exact, decimal=decimal)
    values = result["centile"].reshape(shape)
    return values[()] if shape == () else values


def compute(population, bwt, gest, wt, ht, sex, eth, par, *, threads=None, units=None, na=None, thresholds=None,
            strict=False, exact=False, decimal="."):
    """Every field of each row's result: centile, rounded, centile_text, band, band label
    and words, term weight, weeks, proportion, expected weight, spread, z,
    the plausibility flags and the error of a row not computed.

    Inputs as for `centile`. `thresholds` sets the band boundaries: (sga,
    lga), default (10, 90), or (very_small, sga, lga, very_large), default
    (3, 10, 90, 97). With strict=True a flagged row is an error ("flagged:
    ..."), as with `custcent batch --strict`; exact=True and decimal as for
    `centile`.
    Returns a `Results` of arrays in the broadcast shape.
    """
    thresholds = _inputs.thresholds_of(thresholds)
    shape, rows, columns, populations, default = _prepare(population, (bwt, gest, wt, ht, sex, eth, par))
    result = _inputs.run(columns, rows, populations, default, threads, True, True, thresholds, strict=strict,
                         units=units, na=na, exact=exact, decimal=decimal)
    codes, labels, words = band_texts(thresholds)
    band = np.where(result["band"] == 255, len(codes) - 1, result["band"])

    def shaped(a):
        return a.reshape(shape)

    return Results(
        centile=shaped(result["centile"]),
        rounded=shaped(rounded_centiles(result["centile"])),
        centile_text=shaped(centile_texts(result["centile"], thresholds)),
        band=shaped(codes[band]),
        band_label=shaped(labels[band]),
        band_words=shaped(words[band]),
        term_weight=shaped(result["term_weight"]),
        weeks=shaped(result["weeks"]),
        proportion=shaped(result["proportion"]),
        expected_weight=shaped(result["expected_weight"]),
        spread=shaped(result["spread"]),
        z=shaped(result["z"]),
        flags=shaped(row_texts(rows, result["flag_rows"], result["flags"])),
        error=shaped(row_texts(rows, result["message_rows"], result["messages"])),
        outcome=shaped(np.minimum(result["outcome"], 2)),
    )


def calc(bwt, gest, wt, ht, sex, eth, par, *, population="United Kingdom", thresholds=None, strict=False,
         exact=False, units=None, na=None, decimal="."):
    """One birth's whole result, the record `custcent calc --json` and the
    HTTP service give, with its keys in snake_case: population, centile,
    rounded, centile_text, band, band_label, band_words, term_weight, weeks, proportion,
    expected_weight, spread, z, flags ([{"code", "text"}]), inputs (as used)
    and coefficient_set_version.

    The inputs are read as every other way in reads them (numbers, or texts
    such as "39+4", "Male", "European", "3.4kg", "4 or more"); the birth goes
    the same road as a row of `compute`, so its centile is the same to the
    last bit. Raises ValueError for a birth that cannot be used (a missing
    input, an unusable value; flagged under strict=True), with the text every
    way in gives ("missing: bwt, gest"), and CalculationError when the centile
    cannot be computed ("the centile cannot be computed: Overflow").
    exact=True computes by the population's method itself; decimal="," reads
    texts with a decimal comma.
    """
    thresholds = _inputs.thresholds_of(thresholds)
    default = _inputs.population_code(population)
    values = (bwt, gest, wt, ht, sex, eth, par)
    for name, value in zip(_inputs.INPUTS, values):
        if np.ndim(value) != 0 and not isinstance(value, str):
            raise TypeError(f"{name}: expected one value, a number or a text, not {type(value).__name__}")
    columns = [_inputs.input_column(name, value, 1) for name, value in zip(_inputs.INPUTS, values)]
    result = _inputs.run(columns, 1, None, default, 1, False, False, thresholds, strict=strict, units=units, na=na,
                         exact=exact, records=True, decimal=decimal)
    record = _inputs.snake_keys(json.loads(result["records"][0]))
    if result["outcome"][0] == _core.OUTCOME_FAILED:
        raise _core.CalculationError(record["error"])
    if "error" in record:
        raise ValueError(record["error"])
    return record


def populations():
    """The five populations: code, name, alias, method name, and the (code,
    name) of each ethnic group."""
    return [
        dict(p, groups=[{"code": code, "name": name} for code, name in p["groups"]]) for p in _core.populations()
    ]

"""Centiles over numpy arrays: `centile` (the numbers alone) and `compute`
(every reading of each row)."""

from dataclasses import dataclass

import numpy as np

from . import _inputs
from . import _wrenfield as _core


@dataclass(frozen=True)
class Results:
    """The reading of each row, as arrays of one shape.

    centile: float64, percent, unrounded (NaN where not computed)
    rounded: float64, the centile as the calculator shows it (halves up)
    band: object, "SGA", "SGA <3rd", "AGA", "LGA", "LGA >97th" or None
    z: float64, the birthweight's deviation from the expected weight in spreads
    expected_weight: float64, grams
    weeks: float64, the gestation in weeks
    flags: object, the plausibility flags ("gest below 22 weeks — weeks typed as days?"), "; "-joined, or None
    error: object, why the row was not computed ("missing: gest", "Overflow"), or None
    outcome: uint8, 0 computed, 1 missing input, 2 error
    """

    centile: np.ndarray
    rounded: np.ndarray
    band: np.ndarray
    z: np.ndarray
    expected_weight: np.ndarray
    weeks: np.ndarray
    flags: np.ndarray
    error: np.ndarray
    outcome: np.ndarray

    def __len__(self):
        return self.centile.size

    def to_frame(self, index=None):
        """The results as a pandas DataFrame, one row each."""
        import pandas as pd

        fields = ("centile", "rounded", "band", "z", "expected_weight", "weeks", "flags", "error")
        return pd.DataFrame({f: getattr(self, f).ravel() for f in fields}, index=index)


def rounded_centiles(centile):
    # As the calculator shows a centile: the nearest whole number, halves up.
    return np.floor(centile + 0.5)


def band_labels(thresholds):
    labels = np.array([label for _, label, _ in _core.band_labels(thresholds)] + [None], dtype=object)
    return labels


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
        default, populations = 0, _inputs.text_column(flat(np.asarray(population, dtype=object)))
    columns = [_inputs.input_column(name, flat(value), rows) for name, value in zip(_inputs.INPUTS, arrays)]
    return shape, rows, columns, populations, default


def centile(population, bwt, gest, wt, ht, sex, eth, par, *, threads=None, units=None, na=None):
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

    Returns float64 of the broadcast shape, NaN where a row could not be
    computed (a missing input, an arithmetic error, an unreadable text);
    `compute` says why.
    """
    shape, rows, columns, populations, default = _prepare(population, (bwt, gest, wt, ht, sex, eth, par))
    result = _inputs.run(columns, rows, populations, default, threads, False, False, _inputs.DEFAULT_THRESHOLDS,
                         units=units, na=na)
    values = result["centile"].reshape(shape)
    return values[()] if shape == () else values


def compute(population, bwt, gest, wt, ht, sex, eth, par, *, threads=None, units=None, na=None, thresholds=None,
            strict=False):
    """Every reading of each row: centile, rounded, band, z, expected weight,
    weeks, plausibility flags and the error of a row not computed.

    Inputs as for `centile`. `thresholds` sets the band boundaries: (sga,
    lga), default (10, 90), or (very_small, sga, lga, very_large), default
    (3, 10, 90, 97). With strict=True a flagged row is an error ("flagged:
    ..."), as with `custcent batch --strict`. Returns a `Results` of arrays in
    the broadcast shape.
    """
    thresholds = _inputs.thresholds_of(thresholds)
    shape, rows, columns, populations, default = _prepare(population, (bwt, gest, wt, ht, sex, eth, par))
    result = _inputs.run(columns, rows, populations, default, threads, True, True, thresholds, strict=strict,
                         units=units, na=na)
    labels = band_labels(thresholds)
    band = labels[np.where(result["band"] == 255, len(labels) - 1, result["band"])]

    def shaped(a):
        return a.reshape(shape)

    return Results(
        centile=shaped(result["centile"]),
        rounded=shaped(rounded_centiles(result["centile"])),
        band=shaped(band),
        z=shaped(result["z"]),
        expected_weight=shaped(result["expected"]),
        weeks=shaped(result["weeks"]),
        flags=shaped(row_texts(rows, result["flag_rows"], result["flags"])),
        error=shaped(row_texts(rows, result["message_rows"], result["messages"])),
        outcome=shaped(result["outcome"]),
    )


def calc(bwt, gest, wt, ht, sex, eth, par, *, population="United Kingdom", thresholds=None):
    """One birth through the population's own method, exactly as the
    calculator computes it (for audits): the same inputs and vocabulary as
    `custcent calc` (gest "39+4" or days, sex "Male" or a code, eth a group
    name or code, par "4 or more", measurements with units such as "3.4kg").
    Returns a dict with the centile, the rounded centile, the band (with
    `thresholds` as for `compute`), the flags and the model's intermediate
    values. Raises ValueError
    for an input that cannot be used and CalculationError when the method
    raises a run-time error ("Overflow").
    """
    return _core.calc(population, bwt, gest, wt, ht, sex, eth, par, _inputs.thresholds_of(thresholds))


def populations():
    """The five populations: code, name, alias, method name, and the (code,
    name) of each ethnic group."""
    return [
        dict(p, groups=[{"code": code, "name": name} for code, name in p["groups"]]) for p in _core.populations()
    ]

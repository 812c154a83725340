"""Turning what a caller passes (scalars, arrays, Series, names or codes) into
the seven float64 columns and the population column the compiled core reads.

Float64 data is passed on as it is (a view, never a copy); other numbers are
converted to float64; texts go through the command line's vocabulary, once per
distinct text. NaN, None and pandas' NA are missing inputs.
"""

import os
import sys

import numpy as np

from . import _wrenfield as _core

INPUTS = ("bwt", "gest", "wt", "ht", "sex", "eth", "par")

# The optional columns a caller may ask for, in the order they may appear.
ADDABLE = ("band", "rounded", "z", "expected", "weeks", "flags")

DEFAULT_THRESHOLDS = (3.0, 10.0, 90.0, 97.0)


def is_series(value):
    """Whether `value` is a pandas Series (without importing pandas)."""
    pandas = sys.modules.get("pandas")
    return pandas is not None and isinstance(value, pandas.Series)


def series_values(series):
    """A Series' values without a copy: its numpy array for a numpy dtype,
    else its pandas extension array (nullable numbers, strings, categories)."""
    if isinstance(series.dtype, np.dtype):
        return series.to_numpy(copy=False)
    return series.array


def default_threads():
    try:
        return max(1, len(os.sched_getaffinity(0)))
    except (AttributeError, OSError):
        return max(1, os.cpu_count() or 1)


def population_code(population):
    """The code (0 to 4) of a population given by name, alias or code."""
    if isinstance(population, (bool, np.bool_)):
        raise TypeError("population: expected a name, an alias or a code, not a bool")
    if isinstance(population, (int, np.integer)):
        if 0 <= int(population) < 5:
            return int(population)
        raise ValueError(f"population: expected a code from 0 to 4, not {int(population)}")
    if isinstance(population, str):
        code = _core.population_code(population)
        if code is None:
            raise ValueError(f"unknown population {population!r}; choose {_choices()}")
        return code
    raise TypeError(f"population: expected a name, an alias or a code, not {type(population).__name__}")


def _choices():
    return ", ".join(f"{p['name']!r} ({p['alias']})" for p in _core.populations())


def _is_text_dtype(dtype):
    return dtype.kind in "OUS" or getattr(dtype, "name", "") in ("string", "category")


def _factorize(values):
    import pandas as pd

    codes, uniques = pd.factorize(values, use_na_sentinel=True)
    return np.asarray(codes, dtype=np.int64), list(uniques)


def _text_of(value):
    if isinstance(value, str):
        return value
    if isinstance(value, (float, np.floating)):
        return "" if np.isnan(value) else repr(float(value))
    return str(value)


def population_column(values, rows):
    """The distinct population texts and each row's index into them (-1 for
    a missing one, which takes the default)."""
    values = _flat(values, rows)
    codes, uniques = _factorize(values)
    return [_text_of(u) for u in uniques], codes


def as_array(values):
    """An array of what a caller passed; a list mixing texts and numbers
    keeps its numbers (and its NaN and None) rather than becoming texts."""
    array = np.asarray(values)
    if array.dtype.kind in "US":
        array = np.asarray(values, dtype=object)
    return array


def _flat(values, rows):
    """A one-dimensional array of `rows` values (a Series gives its values)."""
    if is_series(values):
        values = series_values(values)
    array = values if hasattr(values, "dtype") and hasattr(values, "__len__") else np.asarray(values)
    if getattr(array, "ndim", 1) == 0:
        return np.broadcast_to(np.asarray(array), (rows,))
    if len(array) != rows:
        raise ValueError(f"expected {rows} values, got {len(array)}")
    return array


class Problems:
    """Row problems found before the computation: the inputs that could not
    be read ("sex: expected Male, Female or a code ..."), by row position."""

    def __init__(self):
        self.by_row = {}

    def add(self, rows, texts):
        for row, text in zip(rows, texts):
            self.by_row.setdefault(int(row), []).append(text)

    def __bool__(self):
        return bool(self.by_row)


def number_column(name, values, rows, problems, population_rows=None):
    """One input as a float64 array of `rows` values (NaN for missing).

    `values` is a numpy array, a pandas Series or array, or a scalar. A
    float64 array in the machine's byte order is returned as it is.
    `population_rows` gives each row's population code (for ethnic-group
    names); rows whose texts cannot be read are added to `problems`.
    """
    if is_series(values):
        values = series_values(values)
    dtype = getattr(values, "dtype", None)
    if dtype is not None and not isinstance(dtype, np.dtype):
        # A pandas extension array: nullable numbers, strings, categories.
        kind = getattr(dtype, "kind", "O")
        if kind in "iufb" and not _is_text_dtype(dtype):
            values = values.to_numpy(dtype=np.float64, na_value=np.nan)
        elif getattr(dtype, "name", "") == "category" and values.categories.dtype.kind in "iuf":
            values = np.asarray(values, dtype=np.float64)
        else:
            values = values.to_numpy(dtype=object, na_value=None)
    array = np.asarray(values) if not isinstance(values, np.ndarray) else values
    if array.ndim == 0:
        array = np.broadcast_to(array, (rows,))
    if array.ndim != 1 or len(array) != rows:
        raise ValueError(f"{name}: expected {rows} values, got shape {array.shape}")

    kind = array.dtype.kind
    if kind == "f" or kind in "iub":
        if array.dtype != np.float64 or not array.dtype.isnative:
            array = array.astype(np.float64)
        if not array.flags.aligned:
            array = array.copy()
        return array
    if kind in "OUS":
        return _text_column(name, array, rows, problems, population_rows)
    raise TypeError(f"{name}: cannot read {array.dtype} values as numbers or names")


def _text_column(name, array, rows, problems, population_rows):
    codes, uniques = _factorize(array)
    texts = [_text_of(u) for u in uniques]
    out = np.full(rows, np.nan)
    known = codes >= 0
    if name != "eth":
        groups = [(0, np.ones(rows, dtype=bool))]  # only group names depend on the population
    else:
        present = np.unique(population_rows[population_rows >= 0])
        groups = [(int(p), population_rows == p) for p in present]
    for population, rows_mask in groups:
        values, bad = _core.parse_values(name, population, texts)
        values = np.append(values, np.nan)  # index -1: missing
        out[rows_mask] = values[codes[rows_mask]]
        if bad:
            bad_index = np.array([i for i, _ in bad], dtype=np.int64)
            reasons = dict(bad)
            hit = np.flatnonzero(rows_mask & known & np.isin(codes, bad_index))
            problems.add(hit, (reasons[int(codes[r])] for r in hit))
    return out


def run(columns, rows, populations, default_population, threads, details, flags, thresholds, progress=None):
    """The compiled computation over prepared columns; returns its dict."""
    names, index = populations if populations is not None else ([], None)
    if threads is None:
        threads = default_threads()
    if isinstance(threads, bool) or not isinstance(threads, (int, np.integer)) or threads < 1:
        raise ValueError(f"threads: expected a whole number of at least 1, not {threads!r}")
    return _core.compute_columns(
        list(columns),
        rows,
        population_names=names,
        population_index=index,
        default_population=default_population,
        threads=int(threads),
        details=details,
        flags=flags,
        thresholds=tuple(float(t) for t in thresholds),
        progress=progress,
    )


def resolve_population_rows(populations, default_population, rows):
    """Each row's population code, or -1 where the text names none (for
    ethnic-group names, which belong to a population)."""
    if populations is None:
        return np.broadcast_to(np.int64(default_population), (rows,))
    names, index = populations
    codes = np.array(
        [default_population if t == "" else (_core.population_code(t) if _core.population_code(t) is not None else -1)
         for t in names] + [default_population],
        dtype=np.int64,
    )
    return codes[index]


def thresholds_of(thresholds):
    if thresholds is None:
        return DEFAULT_THRESHOLDS
    values = tuple(float(t) for t in thresholds)
    if len(values) == 2:  # SGA and LGA; the finer labels stay at 3 and 97
        values = (min(DEFAULT_THRESHOLDS[0], values[0]), values[0], values[1], max(DEFAULT_THRESHOLDS[3], values[1]))
    if len(values) != 4:
        raise ValueError("thresholds: expected (sga, lga) or (very_small, sga, lga, very_large)")
    return values

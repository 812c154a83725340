"""Turning what a caller passes (scalars, arrays, Series, names or codes) into
the columns the compiled core reads.

A column is either numbers (NaN missing) or texts reduced to their distinct
values with an index a row (-1 missing): float64 and int64 data are passed
on as they are (a view, never a copy), other numbers are converted to
float64, and texts are read by the reading layer's vocabulary, once per
distinct text.
NaN, None, pandas' NA and a masked value are missing inputs; booleans, dates,
durations and complex numbers are refused, naming the input.
"""

import os
import re
import sys

import numpy as np

from . import _wrenfield as _core

INPUTS = ("bwt", "gest", "wt", "ht", "sex", "eth", "par")


def snake_case(name):
    """The package's name of a result field: "expectedWeight" -> "expected_weight"."""
    return re.sub(r"([A-Z])", lambda m: "_" + m.group(1).lower(), name)


def snake_keys(value):
    """A result read from JSON with every key in snake_case, at every depth."""
    if isinstance(value, dict):
        return {snake_case(k): snake_keys(v) for k, v in value.items()}
    if isinstance(value, list):
        return [snake_keys(v) for v in value]
    return value


# The optional columns a caller may ask for (band, band_label, ..., flags),
# and the short name of earlier versions for one of them.
ADDABLE = tuple(_core.column_fields())
ALIASES = {"expected": "expected_weight"}

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


def as_array(values):
    """An array of what a caller passed; a list mixing texts and numbers
    keeps its numbers (and its NaN and None) rather than becoming texts."""
    array = np.asarray(values)
    if array.dtype.kind in "US":
        array = np.asarray(values, dtype=object)
    return array


def default_threads():
    try:
        return max(1, len(os.sched_getaffinity(0)))
    except (AttributeError, OSError):
        return max(1, os.cpu_count() or 1)


def population_code(population):
    """The code (0 to 4) of a population given by name, alias (any case) or code."""
    if isinstance(population, (bool, np.bool_)):
        raise TypeError("population: expected a name, an alias or a code, not a bool")
    if isinstance(population, (int, np.integer)):
        if 0 <= int(population) < 5:
            return int(population)
        raise ValueError(f"population: expected a code from 0 to 4, not {int(population)}")
    if isinstance(population, str):
        code, error = _core.read_population(population)
        if code is None:
            raise ValueError(f"population: {error}")
        return code
    raise TypeError(f"population: expected a name, an alias or a code, not {type(population).__name__} "
                    f"(population={population!r})")


def _population_text(value):
    """A population of a column as the core reads it: a code 0 to 4 (an integer,
    or a float holding one) is that population's name, as it is for a scalar;
    anything else its text."""
    if not isinstance(value, (bool, np.bool_)) and (
        isinstance(value, (int, np.integer)) or (isinstance(value, (float, np.floating)) and float(value).is_integer())
    ):
        code = int(value)
        if 0 <= code < 5:
            return _core.populations()[code]["name"]
    return _text_of(value)


def population_column(values):
    """The population column's distinct texts and index; a code 0 to 4 is its
    population's name."""
    if is_series(values):
        values = series_values(values)
    values = _unmasked(values, "population")
    if not hasattr(values, "dtype"):
        values = np.asarray(values, dtype=object)
    return text_column(values, _population_text)


def _unmasked(values, name):
    """A masked array with its masked values missing (NaN among numbers, None
    elsewhere); anything else as it is."""
    if not isinstance(values, np.ma.MaskedArray):
        return values
    if values.dtype.kind in "iuf":
        return values.astype(np.float64).filled(np.nan)
    return values.astype(object).filled(None)


def _text_of(value):
    if isinstance(value, str):
        return value
    if isinstance(value, (float, np.floating)):
        return "" if np.isnan(value) else repr(float(value))
    return str(value)


def text_column(values, text_of=_text_of):
    """(distinct texts, int64 index a row with -1 for a missing value)."""
    import pandas as pd

    if is_series(values):
        values = series_values(values)
    if isinstance(getattr(values, "dtype", None), pd.CategoricalDtype):
        # Already distinct values with their codes (-1 missing): no hashing.
        return [text_of(c) for c in values.categories], np.asarray(values.codes, dtype=np.int64)
    if isinstance(values, np.ndarray) and values.dtype == object:
        # Strings (and missing values) alone: reduced by the compiled memo of
        # the texts seen, which gives what factorize gives, many times faster.
        reduced = _core.distinct_texts(values)
        if reduced is not None:
            texts, index = reduced
            return [text_of(t) for t in texts], index
    codes, uniques = pd.factorize(values, use_na_sentinel=True)
    return [text_of(u) for u in uniques], np.asarray(codes, dtype=np.int64)


def input_column(name, values, rows):
    """One input as the core reads it: a float64 array of `rows` values, or
    texts with their index.

    `values` is a numpy array, a pandas Series or extension array, or a
    scalar. A float64 array in the machine's byte order is returned as it is.
    """
    if is_series(values):
        values = series_values(values)
    if values is np.ma.masked:
        values = np.nan
    values = _unmasked(values, name)
    dtype = getattr(values, "dtype", None)
    if dtype is not None and not isinstance(dtype, np.dtype):
        # A pandas extension array: nullable numbers, strings, categories.
        kind = getattr(dtype, "kind", "O")
        if getattr(dtype, "name", "") == "category":
            if values.categories.dtype.kind not in "iuf":
                return text_column(values)
            values = np.asarray(values, dtype=np.float64)
        elif kind in "iuf":
            values = values.to_numpy(dtype=np.float64, na_value=np.nan)
        elif kind in "bMm":
            raise TypeError(f"{name}: cannot read {dtype} values as numbers or names")
        else:
            values = values.to_numpy(dtype=object, na_value=None)
    array = values if isinstance(values, np.ndarray) else as_array(values)
    if array.ndim == 0:
        array = np.broadcast_to(array, (rows,))
    if array.ndim != 1 or len(array) != rows:
        raise ValueError(f"{name}: expected {rows} values, got shape {array.shape}")

    kind = array.dtype.kind
    if kind in "fiu":
        # float64 and int64 are read in place; other numbers become float64.
        if array.dtype not in (np.float64, np.int64) or not array.dtype.isnative:
            array = array.astype(np.float64)
        if not array.flags.aligned:
            array = array.copy()
        return array
    if kind in "OUS":
        return text_column(array)
    raise TypeError(f"{name}: cannot read {array.dtype} values as numbers or names")


def decimal_comma(decimal):
    """Whether texts write numbers with a decimal comma: `decimal` is "." (the
    default) or ",", as pandas.read_csv takes it."""
    if decimal not in (".", ","):
        raise ValueError(f'decimal: expected "." or ",", not {decimal!r}')
    return decimal == ","


def run(columns, rows, population, default_population, threads, details, flags, thresholds, strict=False,
        units=None, na=None, progress=None, exact=False, records=False, decimal=".", meanwhile=None):
    """The compiled computation over prepared columns; returns its dict.
    `meanwhile` (no arguments) is called while the workers compute; its
    result is the dict's "meanwhile"."""
    if threads is None:
        threads = default_threads()
    if isinstance(threads, bool) or not isinstance(threads, (int, np.integer)) or threads < 1:
        raise ValueError(f"threads: expected a whole number of at least 1, not {threads!r}")
    if units is not None and not isinstance(units, dict):
        raise TypeError("units: expected a dict such as {'bwt': 'kg', 'ht': 'm'}")
    if na is not None:
        na = [na] if isinstance(na, str) else [str(marker) for marker in na]
    return _core.compute_columns(
        list(columns),
        rows,
        population=population,
        default_population=default_population,
        threads=int(threads),
        details=details,
        flags=flags,
        thresholds=tuple(float(t) for t in thresholds),
        strict=bool(strict),
        exact=bool(exact),
        records=records,
        units={str(k): str(v) for k, v in units.items()} if units else None,
        na=na,
        decimal_comma=decimal_comma(decimal),
        progress=progress,
        meanwhile=meanwhile,
    )


def thresholds_of(thresholds):
    if thresholds is None:
        return DEFAULT_THRESHOLDS
    values = tuple(float(t) for t in thresholds)
    if len(values) == 2:  # SGA and LGA: the reading layer's rule places the finer labels
        return _core.thresholds_for(*values)
    if len(values) != 4:
        raise ValueError("thresholds: expected (sga, lga) or (very_small, sga, lga, very_large)")
    return values


def added_name(name):
    """The column of `add` a caller names (an alias gives its field's name)."""
    return ALIASES.get(name, name)

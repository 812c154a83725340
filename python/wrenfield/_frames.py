"""Centiles for pandas DataFrames: `add_centiles`."""

import numpy as np

from . import _arrays, _inputs


class RowError(ValueError):
    """Kept so that code written to catch it still runs: add_centiles no
    longer raises it. Under strict=True each row's error is in its own row, as
    with `custcent batch --strict`. `label` is a row's index label, `message`
    why."""

    def __init__(self, label, message):
        super().__init__(label, message)
        self.label = label
        self.message = message

    def __str__(self):
        return f"row {self.label!r}: {self.message}"


def _column_key(name):
    return str(name).strip().lower()


def find_columns(df, columns):
    """The DataFrame column of each input (and of the population, if any):
    `columns` maps an input to a column name; the others are found by their
    own names, ignoring case and surrounding blanks, as `custcent batch`
    finds them in a header."""
    columns = dict(columns or {})
    unknown = set(columns) - set(_inputs.INPUTS) - {"population"}
    if unknown:
        raise ValueError(
            f"columns: unknown input(s) {sorted(unknown)}; the inputs are {', '.join(_inputs.INPUTS)} and population"
        )
    by_key = {}
    for name in df.columns:
        by_key.setdefault(_column_key(name), []).append(name)
    found = {}
    missing = []
    for field in _inputs.INPUTS + ("population",):
        if field in columns:
            name = columns[field]
            if name not in df.columns:
                raise KeyError(f"columns: {field} is mapped to {name!r}, which the DataFrame does not have")
            found[field] = name
            continue
        candidates = by_key.get(field, [])
        if len(candidates) > 1:
            raise ValueError(f"the DataFrame has several columns for {field}: {candidates}; name one in columns=")
        if candidates:
            found[field] = candidates[0]
        elif field != "population":
            missing.append(field)
    if missing:
        raise KeyError(
            f"the DataFrame lacks the column(s) {', '.join(missing)} "
            f"(map them with columns={{'bwt': 'birthweight_g', ...}}); it has {list(df.columns)}"
        )
    return found


def _check_add(add):
    if isinstance(add, str):
        add = [add]
    add = [_inputs.added_name(name) for name in (add or [])]
    for name in add:
        if name not in _inputs.ADDABLE:
            raise ValueError(f"add: unknown column {name!r}; choose from {', '.join(_inputs.ADDABLE)}")
    if len(set(add)) != len(add):
        raise ValueError("add: a column is named twice")
    return add


def add_centiles(
    df,
    population="United Kingdom",
    columns=None,
    add=(),
    *,
    threads=None,
    strict=False,
    thresholds=None,
    units=None,
    na=None,
    exact=False,
    decimal=".",
):
    """A new DataFrame: `df` with the centile of each row, the columns named
    in `add`, and `error`.

    The inputs are the columns bwt (g), gest (days), wt (kg), ht (cm), sex,
    eth and par, found by name (any case) or mapped with `columns`
    ({"bwt": "birthweight_g", "population": "country"}). Numbers or the
    command line's words: "Male", "F", "European", "39+4", "3.4kg", "4 or
    more". NaN, None, pandas' NA, the empty text and the markers NA, NaN and
    "." are missing inputs (`na` sets the markers); `units` gives other
    units for bare numbers ({"bwt": "kg", "ht": "m"}). A population column,
    if any, gives each row's population; a missing one takes `population`.

    `add` names extra columns, placed between `centile` and `error` in the
    order given: rounded, centile_text (the centile as shown beside its band:
    "38", or "9.9" where the whole number would contradict the band), band,
    band_label, band_words, term_weight, weeks,
    proportion, expected_weight, spread, z, flags (the fields of the result
    everywhere else; "expected" is expected_weight). `error` is None for a
    computed row, else why not, in the words every way in gives ("missing:
    bwt, gest", "sex: expected Male, Female, ...", "the centile cannot be
    computed: Overflow").

    One bad row never raises: it gets its error in its own row, and every
    other row its centile. With strict=True a flagged row is such an error
    ("flagged: ..."; no centile), as with `custcent batch --strict`.
    decimal="," reads numbers in texts with a decimal comma ("64,5", "3,4kg"),
    as pandas.read_csv(sep=";", decimal=",") writes the columns it could not
    read as numbers. exact=True computes every row by the population's method
    itself. `threads`: threads that compute (default: the cores available).
    """
    import pandas as pd

    if not isinstance(df, pd.DataFrame):
        raise TypeError(f"add_centiles: expected a pandas DataFrame, not {type(df).__name__}")
    add = _check_add(add)
    thresholds = _inputs.thresholds_of(thresholds)
    found = find_columns(df, columns)
    for output in ("centile", "error", *add):
        if output in df.columns:
            raise ValueError(f"the DataFrame already has a column named {output!r}; rename it first")

    rows = len(df)
    default = _inputs.population_code(population)
    populations = _inputs.population_column(df[found["population"]]) if "population" in found else None
    inputs = [_inputs.input_column(name, df[found[name]], rows) for name in _inputs.INPUTS]
    details = bool(set(add) - {"rounded", "centile_text", "flags"})
    # The new frame starts as a copy of `df`, which needs nothing from the
    # centiles: with more than one thread it is made while they are computed.
    if threads is None:
        threads = _inputs.default_threads()
    overlap = threads != 1
    result = _inputs.run(inputs, rows, populations, default, threads, details, "flags" in add, thresholds,
                         strict=strict, units=units, na=na, exact=exact, decimal=decimal,
                         meanwhile=df.copy if overlap else None)

    added = {"centile": result["centile"]}
    texts = dict(zip(("band", "band_label", "band_words"), _arrays.band_texts(thresholds)))
    for name in add:
        if name in texts:
            # The texts of the five bands (the last entry is "none"); SGA and
            # AGA... repeat in `band`, so the categories are the distinct ones.
            five = list(texts[name][:-1])
            categories = list(dict.fromkeys(five))
            position = np.array([categories.index(t) for t in five] + [-1], dtype=np.int64)
            band = result["band"].astype(np.int64)
            added[name] = pd.Categorical.from_codes(position[np.where(band == 255, 5, band)], categories=categories)
        elif name == "rounded":
            added["rounded"] = _arrays.rounded_centiles(result["centile"])
        elif name == "centile_text":
            added["centile_text"] = _arrays.centile_texts(result["centile"], thresholds)
        elif name == "flags":
            added["flags"] = _arrays.row_texts(rows, result["flag_rows"], result["flags"])
        else:
            added[name] = result[name]
    added["error"] = _arrays.row_texts(rows, result["message_rows"], result["messages"])
    # As df.assign adds them to its copy. An object column is given its
    # dtype: left to infer it, pandas would scan a million rows for dates first.
    out = result["meanwhile"] if overlap else df.copy()
    for name, values in added.items():
        out[name] = pd.Series(values, index=df.index, dtype=object if getattr(values, "dtype", None) == object else None)
    return out

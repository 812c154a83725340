"""wrenfield.add_centiles over pandas DataFrames."""

import io

import numpy as np
import pandas as pd
import pytest

import wrenfield
from wrenfield import _inputs, _wrenfield

INPUTS = ("bwt", "gest", "wt", "ht", "sex", "eth", "par")


def test_same_rows_as_custcent_batch_with_labels_kept(births, custcent_batch):
    df = births(2000)
    df.index = [f"baby-{k}" for k in range(len(df))]
    out = wrenfield.add_centiles(df.drop(columns="population"), population="se")
    centile, error = custcent_batch(df.drop(columns="population"), "-p", "se")
    np.testing.assert_array_equal(out["centile"].to_numpy(), centile)
    assert out["error"].tolist() == error
    assert list(out.index) == list(df.index) and list(out.columns) == list(df.columns[:-1]) + ["centile", "error"]
    with_populations = wrenfield.add_centiles(df, population="nz")
    centile, error = custcent_batch(df, "-p", "nz")
    np.testing.assert_array_equal(with_populations["centile"].to_numpy(), centile)
    assert with_populations["error"].tolist() == error


def test_float64_and_int64_columns_are_read_in_place():
    df = pd.DataFrame({"bwt": [3400.0, 3000.0], "gest": np.array([280, 270], dtype=np.int64),
                       "sex": pd.array([1, None], dtype="Int64")})
    for name in ("bwt", "gest"):
        assert np.shares_memory(_inputs.input_column(name, df[name], 2), df[name].to_numpy())
    sex = _inputs.input_column("sex", df["sex"], 2)
    assert sex[0] == 1 and np.isnan(sex[1])


def test_the_new_frame_is_a_copy_made_while_the_centiles_are_computed(births):
    df = births(9000)  # several chunks of rows
    one, three = (wrenfield.add_centiles(df, add=["band", "z", "flags"], threads=t) for t in (1, 3))
    pd.testing.assert_frame_equal(one, three)
    one.loc[0, "bwt"] = -1.0  # the new frame owns its values
    assert (df["bwt"] != -1.0).all()
    np.testing.assert_array_equal(three["bwt"].to_numpy(), df["bwt"].to_numpy())
    # Work that fails while the centiles are computed stops the workers and
    # passes the failure on; the next call runs as usual.
    columns = [df[name].to_numpy() for name in INPUTS]
    with pytest.raises(ZeroDivisionError):
        _inputs.run(columns, len(df), None, 0, 2, False, False, (3, 10, 90, 97), meanwhile=lambda: 1 / 0)
    done = _inputs.run(columns, len(df), None, 0, 2, False, False, (3, 10, 90, 97), meanwhile=lambda: "copied")
    assert done["meanwhile"] == "copied" and done["computed"] + done["missing"] + done["errors"] == len(df)


class _Text(str):
    pass


@pytest.mark.parametrize(
    "values, by_memo",
    [
        (["uk", "us", None, "uk", np.nan, "", "us"], True),
        # Many distinct texts, long and short, "a" beside "a\0", non-ASCII.
        ([f"group {k % 150}" if k % 3 else "abcdefgh"[: k % 9] for k in range(3000)] + ["a", "a\0", "Māori"], True),
        (["uk", 3, "us"], False),            # a number among the texts
        (["uk", pd.NA, "us"], False),        # pandas' own missing value
        (["uk", _Text("uk"), "se"], False),  # a subclass of str
        (["uk", "\ud800"], False),          # a lone surrogate has no UTF-8
    ],
)
def test_text_columns_reduced_to_their_distinct_texts(values, by_memo):
    array = np.empty(len(values), dtype=object)
    array[:] = values
    assert (_wrenfield.distinct_texts(array) is not None) == by_memo
    for column in (array, array[::-1]):  # and a reversed view
        seen = {}
        expected = [-1 if v is None or v is pd.NA or v != v else seen.setdefault(v, len(seen)) for v in column]
        texts, index = _inputs.text_column(column)
        assert index.dtype == np.int64
        np.testing.assert_array_equal(index, expected)
        assert texts == [_inputs._text_of(v) for v in seen]
    # A text is all of its characters: pandas' own reduction of a column of
    # str stops at a NUL, and would read "a\0" as "a".
    if by_memo and "a\0" in values:
        texts, _ = _inputs.text_column(array)
        assert "a" in texts and "a\0" in texts


def test_group_names_follow_each_rows_population():
    df = pd.DataFrame(
        dict(bwt=3300.0, gest=280.0, wt=65.0, ht=165.0, sex=1, par=0,
             eth=["Maori", "Maori", "Scandinavian", "Narnia"], country=["nz", "uk", "", "au"])
    )
    out = wrenfield.add_centiles(df, population="se", columns={"population": "country"})
    assert out["error"][0] is None and out["error"][2] is None
    assert out["error"][1].startswith('eth: not an ethnic group of United Kingdom: "Maori"')
    assert out["error"][3].startswith('eth: not an ethnic group of Australia: "Narnia"')
    assert out["centile"][2] == wrenfield.centile("se", 3300, 280, 65, 165, 1, "Scandinavian", 0)


def test_added_columns_in_the_order_named_and_strict_names_the_label():
    df = pd.DataFrame(
        {"Birthweight": [3400.0, 3400.0, np.nan, 3400.0], "GEST": [280.0, 40.0, 280.0, 280.0], "wt": 64.0,
         "ht": 163.0, "sex": 1.0, "eth": [1.0, 1.0, 1.0, 1.0], "par": 0.0},
        index=pd.Index(["ann", "bea", "cat", "dot"], name="baby"),
    )
    df.loc["dot", "wt"] = 1e300
    add = ["flags", "weeks", "band_label", "band", "rounded", "expected", "z", "spread"]
    out = wrenfield.add_centiles(df, columns={"bwt": "Birthweight"}, add=add)
    # "expected" is the expected weight's column of earlier versions.
    assert list(out.columns) == list(df.columns) + ["centile"] + [
        "flags", "weeks", "band_label", "band", "rounded", "expected_weight", "z", "spread", "error"]
    assert out.index.equals(df.index)
    assert out.loc["bea", "flags"] == "gest below 22 weeks — weeks typed as days?"
    assert out["error"].tolist() == [None, None, "missing: bwt", "the centile cannot be computed: Overflow"]
    assert out["band"].dtype == "category" and out.loc["ann", "band"] == "AGA" and pd.isna(out.loc["cat", "band"])
    assert list(out["band"].cat.categories) == ["SGA", "AGA", "LGA"]
    assert out.loc["bea", "band_label"] == "SGA <3rd" and out.loc["bea", "band"] == "SGA"
    assert out.loc["ann", "rounded"] == 38 and out.loc["ann", "weeks"] == 40
    # strict=True: a flagged row gets its error in its own row, as with
    # custcent batch --strict; every other row keeps its centile.
    strict = wrenfield.add_centiles(df, columns={"bwt": "Birthweight"}, add=["centile_text"], strict=True)
    assert strict["error"].tolist() == [None, "flagged: gest below 22 weeks — weeks typed as days?", "missing: bwt",
                                        "the centile cannot be computed: Overflow"]
    assert strict.loc["ann", "centile"] == out.loc["ann", "centile"] and np.isnan(strict.loc["bea", "centile"])
    assert strict["centile_text"].tolist() == ["38", None, None, None]


def test_decimal_comma_as_pandas_reads_it():
    # pandas reads a column of plain numbers with decimal=","; a column that
    # also holds a unit or a marker stays text, with its commas.
    text = ("bwt;gest;wt;ht;sex;eth;par\n"
            "3400;39+4;64,5;163;Male;European;0\n"
            "3,4kg;280;10st2lb;163;F;Indian;1\n"
            "3400;280;NA;163,5;M;Māori;0\n")
    df = pd.read_csv(io.StringIO(text), sep=";", decimal=",", keep_default_na=False)
    assert df["wt"].dtype == object and df["ht"].dtype == np.float64
    out = wrenfield.add_centiles(df, population="nz", decimal=",")
    assert out["error"].tolist() == [None, None, "missing: wt"]
    assert out["centile"][0] == wrenfield.centile("nz", 3400, 277, 64.5, 163, 1, 1, 0)
    assert out["centile"][1] == wrenfield.centile("nz", 3400, 280, "10st2lb", 163, 0, 2, 1)
    # Without the option the same frame cannot be read, and says why.
    plain = wrenfield.add_centiles(df, population="nz")
    assert plain["error"][0].startswith("wt: ") and "64,5" in plain["error"][0]
    # The other calls take it too, and nothing but "." and ",".
    assert wrenfield.calc(3400, "39+4", "64,5", "163", 1, "Māori", 0, population="nz", decimal=",")["centile"] == \
        wrenfield.centile("nz", 3400, 277, 64.5, 163, 1, 3, 0)
    assert wrenfield.compute("uk", "3,4kg", 280, 64, 163, 1, 1, 0, decimal=",").centile == \
        wrenfield.centile("uk", 3400, 280, 64, 163, 1, 1, 0)
    with pytest.raises(ValueError, match='decimal: expected "." or ","'):
        wrenfield.centile("uk", 3400, 280, 64, 163, 1, 1, 0, decimal=";")


@pytest.mark.parametrize(
    "frame, options, exception, words",
    [
        (dict(bwt=[1.0]), {}, KeyError, "lacks the column"),
        (dict(zip(INPUTS, [[1.0]] * 7), centile=[1.0]), {}, ValueError, "already has a column named 'centile'"),
        (dict(zip(INPUTS, [[1.0]] * 7), BWT=[1.0]), {}, ValueError, "several columns for bwt"),
        (dict(zip(INPUTS, [[1.0]] * 7)), dict(add=["colour"]), ValueError, "add: unknown column 'colour'"),
        (dict(zip(INPUTS, [[1.0]] * 7)), dict(columns={"weight": "wt"}), ValueError, "unknown input"),
        (dict(zip(INPUTS, [[1.0]] * 7)), dict(population="Narnia"), ValueError, "unknown population"),
        (dict(zip(INPUTS, [[1.0]] * 7)), dict(units={"bwt": "cm"}), ValueError, "units: bwt"),
    ],
)
def test_frames_and_options_that_cannot_be_used(frame, options, exception, words):
    with pytest.raises(exception, match=words):
        wrenfield.add_centiles(pd.DataFrame(frame), **options)


def test_empty_frame_keeps_its_dtypes():
    empty = pd.DataFrame({c: pd.Series([], dtype=np.float64) for c in INPUTS})
    out = wrenfield.add_centiles(empty, add=["band", "flags"])
    assert len(out) == 0 and out["centile"].dtype == np.float64 and out["band"].dtype == "category"


def test_the_readme_example_prints_what_it_shows(tmp_path):
    """The README's Python example, run as a user runs it from the top of a
    checkout (build/ being the build tree), prints what the README shows."""
    import os
    import subprocess
    import sys
    from pathlib import Path

    top = Path(__file__).resolve().parents[2]
    sys.path.insert(0, str(top / "tests" / "support"))
    from doc_examples import marked_example

    command, shown = marked_example(top, "readme_python.sh")
    build = Path(os.environ["PYTHONPATH"].split(os.pathsep)[0]).parent
    (tmp_path / "build").symlink_to(build)
    done = subprocess.run(["bash", "-c", command], cwd=tmp_path, capture_output=True, text=True, timeout=60)
    assert done.stdout == shown, done.stderr

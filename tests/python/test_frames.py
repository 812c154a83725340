"""wrenfield.add_centiles over pandas DataFrames."""

import numpy as np
import pandas as pd
import pytest

import wrenfield
from wrenfield import _inputs

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


def test_float64_columns_are_read_in_place():
    df = pd.DataFrame({"bwt": [3400.0, 3000.0], "gest": [280.0, 270.0], "sex": pd.array([1, None], dtype="Int64")})
    bwt = _inputs.input_column("bwt", df["bwt"], 2)
    assert np.shares_memory(bwt, df["bwt"].to_numpy())
    sex = _inputs.input_column("sex", df["sex"], 2)
    assert sex[0] == 1 and np.isnan(sex[1])


MISSING = [None, np.nan, pd.NA, "", "NA", "nan", " . "]


@pytest.mark.parametrize("column", INPUTS)
def test_missing_values_in_every_form(column):
    # Each column in turn as a text column with one missing value of each kind,
    # then as a nullable column.
    base = dict(bwt=3400, gest=280, wt=64, ht=163, sex=1, eth=1, par=0)
    rows = [dict(base) for _ in range(len(MISSING) + 1)]
    for row, marker in zip(rows, MISSING):
        row[column] = marker
    df = pd.DataFrame(rows).astype({column: object})
    out = wrenfield.add_centiles(df)
    assert out["error"].tolist() == [f"missing: {column}"] * len(MISSING) + [None]
    nullable = pd.DataFrame(rows[-1:] * 2).astype({column: "Float64"})
    nullable.loc[0, column] = pd.NA
    assert wrenfield.add_centiles(nullable)["error"].tolist() == [f"missing: {column}", None]


# Rows as a user types them: every form of the vocabulary, missing markers,
# implausible values, unknown codes, groups and populations.
VOCABULARY = [
    ("uk", "3400", "39+4", "64", "163", "Male", "European", "0"),
    ("NZ", "3.1kg", "280", "140lb", "5ft4in", "f", "maori", "4 or more"),
    ("", "7lb8oz", "266", "10st2lb", "1.63m", "M", "2", "2"),
    ("United States", "3300", "NA", "70", "170", "Female", "Hispanic", "1"),
    ("au", "3300", "270", "70", "170", "1", "Narnia", "1"),
    ("Narnia", "3300", "270", "70", "170", "1", "1", "1"),
    ("uk", "3400", "40", "64", "1.63", "9", "99", "."),
    ("uk", "3400", "40", "64", "1.63", "9", "99", "0"),
    ("se", "3400", "280", "1e300", "163", "1", "1", "0"),
    ("se", "heavy", "280", "64", "163", "1", "Scandinavian", "0"),
]


@pytest.mark.parametrize(
    "options, keywords",
    [
        ((), {}),
        (("--strict",), dict(strict=True)),
        (("--sga", "5", "--lga", "95"), dict(thresholds=(5, 95))),
        (("--bwt-unit", "kg", "--ht-unit", "m", "--na", "heavy"), dict(units={"bwt": "kg", "ht": "m"}, na=["heavy"])),
    ],
)
def test_vocabulary_missing_values_and_flags_as_the_command_line(custcent_batch, options, keywords):
    df = pd.DataFrame(VOCABULARY, columns=["population", *INPUTS], index=[f"row{k}" for k in range(len(VOCABULARY))])
    added = ("band", "flags")
    centile, error, columns = custcent_batch(df, *options, "--add", ",".join(added), added=added)
    if keywords.get("strict"):
        with pytest.raises(wrenfield.RowError, match="row 'row4': Type mismatch \\(not a number: eth\\)"):
            wrenfield.add_centiles(df, add=added, **keywords)
        got = wrenfield.compute(df["population"], *(df[c] for c in INPUTS), **keywords)
        out = pd.DataFrame({"centile": got.centile, "band": got.band, "flags": got.flags, "error": got.error})
    else:
        out = wrenfield.add_centiles(df, add=added, **keywords)
        as_categories = wrenfield.add_centiles(df.astype("category"), add=added, **keywords)
        pd.testing.assert_frame_equal(as_categories.drop(columns=df.columns), out.drop(columns=df.columns))
    np.testing.assert_array_equal(out["centile"].to_numpy(), centile)
    assert out["error"].tolist() == error
    assert [None if pd.isna(b) else b for b in out["band"]] == columns["band"]
    assert out["flags"].tolist() == columns["flags"]


def test_group_names_follow_each_rows_population():
    df = pd.DataFrame(
        dict(bwt=3300.0, gest=280.0, wt=65.0, ht=165.0, sex=1, par=0,
             eth=["Maori", "Maori", "Scandinavian", "Narnia"], country=["nz", "uk", "", "au"])
    )
    out = wrenfield.add_centiles(df, population="se", columns={"population": "country"})
    assert out["error"][0] is None and out["error"][2] is None
    assert out["error"][1] == out["error"][3] == "Type mismatch (not a number: eth)"
    assert out["centile"][2] == wrenfield.centile("se", 3300, 280, 65, 165, 1, "Scandinavian", 0)


def test_added_columns_in_the_order_named_and_strict_names_the_label():
    df = pd.DataFrame(
        {"Birthweight": [3400.0, 3400.0, np.nan, 3400.0], "GEST": [280.0, 40.0, 280.0, 280.0], "wt": 64.0,
         "ht": 163.0, "sex": 1.0, "eth": [1.0, 1.0, 1.0, 1.0], "par": 0.0},
        index=pd.Index(["ann", "bea", "cat", "dot"], name="baby"),
    )
    df.loc["dot", "wt"] = 1e300
    add = ["flags", "weeks", "band", "rounded", "expected", "z"]
    out = wrenfield.add_centiles(df, columns={"bwt": "Birthweight"}, add=add)
    assert list(out.columns) == list(df.columns) + ["centile"] + add + ["error"]
    assert out.index.equals(df.index)
    assert out.loc["bea", "flags"] == "gest below 22 weeks — weeks typed as days?"
    assert out["error"].tolist() == [None, None, "missing: bwt", "Overflow"]
    assert out["band"].dtype == "category" and out.loc["ann", "band"] == "AGA" and pd.isna(out.loc["cat", "band"])
    assert out.loc["ann", "rounded"] == 38 and out.loc["ann", "weeks"] == 40
    with pytest.raises(wrenfield.RowError, match="row 'bea': flagged: gest below 22 weeks") as raised:
        wrenfield.add_centiles(df, columns={"bwt": "Birthweight"}, strict=True)
    assert raised.value.label == "bea"
    fine = wrenfield.add_centiles(df.loc[["ann", "cat"]], columns={"bwt": "Birthweight"}, strict=True)
    assert fine["error"].tolist() == [None, "missing: bwt"]  # a missing input is no error


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
    import re
    import subprocess
    from pathlib import Path

    readme = (Path(__file__).resolve().parents[2] / "README.md").read_text(encoding="utf-8")
    section = readme[readme.index("## Python package") :]
    command, shown = re.search(r"```sh\n(.*?)```\n\n```\n(.*?)```", section, re.S).groups()
    build = Path(os.environ["PYTHONPATH"].split(os.pathsep)[0]).parent
    (tmp_path / "build").symlink_to(build)
    done = subprocess.run(["bash", "-c", command], cwd=tmp_path, capture_output=True, text=True, timeout=60)
    assert done.stdout == shown, done.stderr

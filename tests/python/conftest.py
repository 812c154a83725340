"""Shared fixtures: the real custcent, and made-up births."""

import csv
import io
import os
import subprocess

import numpy as np
import pytest

# Dask reads its logging configuration when it is imported; as JSON, since
# the DASK_LOGGING__... form breaks the import.
os.environ.setdefault("DASK_LOGGING", '{"distributed": "error"}')

INPUTS = ("bwt", "gest", "wt", "ht", "sex", "eth", "par")
ALIASES = ("uk", "us", "se", "nz", "au")


@pytest.fixture(scope="session")
def custcent_batch():
    """Runs `custcent batch` on a DataFrame's rows (written as CSV with the
    shortest exact text of each number) and returns its centile and error
    columns: centile as float64 (NaN where empty), error as texts (None where
    empty). With `added`, also the added columns as texts (None where empty)."""
    program = os.environ.get("WRENFIELD_CUSTCENT")
    if not program:
        pytest.skip("WRENFIELD_CUSTCENT is not set (ctest sets it)")

    def run(df, *options, added=()):
        text = io.StringIO()
        df.to_csv(text, index=False, na_rep="", float_format=None)
        done = subprocess.run(
            [program, "batch", "--quiet", *options], input=text.getvalue(), capture_output=True, text=True, timeout=60
        )
        assert done.returncode in (0, 1), done.stderr
        rows = list(csv.DictReader(io.StringIO(done.stdout)))
        centile = np.array([float(r["centile"]) if r["centile"] else np.nan for r in rows])
        error = [r["error"] or None for r in rows]
        if added:
            return centile, error, {name: [r[name] or None for r in rows] for name in added}
        return centile, error

    return run


@pytest.fixture
def births():
    """`births(n)`: n made-up births of all five populations, as a DataFrame
    of float64 columns and a population column of aliases; about one row in
    fifty has a missing input and a few have values that overflow."""
    import pandas as pd

    def make(n, seed=7):
        rng = np.random.default_rng(seed)
        df = pd.DataFrame(
            {
                "bwt": rng.normal(3300, 600, n).round(),
                "gest": rng.integers(170, 300, n).astype(np.float64),
                "wt": rng.normal(68, 14, n).round(1),
                "ht": rng.normal(164, 8, n).round(),
                "sex": rng.integers(0, 3, n).astype(np.float64),
                "eth": rng.integers(1, 11, n).astype(np.float64),
                "par": rng.integers(0, 6, n).astype(np.float64),
                "population": rng.choice(ALIASES, n),
            }
        )
        holes = rng.random((n, 7)) < 0.003
        for c, name in enumerate(INPUTS):
            df.loc[holes[:, c], name] = np.nan
        df.loc[rng.random(n) < 0.002, "wt"] = 1e300
        return df

    return make

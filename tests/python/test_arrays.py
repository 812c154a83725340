"""wrenfield.centile, compute and calc over numpy arrays."""

import numpy as np
import pytest

import wrenfield
from wrenfield import _wrenfield

INPUTS = ("bwt", "gest", "wt", "ht", "sex", "eth", "par")
ONE = dict(bwt=3400, gest=280, wt=64, ht=163, sex=1, eth=1, par=0)


def test_same_rows_as_custcent_batch(births, custcent_batch):
    df = births(3000)
    expected_centile, expected_error = custcent_batch(df)
    for threads in (1, 3):
        got = wrenfield.compute(df["population"].to_numpy(), *(df[c].to_numpy() for c in INPUTS), threads=threads)
        # The same kernel computes both: the same doubles, not merely close.
        # (compute's reading takes the exact method's value within 1e-9 of a
        # band threshold, so compare centile() for bits, compute() within 1e-9.)
        assert np.allclose(got.centile, expected_centile, rtol=0, atol=1e-9, equal_nan=True)
        assert list(got.error) == expected_error
    plain = wrenfield.centile(df["population"].to_numpy(), *(df[c].to_numpy() for c in INPUTS))
    np.testing.assert_array_equal(plain, expected_centile)
    assert 0 < np.isnan(plain).sum() < 100
    # Bare numbers in other units, converted as the batch converts them.
    other = df.assign(bwt=df["bwt"] / 453.59237, ht=df["ht"] / 100)
    expected_centile, _ = custcent_batch(other, "--bwt-unit", "lb", "--ht-unit", "m")
    converted = wrenfield.centile(other["population"], *(other[c] for c in INPUTS), units={"bwt": "lb", "ht": "m"})
    np.testing.assert_array_equal(converted, expected_centile)


def test_one_record_exact_call_is_the_method():
    result = wrenfield.calc(3400, "39+4", 64, 163, "Male", "European", 0)
    assert result["centile"] == 45.92794567550015 and result["rounded"] == 46
    assert result["weeks"] == 277 / 7 and result["inputs"]["gest"] == 277
    assert wrenfield.calc(3400, 280, 64, 163, 1, 1, 0, population="uk")["centile"] == 38.22164104629216
    with_units = wrenfield.calc("3.4kg", 280, "64kg", "5ft4in", "M", "european", 0, population="UK")
    assert with_units["centile"] == wrenfield.calc(3400, 280, 64, 162.56, 1, 1, 0)["centile"]
    assert with_units["band"] == "AGA" and with_units["flags"] == []
    assert wrenfield.calc(3400, 40, 64, 163, 1, 1, 0, thresholds=(5, 95))["flags"] == [
        "gest below 22 weeks — weeks typed as days?"]
    # The batch kernel agrees with the method to well within 1e-9.
    assert abs(wrenfield.centile("uk", **ONE) - 38.22164104629216) < 1e-9


@pytest.mark.parametrize(
    "arguments, exception, words",
    [
        (dict(bwt="heavy"), ValueError, "bwt: "),
        (dict(bwt=-3400), ValueError, "bwt: "),
        (dict(gest="39+9"), ValueError, "gest: expected days"),
        (dict(sex="X"), ValueError, "sex: expected Male, Female"),
        (dict(eth="Narnia"), ValueError, "eth: not an ethnic group of United Kingdom"),
        (dict(wt=1e300), wrenfield.CalculationError, "Overflow"),
        (dict(par=True), TypeError, "par: expected a number or a text"),
        (dict(ht=[163]), TypeError, "ht: expected a number or a text"),
    ],
)
def test_exact_call_errors_name_the_input(arguments, exception, words):
    with pytest.raises(exception, match=words):
        wrenfield.calc(**dict(ONE, **arguments))


def test_broadcasting_and_shapes():
    assert isinstance(wrenfield.centile("uk", **ONE), np.floating)
    grid = wrenfield.centile("uk", np.array([[3000], [3400]]), [266, 280, 294], 64, 163, 1, 1, 0)
    assert grid.shape == (2, 3) and grid.dtype == np.float64
    assert grid[1, 1] == wrenfield.centile("uk", **ONE)
    assert wrenfield.centile("uk", np.array([], dtype=float), 280, 64, 163, 1, 1, 0).shape == (0,)
    per_row = wrenfield.centile(["uk", "Sweden", "nz", "New Zealand"], 3400, 280, 64, 163, 1, 1, 0)
    for k, population in enumerate(["uk", "se", "nz", "nz"]):
        assert per_row[k] == wrenfield.centile(population, **ONE)
    with pytest.raises(ValueError, match="cannot be broadcast"):
        wrenfield.centile("uk", [1, 2], [1, 2, 3], 64, 163, 1, 1, 0)


@pytest.mark.parametrize(
    "make",
    [
        lambda a: a.astype(np.float32),
        lambda a: a.astype(np.int32),
        lambda a: a.astype(">f8"),
        lambda a: np.repeat(a, 2)[::2],  # a strided view
        lambda a: a[::-1].copy()[::-1],  # a reversed view
        lambda a: a.astype(object),
        lambda a: a.astype(str),
    ],
)
def test_every_layout_and_dtype_gives_the_same_centiles(make):
    rng = np.random.default_rng(3)
    columns = dict(
        bwt=rng.integers(1500, 4500, 64).astype(np.float64),
        gest=rng.integers(230, 295, 64).astype(np.float64),
        wt=rng.integers(45, 110, 64).astype(np.float64),
        ht=rng.integers(145, 185, 64).astype(np.float64),
        sex=rng.integers(0, 2, 64).astype(np.float64),
        eth=rng.integers(1, 9, 64).astype(np.float64),
        par=rng.integers(0, 5, 64).astype(np.float64),
    )
    expected = wrenfield.centile("au", **columns)
    assert not np.isnan(expected).any()
    np.testing.assert_array_equal(wrenfield.centile("au", **{k: make(v) for k, v in columns.items()}), expected)


def test_results_read_as_the_command_line():
    got = wrenfield.compute(
        ["uk", "uk", "uk", "Narnia", "uk", "uk"],
        bwt=[3400, np.nan, 3400, 3400, 3400, 2000],
        gest=["39+4", 280, 280, 280, 40, 280],
        wt=[64, 64, 1e300, 64, 64, 64],
        ht=163,
        sex=["Male", "Female", 1, 1, 1, 9],
        eth=["European", "Indian", 99, 1, 1, 1],
        par=["4 or more", np.nan, 0, 0, 0, 0],
        thresholds=(10, 90),
    )
    assert got.error.tolist() == [None, "missing: bwt, par", "Overflow", "unknown population: Narnia", None, None]
    # Flags belong to computed rows, as in the batch.
    assert got.band.tolist() == ["AGA", None, None, None, "SGA <3rd", "SGA <3rd"]
    assert got.outcome.tolist() == [0, 1, 2, 2, 0, 0]
    assert got.flags[4] == "gest below 22 weeks — weeks typed as days?"
    assert got.flags[5] == "sex 9: female term used"
    assert got.flags[2] is None
    detail = wrenfield.calc(3400, "39+4", 64, 163, "Male", "European", "4 or more")
    assert abs(got.centile[0] - detail["centile"]) < 1e-9 and got.rounded[0] == detail["rounded"]
    assert got.z[0] == pytest.approx(detail["z"], abs=1e-12)
    assert got.expected_weight[0] == detail["expected_weight"] and got.weeks[0] == detail["weeks"]
    assert np.isnan(got.z[1:4]).all()
    frame = got.to_frame()
    assert list(frame.columns) == ["centile", "rounded", "band", "z", "expected_weight", "weeks", "flags", "error"]


def test_arguments_that_cannot_be_used():
    with pytest.raises(ValueError, match='unknown population "Narnia"; choose "United Kingdom" \\(uk\\)'):
        wrenfield.centile("Narnia", **ONE)
    with pytest.raises(ValueError, match="code from 0 to 4"):
        wrenfield.centile(5, **ONE)
    # A population that is no name, alias or code: the error names the argument.
    for odd in (1.5, np.float64(2.0), None, True, np.array(1.5)):
        with pytest.raises(TypeError, match="population: expected a name, an alias or a code, not"):
            wrenfield.compute(odd, **ONE)
    assert wrenfield.centile(np.array("nz"), **ONE) == wrenfield.centile("nz", **ONE)
    with pytest.raises(ValueError, match="threads"):
        wrenfield.centile("uk", **ONE, threads=0)
    with pytest.raises(TypeError, match="bwt: cannot read datetime64"):
        wrenfield.centile("uk", **dict(ONE, bwt=np.array(["2020-01-01"], dtype="datetime64[D]")))
    with pytest.raises(ValueError, match="out of order|order"):
        wrenfield.compute("uk", **ONE, thresholds=(90, 10))
    # The compiled entry point checks what it reads, whoever calls it.
    good = [np.zeros(3)] * 7
    with pytest.raises(TypeError, match="float64"):
        _wrenfield.compute_columns([np.zeros(3, dtype=np.float32)] + good[1:], 3)
    with pytest.raises(ValueError, match="one dimension of 4 values"):
        _wrenfield.compute_columns(good, 4)
    with pytest.raises(ValueError, match="not aligned"):
        raw = np.zeros(3 * 8 + 1, dtype=np.uint8)[1:].view(np.float64)
        _wrenfield.compute_columns([raw] + good[1:], 3)
    with pytest.raises(ValueError, match="population texts lies beyond them"):
        _wrenfield.compute_columns(good, 3, (["uk"], np.array([0, 1, 0])))
    with pytest.raises(ValueError, match="units: bwt: "):
        wrenfield.centile("uk", **ONE, units={"bwt": "ft"})


def test_worker_failures_and_interruptions_come_back_as_exceptions():
    rows = 300_000
    columns = [np.full(rows, v, dtype=np.float64) for v in (3400, 280, 64, 163, 1, 1, 0)]
    seen = []

    def progress(done):
        seen.append(done)
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        _wrenfield.compute_columns(columns, rows, threads=2, progress=progress)
    assert len(seen) == 1  # stopped at the first report, workers joined
    reports = []
    done = _wrenfield.compute_columns([c[:5000] for c in columns], 5000, progress=reports.append)
    assert reports[-1] == 5000 and done["computed"] == 5000


DTYPES = [np.float64, np.float32, np.float16, np.int8, np.int64, np.uint64, np.bool_, np.complex128, object, str,
          "datetime64[s]", ">f8"]


def test_fuzz_the_array_entry_point():
    """Random dtypes, lengths, NaN, ±inf and huge values: a result or a
    TypeError/ValueError, never a crash; rows not computed say why."""
    rng = np.random.default_rng(2026)
    specials = np.array([np.nan, np.inf, -np.inf, 0, -1, 1e308, -1e308, 5e-324, 1e150, 7, 40, 280, 3400])
    for trial in range(400):
        n = int(rng.choice([0, 1, 2, 5, 17, 4097]))
        arguments = []
        for _ in range(7):
            values = np.where(rng.random(n) < 0.3, rng.choice(specials, n), rng.normal(200, 1500, n))
            dtype = DTYPES[rng.integers(len(DTYPES))] if rng.random() < 0.3 else np.float64
            try:
                with np.errstate(all="ignore"):
                    column = values.astype(dtype)
            except (ValueError, OverflowError, TypeError):
                column = values
            arguments.append(column if rng.random() < 0.9 else column[:1])
        population = rng.choice(["uk", "us", "se", "nz", "au", "Narnia", ""], n) if rng.random() < 0.3 else "se"
        try:
            got = wrenfield.compute(population, *arguments, threads=int(rng.integers(1, 4)))
        except (TypeError, ValueError):
            continue
        assert got.centile.shape == (n,)
        not_computed = np.isnan(got.centile)
        assert all(e is not None for e in got.error[not_computed])
        assert all(e is None for e in got.error[~not_computed])


def test_populations_and_version():
    populations = wrenfield.populations()
    assert [(p["code"], p["name"], p["alias"]) for p in populations] == [
        (0, "United Kingdom", "uk"),
        (1, "United States", "us"),
        (2, "Sweden", "se"),
        (3, "New Zealand", "nz"),
        (4, "Australia", "au"),
    ]
    uk = populations[0]["groups"]
    assert uk[0] == {"code": 1, "name": "European"} and uk[-1] == {"code": 10, "name": "Other"}
    for population in populations:  # every group name reads back to its code
        for group in population["groups"]:
            by_name = wrenfield.centile(population["alias"], **dict(ONE, eth=group["name"]))
            assert by_name == wrenfield.centile(population["alias"], **dict(ONE, eth=group["code"]))
    assert wrenfield.version == "1.0" and wrenfield.coefficient_set_version == "5.15_UK"

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
        # The same reading computes both: the same doubles, not merely close.
        np.testing.assert_array_equal(got.centile, expected_centile)
        assert list(got.error) == expected_error
    plain = wrenfield.centile(df["population"].to_numpy(), *(df[c].to_numpy() for c in INPUTS))
    np.testing.assert_array_equal(plain, expected_centile)
    assert 0 < np.isnan(plain).sum() < 100
    # Bare numbers in other units, converted as the batch converts them.
    other = df.assign(bwt=df["bwt"] / 453.59237, ht=df["ht"] / 100)
    expected_centile, _ = custcent_batch(other, "--bwt-unit", "lb", "--ht-unit", "m")
    converted = wrenfield.centile(other["population"], *(other[c] for c in INPUTS), units={"bwt": "lb", "ht": "m"})
    np.testing.assert_array_equal(converted, expected_centile)


def test_calc_gives_the_record_of_every_front_end():
    result = wrenfield.calc(3400, "39+4", 64, 163, "Male", "European", 0)
    assert result["centile"] == 45.92794567550015 and result["rounded"] == 46
    assert result["weeks"] == 277 / 7 and result["inputs"]["gest_days"] == 277
    assert list(result) == [wrenfield._inputs.snake_case(name) for name in _wrenfield.result_fields()[:-2]]
    assert list(result["inputs"]) == ["bwt", "gest_days", "gest", "wt", "ht", "sex", "sex_name", "eth", "eth_name",
                                      "par", "par_name"]
    assert wrenfield.calc(3400, 280, 64, 163, 1, 1, 0, population="uk")["centile"] == wrenfield.centile("uk", **ONE)
    # exact=True: the population's method itself, to the last digit.
    assert wrenfield.calc(3400, 280, 64, 163, 1, 1, 0, exact=True)["centile"] == 38.22164104629216
    with_units = wrenfield.calc("3.4kg", 280, "64kg", "5ft4in", "M", "european", 0, population="UK")
    assert with_units["centile"] == wrenfield.calc(3400, 280, 64, 162.56, 1, 1, 0)["centile"]
    assert with_units["band"] == "AGA" and with_units["flags"] == []
    weeks = wrenfield.calc(3400, 40, 64, 163, 1, 1, 0, thresholds=(2, 98))
    assert weeks["flags"] == [{"code": "gest_low", "text": "gest below 22 weeks — weeks typed as days?"}]
    assert weeks["band"] == "SGA" and weeks["band_label"] == "SGA <2nd"


@pytest.mark.parametrize(
    "arguments, exception, words",
    [
        (dict(bwt="heavy"), ValueError, 'bwt: not a number: "heavy"'),
        (dict(bwt=-3400), ValueError, "bwt: must be a positive number, not -3400"),
        (dict(gest="39+9", bwt=None), ValueError, "missing: bwt; gest: expected days"),
        (dict(sex="X"), ValueError, "sex: expected Male, Female"),
        (dict(sex=np.inf), ValueError, "sex: must be a finite number, not inf"),
        (dict(eth="Narnia"), ValueError, "eth: not an ethnic group of United Kingdom"),
        (dict(wt=1e300), wrenfield.CalculationError, "the centile cannot be computed: Overflow"),
        (dict(gest=40, strict=True), ValueError, "flagged: gest below 22 weeks"),
        (dict(par=True), TypeError, "par: cannot read bool"),
        (dict(gest=np.datetime64("2020")), TypeError, "gest: cannot read datetime64"),
        (dict(ht=[163, 164]), TypeError, "ht: expected one value"),
    ],
)
def test_calc_errors_name_the_input(arguments, exception, words):
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
    # A population column may hold the codes 0 to 4, as population= may; a masked value is missing.
    coded = wrenfield.compute([0, np.int64(2), 3.0, None, 7], 3400, 280, 64, 163, 1, 1, 0)
    assert coded.centile[:2].tolist() == [wrenfield.centile("uk", **ONE), wrenfield.centile("se", **ONE)]
    assert coded.centile[2] == wrenfield.centile("nz", **ONE) and coded.centile[3] == coded.centile[0]
    assert coded.error[4].startswith('population: unknown population "7"')
    masked = wrenfield.compute("uk", np.ma.masked_array([3400.0, 3500.0], mask=[False, True]), 280, 64, 163, 1, 1, 0)
    assert masked.centile[0] == wrenfield.centile("uk", **ONE) and masked.error.tolist() == [None, "missing: bwt"]
    with pytest.raises(ValueError, match="cannot be broadcast"):
        wrenfield.centile("uk", [1, 2], [1, 2, 3], 64, 163, 1, 1, 0)


@pytest.mark.parametrize(
    "make",
    [
        lambda a: a.astype(np.float32),
        lambda a: a.astype(np.int32),
        lambda a: a.astype(np.int64),  # read in place
        lambda a: np.repeat(a.astype(np.int64), 2)[::2],  # a strided view of whole numbers
        lambda a: a.astype(">i8"),
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
    assert got.error.tolist() == [
        None, "missing: bwt, par", "the centile cannot be computed: Overflow",
        'population: unknown population "Narnia"; choose "United Kingdom" (uk), "United States" (us), '
        '"Sweden" (se), "New Zealand" (nz), "Australia" (au)', None, None]
    # Flags belong to computed rows, as in the batch.
    assert got.band.tolist() == ["AGA", None, None, None, "SGA", "SGA"]
    assert got.band_label.tolist() == ["AGA", None, None, None, "SGA <3rd", "SGA <3rd"]
    assert got.outcome.tolist() == [0, 1, 2, 2, 0, 0]
    assert got.flags[4] == "gest below 22 weeks — weeks typed as days?"
    assert got.flags[5] == "sex 9: female term used"
    assert got.flags[2] is None
    record = wrenfield.calc(3400, "39+4", 64, 163, "Male", "European", "4 or more")
    for field in ("centile", "rounded", "centile_text", "band", "band_label", "band_words", "term_weight", "weeks",
                  "proportion", "expected_weight", "spread", "z"):
        assert getattr(got, field)[0] == record[field], field
    assert np.isnan(got.z[1:4]).all()
    assert got.centile_text.tolist()[1:4] == [None, None, None]
    frame = got.to_frame()
    assert list(frame.columns) == ["centile", "rounded", "centile_text", "band", "band_label", "band_words", "term_weight", "weeks",
                                   "proportion", "expected_weight", "spread", "z", "flags", "error"]


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
    with pytest.raises(TypeError, match="sex: cannot read bool"):
        wrenfield.centile("uk", **dict(ONE, sex=np.array([True, False])))
    with pytest.raises(ValueError, match="thresholds: sga: the 90th centile lies above lga, the 10th"):
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

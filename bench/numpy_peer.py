#!/usr/bin/python3
"""The peer of `custcent batch` in the benchmarks: the customised centiles of a
file of births as a researcher would compute them with numpy, vectorised over
the records, with the model's formulas in their order and the 1001-slice sum
as a loop over the slices.

    PYTHONPATH=build/python /usr/bin/python3 bench/numpy_peer.py births.csv [--check centiles.csv]

The coefficient sets come from the Python package (wrenfield.coefficient_set),
so the peer uses the very constants the calculator does. It prints the time
to read the file and the time to compute (the figure the benchmark compares
with), and with --check the largest difference from custcent batch's
centiles over the first 100,000 rows.
"""
import argparse
import sys
import time

import numpy as np

import wrenfield._wrenfield as native


def load(path):
    table = np.genfromtxt(path, delimiter=",", names=True, dtype=None, encoding="utf-8")
    codes = np.zeros(len(table), dtype=np.int64)  # no population, or an empty field: United Kingdom
    if "population" not in table.dtype.names:
        return codes, [np.asarray(table[c], dtype=float) for c in ("bwt", "gest", "wt", "ht", "sex", "eth", "par")]
    names = np.char.strip(table["population"].astype(str))
    for name in np.unique(names):
        if name:
            code, error = native.read_population(str(name))
            if code is None:
                sys.exit(f"numpy_peer: {error}")
            codes[names == name] = code
    columns = [np.asarray(table[c], dtype=float) for c in ("bwt", "gest", "wt", "ht", "sex", "eth", "par")]
    return codes, columns


def per_population(sets, key, codes):
    return np.array([s[key] for s in sets])[codes]


def centiles(codes, bwt, gest, wt, ht, sex, eth, par):
    sets = [native.coefficient_set(p) for p in range(5)]
    shared = sets[0]
    w = wt - per_population(sets, "weight_centre", codes)
    weight = ((per_population(sets, "weight_cube", codes) * w + per_population(sets, "weight_square", codes)) * w
              + per_population(sets, "weight_linear", codes)) * w
    h = ht - per_population(sets, "height_centre", codes)
    linear = per_population(sets, "height_linear", codes)
    cube = per_population(sets, "height_cube", codes)
    forms = np.array([s["height_form"] for s in sets])[codes]
    height = np.select(
        [forms == "linear", forms == "linear_minus_cube"],
        [linear * h, h * linear - h * (h * (h * -cube))],
        (cube * (h * h) + linear) * h)
    sex_term = np.where(sex == 1, per_population(sets, "sex_male", codes), per_population(sets, "sex_other", codes))
    ethnic = per_population(sets, "ethnic_other", codes)
    parity = per_population(sets, "parity_other", codes)
    for p, s in enumerate(sets):
        mine = codes == p
        for code, _, term in reversed(s["ethnic_groups"]):  # the first group that matches wins
            if term is not None:
                ethnic = np.where(mine & (eth == code), term, ethnic)
        for code in reversed(range(4)):
            parity = np.where(mine & (par == code), s["parity"][code], parity)
    tw = ((((weight + per_population(sets, "constant", codes)) + height) + sex_term) + ethnic) + parity
    low, high = shared["term_weight_clamp"]
    tw = np.minimum(np.maximum(tw, low), high)
    c0, c1, c2, c3 = shared["proportion"]
    g = gest / 7
    proportion = ((c3 * g + c2) * g + c1) * g + c0
    expected = proportion * tw
    spread = expected * per_population(sets, "coefficient_of_variation", codes)
    z = (bwt - expected) / spread

    negative = z < 0
    width = np.minimum(np.abs(z), 500.0) / shared["slice_divisor"]
    total = np.zeros_like(width)
    for i in range(1, shared["slices"] + 1):
        x = i * width - width / 2
        total = total + np.exp(-x * x / 2) / shared["density_divisor"] * width
    p = total + 0.5
    p = np.where(negative, 1 - p, p)
    return 100 * p


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("births")
    parser.add_argument("--check", metavar="CENTILES_CSV", help="custcent batch's output for the same file")
    args = parser.parse_args()

    start = time.perf_counter()
    codes, columns = load(args.births)
    read = time.perf_counter() - start
    start, start_cpu = time.perf_counter(), time.process_time()
    with np.errstate(all="ignore"):
        result = centiles(codes, *columns)
    compute, compute_cpu = time.perf_counter() - start, time.process_time() - start_cpu
    rows = len(codes)
    print(f"numpy peer: {rows} rows, read {read:.2f} s, compute {compute:.2f} s "
          f"({rows / compute:.0f} rows/s computing; cpu {compute_cpu:.2f} s)")
    if args.check:
        with open(args.check, encoding="utf-8") as f:
            column = f.readline().strip().split(",").index("centile")
        theirs = np.genfromtxt(args.check, delimiter=",", skip_header=1, usecols=(column,), dtype=float,
                               max_rows=100_000)
        mine = result[: len(theirs)]
        both = ~np.isnan(theirs) & ~np.isnan(mine)
        print(f"numpy peer: largest difference from custcent batch over {both.sum()} rows: "
              f"{np.max(np.abs(theirs[both] - mine[both])):.3g} percentage points")


if __name__ == "__main__":
    main()

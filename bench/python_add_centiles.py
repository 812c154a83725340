"""wrenfield.add_centiles against the plain numpy evaluation of the same
formulas, on the same made-up births, in one run.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_add_centiles.py [ROWS]

The numpy peer is what a researcher would write: every step vectorised over
the records, and the centile's integral as a loop over its 1001 slices (one
exponential of the whole column per slice). The coefficients come from the
package, so both compute the same model. Prints rows per second for each, the
ratio, the largest difference between their centiles, and the load average
(the build machine is shared: other work slows either side).
"""

import os
import platform
import sys
import time

import numpy as np
import pandas as pd

import wrenfield
from wrenfield import _wrenfield


def births(rows, seed=16):
    rng = np.random.default_rng(seed)
    return pd.DataFrame(
        {
            "bwt": rng.normal(3350, 550, rows).round(),
            "gest": rng.integers(224, 294, rows).astype(np.float64),
            "wt": rng.normal(67, 12, rows).clip(40, 160).round(1),
            "ht": rng.normal(164, 7, rows).clip(140, 190).round(),
            "sex": rng.integers(0, 2, rows).astype(np.float64),
            "eth": rng.integers(1, 5, rows).astype(np.float64),
            "par": rng.integers(0, 5, rows).astype(np.float64),
            "population": rng.choice(["uk", "us", "se", "nz", "au"], rows),
        }
    )


def numpy_centiles(df):
    """The model in numpy, population by population."""
    out = np.empty(len(df))
    codes = {"uk": 0, "us": 1, "se": 2, "nz": 3, "au": 4}
    for alias, code in codes.items():
        rows = (df["population"] == alias).to_numpy()
        c = _wrenfield.coefficient_set(code)
        bwt, gest, wt, ht, sex, eth, par = (df[k].to_numpy()[rows] for k in ("bwt", "gest", "wt", "ht", "sex", "eth", "par"))
        w = wt - c["weight_centre"]
        weight = ((c["weight_cube"] * w + c["weight_square"]) * w + c["weight_linear"]) * w
        h = ht - c["height_centre"]
        if c["height_form"] == "linear":
            height = c["height_linear"] * h
        elif c["height_form"] == "linear_minus_cube":
            height = h * c["height_linear"] - h * (h * (h * -c["height_cube"]))
        else:
            height = (c["height_cube"] * (h * h) + c["height_linear"]) * h
        sex_term = np.where(sex == 1, c["sex_male"], c["sex_other"])
        ethnic = np.full(len(eth), c["ethnic_other"])
        for group_code, _, term in reversed(c["ethnic_groups"]):
            if term is not None:
                ethnic = np.where(eth == group_code, term, ethnic)
        parity = np.full(len(par), c["parity_other"])
        for k in range(3, -1, -1):
            parity = np.where(par == k, c["parity"][k], parity)
        tw = ((((weight + c["constant"]) + height) + sex_term) + ethnic) + parity
        tw = np.clip(tw, *c["term_weight_clamp"])
        g = gest / 7
        c0, c1, c2, c3 = c["proportion"]
        p = ((c3 * g + c2) * g + c1) * g + c0
        e = p * tw
        z = (bwt - e) / (e * c["coefficient_of_variation"])
        a = np.minimum(np.abs(z), 500.0)
        step = a / c["slice_divisor"]
        s = np.zeros(len(a))
        for i in range(1, c["slices"] + 1):
            x = i * step - step / 2
            s += np.exp(-x * x / 2) / c["density_divisor"] * step
        p_below = s + 0.5
        out[rows] = 100 * np.where(z < 0, 1 - p_below, p_below)
    return out


def timed(function):
    """The result, the wall-clock seconds and the processor seconds (every
    thread of this process: on a busy machine the wall clock also counts
    other people's work)."""
    start, start_cpu = time.perf_counter(), time.process_time()
    result = function()
    return result, time.perf_counter() - start, time.process_time() - start_cpu


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    df = births(rows)
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")), "?")
    print(f"{rows:,} rows; {cpu}; {os.cpu_count()} cores; kernel lanes {wrenfield.simd_level()}; "
          f"Python {platform.python_version()}, numpy {np.__version__}, pandas {pd.__version__}")
    print(f"load average before: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")

    wrenfield.add_centiles(df.head(1000))  # warm up
    package, package_seconds, package_cpu = timed(lambda: wrenfield.add_centiles(df))
    _, one_thread_seconds, one_thread_cpu = timed(lambda: wrenfield.add_centiles(df, threads=1))
    peer, peer_seconds, peer_cpu = timed(lambda: numpy_centiles(df))

    assert package["error"].isna().all(), "every made-up birth should be computed"
    difference = np.max(np.abs(package["centile"].to_numpy() - peer))
    print(f"{'':36s} {'wall clock':>10s} {'rows/s':>12s} {'processor':>10s}")
    for name, seconds, cpu in (("wrenfield.add_centiles, all cores", package_seconds, package_cpu),
                               ("wrenfield.add_centiles, threads=1", one_thread_seconds, one_thread_cpu),
                               ("numpy peer (1001-slice loop)", peer_seconds, peer_cpu)):
        print(f"{name:36s} {seconds:8.3f} s {rows / seconds:12,.0f} {cpu:8.3f} s")
    print(f"add_centiles is {peer_seconds / package_seconds:.1f} times the numpy peer by the wall clock "
          f"({peer_seconds / one_thread_seconds:.1f} times on one thread; "
          f"{peer_cpu / one_thread_cpu:.1f} times by processor time on one thread)")
    print(f"largest difference between their centiles: {difference:.3g} percentage points")
    print(f"load average after: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")


if __name__ == "__main__":
    main()

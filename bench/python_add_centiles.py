"""wrenfield.add_centiles against the plain numpy evaluation of the same
formulas, on the same made-up births, in one run.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_add_centiles.py [ROWS]

The numpy peer (bench/numpy_peer.py, shared with the batch benchmark) is what
a researcher would write: every step vectorised over the records, and the
centile's integral as a loop over its 1001 slices (one exponential of the
whole column per slice). The coefficients come from the package, so both
compute the same model. Prints rows per second for each, the
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

import numpy_peer  # beside this script


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
    """The project's numpy peer (bench/numpy_peer.py) on the frame's columns."""
    codes = np.empty(len(df), dtype=np.int64)
    for alias in df["population"].unique():
        codes[(df["population"] == alias).to_numpy()] = _wrenfield.read_population(alias)[0]
    columns = [df[k].to_numpy() for k in ("bwt", "gest", "wt", "ht", "sex", "eth", "par")]
    return numpy_peer.centiles(codes, *columns)


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

"""Customised birthweight centiles for numpy arrays, pandas and Dask.

    import wrenfield
    wrenfield.centile("uk", bwt=3400, gest=280, wt=64, ht=163, sex=1, eth=1, par=0)   # 38.22...
    wrenfield.add_centiles(df, population="nz", add=["band", "flags"])                # a new DataFrame
    wrenfield.calc(3400, "39+4", 64, 163, "Male", "European", 0)                       # one birth's whole record

Dask DataFrames: `import wrenfield.dask` and `wrenfield.dask.add_centiles(ddf, ...)`.
"""

from ._arrays import Results, calc, centile, compute, populations
from ._frames import RowError, add_centiles
from ._wrenfield import CalculationError, coefficient_set_version, simd_level
from ._wrenfield import version as _version

version = _version
__version__ = _version

__all__ = [
    "CalculationError",
    "Results",
    "RowError",
    "add_centiles",
    "calc",
    "centile",
    "coefficient_set_version",
    "compute",
    "populations",
    "simd_level",
    "version",
]

"""Centiles for Dask DataFrames: the pandas computation on every partition.

    import wrenfield.dask
    out = wrenfield.dask.add_centiles(ddf, population="uk", add=["band"])

Each partition is computed by `wrenfield.add_centiles` on one thread (the
workers' processes and threads are the parallelism), so a cluster is never
oversubscribed. A row's error stays in its row, as in pandas; a partition
that fails as a whole names its first and last labels.
"""

import functools

from . import _frames


class PartitionError(RuntimeError):
    """A partition that could not be computed: `first` and `last` are its
    first and last index labels, `reason` the failure's text."""

    def __init__(self, first, last, reason):
        super().__init__(first, last, reason)
        self.first = first
        self.last = last
        self.reason = reason

    def __str__(self):
        return f"partition with index labels {self.first!r} to {self.last!r}: {self.reason}"


def _partition(df, **options):
    # A module-level function: Dask pickles it to the workers (the compiled
    # functions cannot be pickled, this wrapper can).
    try:
        return _frames.add_centiles(df, threads=1, **options)
    except Exception as error:
        if len(df.index) == 0:
            raise
        raise PartitionError(df.index[0], df.index[-1], f"{type(error).__name__}: {error}") from error


def add_centiles(ddf, population="United Kingdom", columns=None, add=(), *, strict=False, thresholds=None, units=None,
                 na=None, exact=False, decimal="."):
    """`wrenfield.add_centiles` over a Dask DataFrame, one task a partition.

    Returns a lazy Dask DataFrame with the same partitions and divisions and
    the added columns (centile, those named in `add`, error). The arguments
    are checked at once against the DataFrame's columns and dtypes (an empty
    frame of the same shape), so a mistake shows before anything runs.
    """
    options = dict(population=population, columns=columns, add=(add,) if isinstance(add, str) else tuple(add),
                   strict=strict, thresholds=thresholds, units=units, na=na, exact=exact, decimal=decimal)
    meta = _frames.add_centiles(ddf._meta, threads=1, **options)
    return ddf.map_partitions(functools.partial(_partition, **options), meta=meta)

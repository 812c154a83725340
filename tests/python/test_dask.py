"""wrenfield.dask.add_centiles on a real cluster: two worker processes on
127.0.0.1, one thread each."""

import numpy as np
import pandas as pd
import pytest

dask = pytest.importorskip("dask")
dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

import wrenfield  # noqa: E402
import wrenfield.dask  # noqa: E402


@pytest.fixture(scope="module")
def client():
    with dask.config.set({"distributed.scheduler.allowed-failures": 0}):
        cluster = distributed.LocalCluster(
            n_workers=2,
            threads_per_worker=1,
            processes=True,
            host="127.0.0.1",
            dashboard_address=None,
            worker_dashboard_address=None,
        )
        with distributed.Client(cluster) as client:
            client.wait_for_workers(2, timeout=60)
            yield client
        cluster.close()


class Unprintable:
    """A value no text can be made of: the partition holding it fails as a whole."""

    def __str__(self):
        raise RuntimeError("no text for this value")


def test_the_cluster_gives_the_pandas_column_and_names_bad_rows_by_label(client, births):
    df = births(4000)
    df.index = pd.Index([f"r{k:05d}" for k in range(len(df))], name="baby")
    ddf = dd.from_pandas(df, npartitions=4)
    lazy = wrenfield.dask.add_centiles(ddf, population="uk", add=["band", "flags"])
    expected = wrenfield.add_centiles(df, population="uk", add=["band", "flags"])
    assert list(lazy.columns) == list(expected.columns)
    assert lazy["band"].dtype == expected["band"].dtype
    got = lazy.compute()
    pd.testing.assert_frame_equal(got, expected)

    # strict=True: a bad row gets its error in its own row, as in pandas.
    bad = pd.DataFrame(dict(bwt=3300.0, gest=280.0, wt=np.linspace(50, 90, 4000), ht=165.0, sex=1, eth=1, par=0),
                       index=df.index)
    bad.loc["r03001", "wt"] = 1e300
    bad.loc["r00007", "gest"] = 40.0
    strict = wrenfield.dask.add_centiles(dd.from_pandas(bad, npartitions=4), population="uk", strict=True).compute()
    pd.testing.assert_frame_equal(strict, wrenfield.add_centiles(bad, population="uk", strict=True))
    assert strict["error"].dropna().to_dict() == {"r00007": "flagged: gest below 22 weeks — weeks typed as days?",
                                                  "r03001": "the centile cannot be computed: Overflow"}

    # A partition that fails as a whole names its first and last labels.
    broken = df.astype({"sex": object})
    broken.loc["r02500", "sex"] = Unprintable()
    with pytest.raises(wrenfield.dask.PartitionError, match="partition with index labels 'r02000' to 'r02999'"):
        wrenfield.dask.add_centiles(dd.from_pandas(broken, npartitions=4)).compute()

"""The parity test: one table of births through every door and shape of the
system, each outcome the same field by field.

    parity_test.py --births PARITY_BIRTHS TABLE --custcent CUSTCENT --capi LIBWRENFIELD [--r-library DIR]

The births come from the one table, tests/support/parity_births.json, turned
into births by the tool tests/support/parity_births.cpp (which finds the
births near the thresholds by bisection on the population's own method). Each
birth goes through:

  calc-text, calc-json     custcent calc, one process a birth
  batch                    custcent batch, one file a set of options, every column added
  python-calc              wrenfield.calc, one birth a call
  python-compute           wrenfield.compute, every birth of a set of options at once, object columns
  python-numbers           the same with float64 (and masked) columns, for the births of numbers
  python-frame, dask       wrenfield.add_centiles and wrenfield.dask.add_centiles
  http-one, http-array     custcent serve: one POST a birth, options in the query; one POST of
                           every birth, options in each birth
  c-one, c-many            wf_centile_with one by one; wf_centiles_with, one call a set of births
  r-compute, r-numbers,    the R package (with --r-library): compute() with character and with
  r-frame                  double vectors, add_centiles() on a data.frame of factors (parity_r.R)

A door takes the births it can be given: the C API takes numbers only and
no units, and a population of its own per call (as Python's population=
argument does); calc has no null, pd.NA or masked value. Every door gives each
birth the outcome the HTTP array gives it (the reference), in every field the
door shows: the kind (computed, missing, error), the centile to the last bit,
the rounded centile, band, label and words, the model's values around the
centile, the flags, and the error's text. A birth posted alone gets the very
bytes it gets in the array, and calc --json prints them too.

All of it runs twice: by default, then with --exact and its equivalents
(exact=True, ?exact=true, wf_options.exact), where every centile must be the
population's method's own. Between the two, the kinds, bands, flags and
errors are the same, the centiles within 1e-11, and a birth near a threshold
has the method's centile in both.
"""

import argparse
import csv
import ctypes
import io
import json
import math
import os
import re
import subprocess
import sys
import tempfile
import urllib.error
import urllib.parse
import urllib.request
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pandas as pd

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "server"))
from serve_support import Served  # noqa: E402

INPUTS = ("bwt", "gest", "wt", "ht", "sex", "eth", "par")
COLUMNS = ("rounded", "band", "band_label", "band_words", "term_weight", "weeks", "proportion", "expected_weight",
           "spread", "z", "flags")
UNIT_OPTIONS = {"bwt": "bwtUnit", "wt": "wtUnit", "ht": "htUnit"}


# ---- The values of a birth, as each door is given them ----

def missing_form(value):
    return value["missing"] if isinstance(value, dict) and "missing" in value else None


def infinite(value):
    return float(value["number"]) if isinstance(value, dict) and "number" in value else None


def number_text(x):
    x = float(x)
    if x.is_integer() and abs(x) < 1e15 and not (x == 0 and math.copysign(1, x) < 0):
        return str(int(x))
    return repr(x)


def as_text(value):
    """For a file or a command line: the text a user would write."""
    form = missing_form(value)
    if form is not None:
        return "NaN" if form == "NaN" else ""
    if infinite(value) is not None:
        return value["number"]
    if isinstance(value, str):
        return value
    return number_text(value)


OMIT = object()


def as_json(value):
    form = missing_form(value)
    if form is not None:
        return OMIT if form == "absent" else None
    if infinite(value) is not None:
        return value["number"]  # JSON has no infinity: the text every door reads as one
    return value


def as_python(value):
    form = missing_form(value)
    if form is not None:
        return {"absent": None, "null": None, "NaN": math.nan, "pd.NA": pd.NA, "masked": np.ma.masked}[form]
    if infinite(value) is not None:
        return infinite(value)
    return value if isinstance(value, str) else float(value)


def as_c(value):
    """A double, or None for a text (the C API takes numbers only)."""
    if missing_form(value) is not None:
        return math.nan
    if infinite(value) is not None:
        return infinite(value)
    return None if isinstance(value, str) else float(value)


def as_r_text(value):
    """For an R character vector: None (NA) for a value not there, else the text a user would write."""
    form = missing_form(value)
    if form is not None:
        return "NaN" if form == "NaN" else None
    return as_text(value)


def as_r_number(value):
    """For an R double vector, as a text R reads exactly (hexadecimal), or None (NA); a text gives None."""
    form = missing_form(value)
    if form is not None:
        return "NaN" if form == "NaN" else None
    if infinite(value) is not None:
        return "Inf" if infinite(value) > 0 else "-Inf"
    return None if isinstance(value, str) else float(value).hex()


def thresholds_of(birth):
    options = birth["options"]
    return options.get("sga", 10.0), options.get("lga", 90.0)


def options_key(birth):
    o = birth["options"]
    return json.dumps([o.get("sga"), o.get("lga"), o.get("strict", False), o.get("units", {})], sort_keys=True)


# ---- Outcomes in one shape ----

def kind_of_error(text):
    return "missing" if re.fullmatch(r"missing: [a-z, ]+", text) else "error"


def from_record(record, snake=False):
    """A result record (JSON's camelCase, or the Python package's snake_case)."""
    def get(name):
        key = re.sub(r"([A-Z])", lambda m: "_" + m.group(1).lower(), name) if snake else name
        return record[key]

    if "error" in record:
        out = {"kind": kind_of_error(record["error"]), "error": record["error"]}
        if "field" in record or not snake:
            out["field"] = record.get("field", "")
        return out
    out = {"kind": "computed", "centile": get("centile"), "rounded": get("rounded"), "band": get("band"),
           "band_label": get("bandLabel"), "band_words": get("bandWords"), "term_weight": get("termWeight"),
           "weeks": get("weeks"), "proportion": get("proportion"), "expected_weight": get("expectedWeight"),
           "spread": get("spread"), "z": get("z"), "flags": [f["text"] for f in get("flags")],
           "flag_codes": [f["code"] for f in get("flags")], "population": get("population")}
    return out


def from_error_text(text, **extra):
    return dict({"kind": kind_of_error(text), "error": text}, **extra)


# ---- The doors ----

class Doors:
    def __init__(self, custcent, capi, exact, r_library=None):
        self.custcent = custcent
        self.exact = exact
        self.r_library = r_library
        self.lib = ctypes.CDLL(capi)
        self._declare_c()

    # custcent calc and batch

    def reading_options(self, o):
        """The options of the reading as custcent takes them."""
        args = [f"--{name}={number_text(o[name])}" for name in ("sga", "lga") if name in o]
        args += ["--strict"] if o.get("strict") else []
        args += [f"--{field}-unit={unit}" for field, unit in o.get("units", {}).items()]
        return args + (["--exact"] if self.exact else [])

    def calc_args(self, birth):
        args = ["calc"]
        population = birth["population"]
        # --option=value, so that a value with a leading "-" is no option; an
        # empty value must be a word of its own.
        def option(name, value):
            args.extend([f"--{name}={value}"] if value else [f"--{name}", ""])

        if isinstance(population, str):
            option("population", population)
        for name in INPUTS:
            value = birth["fields"][name]
            if missing_form(value) in ("absent", "null", "pd.NA", "masked"):
                continue
            option(name, as_text(value))
        return args + self.reading_options(birth["options"])

    def calc(self, birth, as_json):
        args = self.calc_args(birth) + (["--json"] if as_json else [])
        run = subprocess.run([self.custcent, *args], capture_output=True, text=True, timeout=60)
        if run.returncode != 0:
            assert run.stdout == "", run.stdout
            prefix = "custcent calc: "
            assert run.stderr.startswith(prefix) and run.stderr.endswith("\n") and run.stderr.count("\n") == 1, \
                run.stderr
            error = run.stderr[len(prefix):-1]
            status = 1 if error.startswith(("the centile cannot be computed", "flagged:")) else 2
            assert run.returncode == status, f"exit status {run.returncode} for {error}"
            return from_error_text(error), None
        if as_json:
            return from_record(json.loads(run.stdout)), run.stdout
        lines = run.stdout.splitlines()

        def after(prefix):
            return [line[len(prefix):] for line in lines if line.startswith(prefix)]

        flags = after("Flag: ")
        assert flags or "Flags: none" in lines
        return {"kind": "computed", "rounded": int(after("Customised centile = ")[0]),
                "centile": float(after("Unrounded centile: ")[0]), "band_words": after("Band: ")[0],
                "flags": flags, "population": after("Population: ")[0]}, None

    # custcent batch

    def batch(self, births):
        text = io.StringIO()
        writer = csv.writer(text, lineterminator="\n")
        writer.writerow(["id", "population", *INPUTS])
        for k, birth in enumerate(births):
            population = birth["population"]
            writer.writerow([k, population if isinstance(population, str) else "",
                             *(as_text(birth["fields"][name]) for name in INPUTS)])
        args = ["batch", "--quiet", "--add=" + ",".join(COLUMNS), *self.reading_options(births[0]["options"])]
        run = subprocess.run([self.custcent, *args], input=text.getvalue(), capture_output=True, text=True,
                             timeout=120)
        assert run.returncode in (0, 1), run.stderr
        rows = list(csv.DictReader(io.StringIO(run.stdout)))
        assert len(rows) == len(births)
        outcomes = []
        for row in rows:
            if not row["centile"]:
                outcomes.append(from_error_text(row["error"]))
                continue
            assert row["error"] == ""
            out = {"kind": "computed", "centile": float(row["centile"]), "rounded": int(row["rounded"])}
            for name in ("band", "band_label", "band_words"):
                out[name] = row[name]
            for name in ("term_weight", "weeks", "proportion", "expected_weight", "spread", "z"):
                out[name] = float(row[name])
            out["flags"] = row["flags"].split("; ") if row["flags"] else []
            outcomes.append(out)
        return outcomes

    # The Python package

    def python_calc(self, birth):
        import wrenfield

        population = birth["population"]
        keywords = dict(strict=birth["options"].get("strict", False), exact=self.exact,
                        thresholds=thresholds_of(birth), units=birth["options"].get("units"))
        if isinstance(population, str):
            keywords["population"] = population
        values = [as_python(birth["fields"][name]) for name in INPUTS]
        try:
            record = wrenfield.calc(*values, **keywords)
        except (ValueError, wrenfield.CalculationError) as error:
            return from_error_text(str(error))
        out = from_record(record, snake=True)
        assert "inputs" in record and record["coefficient_set_version"] == "5.15_UK"
        return out

    @staticmethod
    def python_column(values, numbers):
        if numbers:
            masked = [v is np.ma.masked for v in values]
            plain = np.array([math.nan if m or v is None else v for v, m in zip(values, masked)], dtype=np.float64)
            return np.ma.masked_array(plain, mask=masked) if any(masked) else plain
        return np.array([np.nan if v is np.ma.masked else v for v in values], dtype=object)

    def python_compute(self, births, numbers=False):
        import wrenfield

        columns = [self.python_column([as_python(b["fields"][name]) for b in births], numbers) for name in INPUTS]
        populations = np.array([b["population"] if isinstance(b["population"], str) else None for b in births],
                               dtype=object)
        o = births[0]["options"]
        got = wrenfield.compute(populations, *columns, thresholds=thresholds_of(births[0]),
                                strict=o.get("strict", False), units=o.get("units"), exact=self.exact)
        outcomes = []
        for k in range(len(births)):
            if got.outcome[k] != 0:
                out = from_error_text(got.error[k])
                assert out["kind"] == ("missing" if got.outcome[k] == 1 else "error"), got.error[k]
                outcomes.append(out)
                continue
            out = {"kind": "computed", "centile": got.centile[k], "rounded": int(got.rounded[k]),
                   "flags": got.flags[k].split("; ") if got.flags[k] else []}
            for name in ("band", "band_label", "band_words", "term_weight", "weeks", "proportion",
                         "expected_weight", "spread", "z"):
                out[name] = getattr(got, name)[k]
            outcomes.append(out)
        return outcomes

    def frame(self, births):
        data = {"population": [b["population"] if isinstance(b["population"], str) else None for b in births]}
        for name in INPUTS:
            values = [as_python(b["fields"][name]) for b in births]
            data[name] = pd.Series([None if v is np.ma.masked else v for v in values], dtype=object)
        return pd.DataFrame(data)

    def frame_outcomes(self, out):
        outcomes = []
        for _, row in out.iterrows():
            if row["error"] is not None:
                outcomes.append(from_error_text(row["error"]))
                continue
            result = {"kind": "computed", "centile": row["centile"], "rounded": int(row["rounded"]),
                      "flags": row["flags"].split("; ") if row["flags"] else []}
            for name in ("band", "band_label", "band_words", "term_weight", "weeks", "proportion",
                         "expected_weight", "spread", "z"):
                result[name] = row[name]
            outcomes.append(result)
        return outcomes

    def python_frame(self, births):
        import wrenfield

        o = births[0]["options"]
        out = wrenfield.add_centiles(self.frame(births), add=list(COLUMNS), thresholds=thresholds_of(births[0]),
                                     strict=False, units=o.get("units"), exact=self.exact)
        return self.frame_outcomes(out)

    def dask(self, births):
        import dask.dataframe as dd
        import wrenfield.dask

        o = births[0]["options"]
        lazy = wrenfield.dask.add_centiles(dd.from_pandas(self.frame(births), npartitions=3), add=list(COLUMNS),
                                           thresholds=thresholds_of(births[0]), units=o.get("units"),
                                           exact=self.exact)
        return self.frame_outcomes(lazy.compute(scheduler="synchronous"))

    # The HTTP service

    def http_birth(self, birth, inline_options):
        body = {}
        if isinstance(birth["population"], str):
            body["population"] = birth["population"]
        for name in INPUTS:
            value = as_json(birth["fields"][name])
            if value is not OMIT:
                body[name] = value
        query = {}
        o = birth["options"]
        options = {k: o[k] for k in ("sga", "lga", "strict") if k in o}
        options.update({UNIT_OPTIONS[f]: u for f, u in o.get("units", {}).items()})
        if inline_options:
            body.update(options)
        else:
            query = {k: (json.dumps(v) if isinstance(v, bool) else str(v)) for k, v in options.items()}
        if self.exact:
            (body if inline_options else query)["exact"] = True if inline_options else "true"
        return body, query

    def post(self, url, body, query):
        target = url + "v1/centile" + ("?" + urllib.parse.urlencode(query) if query else "")
        request = urllib.request.Request(target, data=json.dumps(body).encode(), method="POST",
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=60) as answer:
                return answer.status, answer.read().decode()
        except urllib.error.HTTPError as error:
            return error.code, error.read().decode()

    def http_one(self, url, birth):
        body, query = self.http_birth(birth, inline_options=False)
        status, text = self.post(url, body, query)
        if status == 200:
            return from_record(json.loads(text)), text
        assert status == 422, (status, text)
        problem = json.loads(text)
        return from_error_text(problem["detail"], field=problem.get("field", "")), None

    def http_array(self, url, births):
        status, text = self.post(url, [self.http_birth(b, inline_options=True)[0] for b in births], {})
        assert status == 200, text
        # Each element's own bytes, to hold a lone POST's answer against.
        decoder = json.JSONDecoder()
        elements, index = [], 1
        while text[index] != "]":
            value, end = decoder.raw_decode(text, index)
            elements.append((value, text[index:end]))
            index = end + (text[end] == ",")
        assert len(elements) == len(births)
        return [(from_record(value), raw) for value, raw in elements]

    # The R package

    def r(self, births):
        """Every R door in one R process (parity_r.R): {door: {birth index: outcome}}."""
        groups = []
        for group in grouped(births, options_key):
            members = [births[k] for k in group]
            sga, lga = thresholds_of(members[0])
            o = members[0]["options"]
            groups.append({
                "rows": group,
                "options": {"sga": sga, "lga": lga, "strict": o.get("strict", False), "units": o.get("units", {})},
                "population": [b["population"] if isinstance(b["population"], str) else None for b in members],
                "texts": {name: [as_r_text(b["fields"][name]) for b in members] for name in INPUTS},
                "numbers": {name: [as_r_number(b["fields"][name]) for b in members] for name in INPUTS},
                "numeric": [all(as_c(b["fields"][name]) is not None for name in INPUTS) for b in members],
            })
        with tempfile.TemporaryDirectory() as work:
            given, taken = os.path.join(work, "births.json"), os.path.join(work, "outcomes.json")
            with open(given, "w", encoding="utf-8") as f:
                json.dump({"exact": self.exact, "groups": groups}, f)
            script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "parity_r.R")
            env = dict(os.environ, R_LIBS=self.r_library, LANG="C.UTF-8")
            subprocess.run(["Rscript", "--vanilla", script, given, taken], env=env, check=True, timeout=300)
            with open(taken, encoding="utf-8") as f:
                doors = json.load(f)

        def outcome(row):
            if "error" in row:
                return from_error_text(row["error"])
            out = {"kind": "computed", "centile": float.fromhex(row["centile"])}
            for name, value in row.items():
                if name in ("rounded", "band", "band_label", "band_words", "flags"):
                    out[name] = value
                elif name != "centile":
                    out[name] = float.fromhex(value)
            return out

        return {door: {int(k): outcome(row) for k, row in rows.items()} for door, rows in doors.items()}

    # The C API

    def _declare_c(self):
        class Result(ctypes.Structure):
            _fields_ = [("centile", ctypes.c_double), ("z", ctypes.c_double), ("expected_weight", ctypes.c_double),
                        ("weeks", ctypes.c_double), ("band", ctypes.c_int), ("flags", ctypes.c_uint),
                        ("error", ctypes.c_int), ("message", ctypes.c_char * 200), ("flag_text", ctypes.c_char * 400)]

        class Options(ctypes.Structure):
            _fields_ = [("size", ctypes.c_size_t), ("sga", ctypes.c_double), ("lga", ctypes.c_double),
                        ("strict", ctypes.c_int), ("exact", ctypes.c_int)]

        self.Result, self.Options = Result, Options
        lib = self.lib
        lib.wf_centile_with.argtypes = [ctypes.POINTER(Options), ctypes.c_char_p] + [ctypes.c_double] * 7 + [
            ctypes.POINTER(Result)]
        lib.wf_centiles_with.argtypes = [ctypes.POINTER(Options), ctypes.c_char_p, ctypes.c_size_t] + [
            ctypes.POINTER(ctypes.c_double)] * 7 + [ctypes.POINTER(Result)]
        lib.wf_centiles_with.restype = ctypes.c_size_t
        lib.wf_band_name.restype = ctypes.c_char_p
        lib.wf_flag_name.restype = ctypes.c_char_p

    def c_takes(self, birth):
        return (isinstance(birth["population"], str) and birth["population"] != ""
                and not birth["options"].get("units")
                and all(as_c(birth["fields"][name]) is not None for name in INPUTS))

    def c_options(self, birth):
        sga, lga = thresholds_of(birth)
        return self.Options(ctypes.sizeof(self.Options), sga, lga, int(birth["options"].get("strict", False)),
                            int(self.exact))

    def c_outcome(self, r):
        if r.error != 0:
            out = from_error_text(r.message.decode())
            assert out["kind"] == ("missing" if r.error == -1 else "error"), (r.error, r.message)
            return out
        codes = []
        for bit in range(32):
            if r.flags & (1 << bit):
                codes.append(self.lib.wf_flag_name(1 << bit).decode())
        return {"kind": "computed", "centile": r.centile, "z": r.z, "expected_weight": r.expected_weight,
                "weeks": r.weeks, "band": self.lib.wf_band_name(r.band).decode(), "flag_codes": codes,
                "flags": r.flag_text.decode().split("; ") if r.flag_text else [],
                "finer_band": r.band in (1, 5)}

    def c_one(self, birth):
        r = self.Result()
        options = self.c_options(birth)
        self.lib.wf_centile_with(ctypes.byref(options), birth["population"].encode(),
                                 *(as_c(birth["fields"][n]) for n in INPUTS), ctypes.byref(r))
        return self.c_outcome(r)

    def c_many(self, births):
        n = len(births)
        arrays = [(ctypes.c_double * n)(*(as_c(b["fields"][name]) for b in births)) for name in INPUTS]
        results = (self.Result * n)()
        options = self.c_options(births[0])
        computed = self.lib.wf_centiles_with(ctypes.byref(options), births[0]["population"].encode(), n, *arrays,
                                             results)
        outcomes = [self.c_outcome(r) for r in results]
        assert computed == sum(o["kind"] == "computed" for o in outcomes)
        return outcomes


# ---- The run ----

def grouped(births, key):
    groups = {}
    for k, birth in enumerate(births):
        groups.setdefault(key(birth), []).append(k)
    return groups.values()


def run_doors(doors, births, url):
    """{door: {birth index: outcome}} and the raw bytes of the JSON doors."""
    out = {}
    raw = {}
    indices = range(len(births))

    with ThreadPoolExecutor(max_workers=4) as pool:
        text = list(pool.map(lambda k: doors.calc(births[k], False)[0], indices)) if not doors.exact else None
        as_json = list(pool.map(lambda k: doors.calc(births[k], True), indices))
        one = list(pool.map(lambda k: doors.http_one(url, births[k]), indices))
    if text:
        out["calc-text"] = dict(enumerate(text))
    out["calc-json"] = {k: o for k, (o, _) in enumerate(as_json)}
    raw["calc-json"] = {k: r for k, (_, r) in enumerate(as_json)}
    out["http-one"] = {k: o for k, (o, _) in enumerate(one)}
    raw["http-one"] = {k: r for k, (_, r) in enumerate(one)}
    array = doors.http_array(url, births)
    out["http-array"] = {k: o for k, (o, _) in enumerate(array)}
    raw["http-array"] = {k: r for k, (_, r) in enumerate(array)}

    # Python's population= is the call's, as the C API's is: no birth of an
    # empty population there.
    out["python-calc"] = {k: doors.python_calc(births[k]) for k in indices if births[k]["population"] != ""}
    for door, run in (("batch", doors.batch), ("python-compute", doors.python_compute)):
        out[door] = {}
        for group in grouped(births, options_key):
            for k, outcome in zip(group, run([births[k] for k in group])):
                out[door][k] = outcome
    # The float64 columns: the births of numbers (or numeric missing values) only.
    out["python-numbers"] = {}
    numeric = [k for k in indices if all(as_c(births[k]["fields"][n]) is not None
                                         and missing_form(births[k]["fields"][n]) != "pd.NA" for n in INPUTS)]
    for group in grouped([births[k] for k in numeric], options_key):
        members = [numeric[i] for i in group]
        for k, outcome in zip(members, doors.python_compute([births[k] for k in members], numbers=True)):
            out["python-numbers"][k] = outcome
    # Frames: strict rows would raise as a whole (RowError), so the strict
    # births go through compute only.
    for door, run in (("python-frame", doors.python_frame), ("dask", doors.dask)):
        out[door] = {}
        for group in grouped([b for b in births], options_key):
            if births[next(iter(group))]["options"].get("strict"):
                continue
            for k, outcome in zip(group, run([births[k] for k in group])):
                out[door][k] = outcome
    c = [k for k in indices if doors.c_takes(births[k])]
    out["c-one"] = {k: doors.c_one(births[k]) for k in c}
    out["c-many"] = {}
    for group in grouped([births[k] for k in c], lambda b: options_key(b) + b["population"]):
        members = [c[i] for i in group]
        for k, outcome in zip(members, doors.c_many([births[k] for k in members])):
            out["c-many"][k] = outcome
    if doors.r_library:
        out.update(doors.r(births))
    return out, raw


def same(a, b):
    if isinstance(a, float) and isinstance(b, float) and math.isnan(a) and math.isnan(b):
        return True
    if isinstance(a, (float, np.floating)) or isinstance(b, (float, np.floating)):
        return float(a) == float(b) and math.copysign(1, float(a)) == math.copysign(1, float(b))
    return a == b


def compare(births, outcomes, raw, mode, problems):
    reference = outcomes["http-array"]
    for k, birth in enumerate(births):
        ref = reference[k]
        where = f"[{mode}] {birth['name']}"
        if birth["expect"] and ref["kind"] != birth["expect"]:
            problems.append(f"{where}: {ref['kind']}, expected {birth['expect']}: {ref.get('error', '')}")
        for door, results in outcomes.items():
            if k not in results:
                continue
            got = results[k]
            for name, value in got.items():
                if name == "finer_band":  # the C API's band number says whether the label is a finer one
                    if ref["kind"] == "computed" and value != ref["band_label"].startswith(("SGA <", "LGA >")):
                        problems.append(f"{where}: {door} finer band {value}, the reference {ref['band_label']}")
                    continue
                if name not in ref:
                    problems.append(f"{where}: {door} gives {name}, the reference does not ({ref})")
                elif not same(value, ref[name]):
                    problems.append(f"{where}: {door} {name} {value!r}, the reference {ref[name]!r}")
        # One birth alone gets the very bytes it gets in an array; calc --json prints them.
        if ref["kind"] == "computed":
            for door in ("http-one", "calc-json"):
                mine = raw[door][k].rstrip("\n")
                if mine != raw["http-array"][k]:
                    problems.append(f"{where}: {door} bytes differ from the array's:\n  {mine}\n  {raw['http-array'][k]}")
        elif ref.get("field", "") != outcomes["http-one"][k].get("field", ""):
            problems.append(f"{where}: the field at fault alone {outcomes['http-one'][k].get('field')!r}, "
                            f"in an array {ref.get('field')!r}")


def compare_modes(births, default, exact, problems):
    for k, birth in enumerate(births):
        d, e = default["http-array"][k], exact["http-array"][k]
        where = birth["name"]
        for name in ("kind", "band", "band_label", "flags", "error", "field", "rounded"):
            if name in d and not same(d[name], e.get(name)):
                problems.append(f"{where}: {name} {d[name]!r} by default, {e.get(name)!r} exact")
        if d["kind"] != "computed":
            continue
        if birth["method"] is not None and e["centile"] != birth["method"]:
            problems.append(f"{where}: exact {e['centile']!r}, the population's method {birth['method']!r}")
        if abs(d["centile"] - e["centile"]) > 1e-11:
            problems.append(f"{where}: default {d['centile']!r} strays from exact {e['centile']!r}")
        if birth["name"].startswith("just ") and d["centile"] != e["centile"]:
            problems.append(f"{where}: near a decision point the default {d['centile']!r} is not the method's")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--births", nargs=2, metavar=("TOOL", "TABLE"), required=True)
    parser.add_argument("--custcent", required=True)
    parser.add_argument("--capi", required=True)
    parser.add_argument("--r-library", help="the library the R package is installed in (its doors are left out without it)")
    args = parser.parse_args()
    births = json.loads(subprocess.run(args.births, capture_output=True, text=True, check=True).stdout)

    problems = []
    results = {}
    with Served(args.custcent) as served:
        for mode, exact in (("default", False), ("exact", True)):
            doors = Doors(args.custcent, args.capi, exact, args.r_library)
            outcomes, raw = run_doors(doors, births, served.url)
            compare(births, outcomes, raw, mode, problems)
            results[mode] = outcomes
            counts = {door: len(r) for door, r in outcomes.items()}
            print(f"{mode}: {len(births)} births; outcomes per door: {counts}")
        status, log = served.stop()
    compare_modes(births, results["default"], results["exact"], problems)

    kinds = {}
    for outcome in results["default"]["http-array"].values():
        kinds[outcome["kind"]] = kinds.get(outcome["kind"], 0) + 1
    print(f"kinds of outcome: {kinds}")
    for problem in problems[:200]:
        print(problem)
    if problems:
        print(f"{len(problems)} differences")
        return 1
    print("every door gives every birth the same outcome")
    return 0


if __name__ == "__main__":
    sys.exit(main())

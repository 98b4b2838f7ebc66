"""The Python binding against the program: every example, and tables held
in memory against the CSV files they stand for, give the program's numbers
bit for bit; refusals give the program's messages.

ZOVER_PROGRAM is the program, ZOVER_EXAMPLES the examples' folder."""

import csv
import importlib.util
import io
import json
import math
import os
import subprocess
import threading

import numpy as np
import pandas as pd
import pytest

import zover

PROGRAM = os.environ["ZOVER_PROGRAM"]
EXAMPLES = os.environ["ZOVER_EXAMPLES"]

_spec = importlib.util.spec_from_file_location("page_check", os.path.join(EXAMPLES, "..", "tests", "page_check.py"))
page_check = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(page_check)

CASES = dict(page_check.EXAMPLES, ordered_krippendorff=[
    "--header", "--id", "--missing", "--weights", "linear", "--alpha-level", "ordinal,interval,ratio",
    "krippendorff_units.csv"])


def keywords(args):
    """The keywords of analyse() for the command line's options, and the file."""
    options = {o.option: o.keyword for o in zover._OPTIONS}
    options.update({"-f": "frequencies", "-m": "model", "--long": "long"})
    result, args = {}, list(args)
    while len(args) > 1:
        keyword = options[args.pop(0)]
        if keyword in ("classes", "alpha_levels"):
            result[keyword] = args.pop(0).split(",")
        elif keyword in ("weights", "bootstrap", "seed"):
            result[keyword] = args.pop(0) if keyword == "weights" else int(args.pop(0))
        else:
            result[keyword] = True
    return result, args[0]


def program(*args, fmt="csv", cwd=EXAMPLES):
    done = subprocess.run([PROGRAM, "--format", fmt] + list(args), cwd=cwd, capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr


def cell(value):
    """A value compared bit for bit: a float by its hex form, a missing one as None."""
    if value is None or value is pd.NA or (isinstance(value, float) and math.isnan(value)):
        return None
    return float(value).hex() if isinstance(value, float) else value


def csv_cells(text):
    """The program's CSV, parsed apart from the binding: numbers with float()."""
    records = list(csv.reader(io.StringIO(text)))
    whole = {1, 11, 13, 14}  # class, objects_used, class2, count
    return [tuple(cell(float(v)) if 3 <= i <= 9 and v else (int(v) if i in whole and v else (v or None))
                  for i, v in enumerate(r)) for r in records[1:]]


def row_cells(rows):
    return [tuple(cell(v.item() if hasattr(v, "item") else v) for v in r) for r in rows.itertuples(index=False)]


@pytest.mark.parametrize("name", sorted(CASES))
def test_every_example_gives_the_programs_numbers(name, tmp_path):
    page_check.EXAMPLES.setdefault(name, CASES[name])
    args = page_check.example_args(name, EXAMPLES, str(tmp_path))  # model data apart from their answers
    options, path = keywords(args)
    status, expected_csv, _ = program(*args)
    assert status == 0
    res = zover.analyse(os.path.join(EXAMPLES, path), name=path, **options)  # the JSON holds the name
    assert list(res.rows.columns) == expected_csv.splitlines()[0].split(",")
    assert row_cells(res.rows) == csv_cells(expected_csv)
    assert res.to_dict() == json.loads(program(*args, fmt="json")[1])
    assert res.report() == program(*args, fmt="text")[1]
    coefficients = res.coefficients
    assert len(coefficients) + len(res.model) + len(res.pairs) + len(res.raters) == len(res._analysis.rows())
    fleiss = coefficients[coefficients.measure == "fleiss_kappa"]
    if len(fleiss):
        assert cell(fleiss.estimate.iloc[0]) == cell(res.to_dict()["kappa"]["fleiss"]["estimate"])


def frames():
    """Tables in memory, each with the options that read the CSV file it
    stands for (pandas' to_csv without the index)."""
    long = pd.read_csv(os.path.join(EXAMPLES, "ratings_long.csv"))
    wide = long.pivot(index="item", columns="annotator", values="label")  # one pair missing: NaN
    wide.loc["review-01", "cat"] = None
    wide["odd, \"quoted\" name"] = ["very good" if i % 3 else "x,y;z" for i in range(len(wide))]
    units = pd.read_csv(os.path.join(EXAMPLES, "krippendorff_units.csv"), index_col=0)
    decimals = pd.DataFrame({"a": [0.1, 0.25, 0.1, 1.5, 0.25, np.nan], "b": [0.1, 0.25, 0.25, 1.5, 0.25, 0.1]})
    nullable = units.astype("Int64")
    scale = pd.CategoricalDtype(["low", "mid", "high"], ordered=True)
    ordered = pd.DataFrame({r: pd.Series(["low", "mid", "high", None, "mid", "low", "high", "mid"][i:] +
                                         ["low", "mid", "high", None, "mid", "low", "high", "mid"][:i],
                                         dtype=scale) for i, r in enumerate(["r1", "r2", "r3"])})
    return {
        "labels_and_missing": (wide, {}, ["--header", "--missing", "--labels"]),
        "numbers_and_nan": (units, {}, ["--header", "--missing"]),
        "nullable_integers": (nullable, {"weights": "quadratic", "alpha_levels": ["ordinal", "interval"],
                                         "bootstrap": 200, "seed": 7},
                              ["--header", "--missing", "--weights", "quadratic", "--alpha-level", "ordinal,interval",
                               "--bootstrap", "200", "--seed", "7"]),
        "decimal_labels": (decimals, {"labels": True}, ["--header", "--missing", "--labels"]),
        "categorical_order": (ordered, {"weights": "linear", "alpha_levels": "ordinal"},
                              ["--header", "--missing", "--classes", "low,mid,high", "--weights", "linear",
                               "--alpha-level", "ordinal"]),
        "long_layout": (long, {"long": True}, ["--long", "--header", "--labels"]),
    }


@pytest.mark.parametrize("name", sorted(frames()))
def test_a_table_in_memory_is_read_as_its_file(name, tmp_path):
    frame, options, args = frames()[name]
    path = tmp_path / "table.csv"
    frame.to_csv(path, index=False, quoting=csv.QUOTE_NONNUMERIC)  # a label with a blank in quotes
    status, expected, error = program(*args, str(path))
    assert status == 0, error
    assert row_cells(zover.analyse(frame, **options).rows) == csv_cells(expected)


def test_arrays_and_lists_of_rows():
    data = np.loadtxt(os.path.join(EXAMPLES, "Zover_data.txt"))
    expected = csv_cells(program("Zover_data.txt")[1])
    assert row_cells(zover.analyse(data).rows) == expected
    assert row_cells(zover.analyse(data.astype(int).tolist()).rows) == expected
    with_names = [["a", "b", "c"]] + [[1, None, 2], [2, 2, 2], [1, 1, None], [3, 3, 3]]
    assert list(zover.analyse(with_names, header=True).rows.rater.dropna().unique()) == ["a", "b", "c"]


def test_threads_analyse_at_once():
    data = np.random.default_rng(5).integers(1, 6, size=(20000, 8))
    serial = [zover.analyse(data + k % 2).csv() for k in range(4)]
    results = [None] * 4

    def run(k):
        results[k] = zover.analyse(data + k % 2).csv()
    threads = [threading.Thread(target=run, args=(k,)) for k in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == serial


def test_refusals():
    # The program's message for a file, word for word.
    status, _, error = program("--header", "--id", "krippendorff_units.csv")
    assert status == 1
    with pytest.raises(zover.InputError) as refused:
        zover.analyse(os.path.join(EXAMPLES, "krippendorff_units.csv"), header=True, ids=True,
                      name="krippendorff_units.csv")
    assert "zover: " + str(refused.value) + "\n" == error.replace("add --missing", "add missing=True")
    assert isinstance(refused.value, ValueError)
    frame = pd.DataFrame({"a": [1, 2, 3], "b": ["1", "x", "2"]}, index=["p", "q", "r"])
    cases = [
        (lambda: zover.analyse(frame, labels=False), zover.InputError,
         "ERROR in data, row 'q', column 'b': \"x\" is not a class number from 1 to 1000; add labels=True"),
        (lambda: zover.analyse([[1, None], [2, 2], [1, 1]], missing=False), zover.InputError,
         "ERROR in data, row 0, column 1: the field is empty; add missing=True"),
        (lambda: zover.analyse(frame, long=True, ids=True), ValueError, "ids does not fit the long layout"),
        (lambda: zover.analyse(frame, seed=3), ValueError, "add alpha_levels=\"nominal\""),
        (lambda: zover.analyse(frame, classes=["1", "1.0", "x"]), ValueError, "the label '1.0' is given twice"),
        (lambda: zover.analyse(frame, level=1.5), ValueError, "level"),
        (lambda: zover.analyse(frame, weights="cubic"), ValueError, "'cubic' is not identity, linear or quadratic"),
        (lambda: zover.analyse(frame, threads=0), ValueError, "threads: a whole number from 1 to 1024, not 0"),
        (lambda: zover.analyse(frame, colour=True), TypeError, "unexpected keyword argument 'colour'"),
        (lambda: zover.analyse(os.path.join(EXAMPLES, "nothing.txt")), OSError, "No such file or directory"),
    ]
    for call, kind, message in cases:
        with pytest.raises(kind) as raised:
            call()
        assert message in str(raised.value)


def test_the_guides_examples(tmp_path, monkeypatch):
    """doc/python.md's code blocks run in order, as one session, in a folder
    with examples/; each output is the text block below its code."""
    import contextlib
    import re
    with open(os.path.join(EXAMPLES, "..", "doc", "python.md")) as f:
        blocks = re.findall(r"```(python|text)\n(.*?)```", f.read(), re.S)
    os.symlink(EXAMPLES, tmp_path / "examples")
    monkeypatch.chdir(tmp_path)
    session, ran = {}, 0
    for i, (kind, code) in enumerate(blocks):
        if kind != "python":
            continue
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            exec(compile(code, "doc/python.md", "exec"), session)
        ran += 1
        if i + 1 < len(blocks) and blocks[i + 1][0] == "text":
            assert out.getvalue() == blocks[i + 1][1], code
    assert ran >= 3

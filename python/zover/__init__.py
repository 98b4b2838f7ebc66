"""Zover: how well raters agree, from Python.

    import zover
    res = zover.analyse("examples/Zover_data.txt")
    res.rows              # every value, as the command line's --format csv
    res.to_dict()         # the JSON, with its nulls and reasons
    res.report()          # the text report; res.html() is the page

analyse() reads a file by its path, or a table held in memory: a pandas
DataFrame, a 2-D NumPy array or a list of rows, with None or NaN for a
missing rating and strings for labels. The engine reads such a table as
the CSV file it stands for, so every result and every refusal is the
command line's. See doc/python.md.
"""

import csv
import inspect
import io
import json
import numbers
import os
import re
import warnings
from typing import NamedTuple

from ._zover import AlphaLevel as _AlphaLevel
from ._zover import BootstrapMethod as _BootstrapMethod
from ._zover import InputError
from ._zover import Layout as _Layout
from ._zover import ReadOptions as _ReadOptions
from ._zover import Request as _Request
from ._zover import Separator as _Separator
from ._zover import WeightScheme as _WeightScheme
from ._zover import analyse_file as _analyse_file
from ._zover import analyse_table as _analyse_table
from ._zover import version as __version__

__all__ = ["analyse", "Results", "InputError"]

InputError.__module__ = __name__
InputError.__doc__ = "A data set the engine refused, with its one-line message."


# --- The options: each keyword of analyse() and the engine's field it sets -----


def _flag(name, value):
    if not isinstance(value, bool) and type(value).__name__ != "bool_":
        raise TypeError("%s: True or False, not %r" % (name, value))
    return bool(value)


def _whole(low, high):
    def convert(name, value):
        if isinstance(value, bool) or not isinstance(value, numbers.Integral) or not low <= value <= high:
            raise ValueError("%s: a whole number from %d to %d, not %r" % (name, low, high, value))
        return int(value)
    return convert


def _classes(name, value):
    if isinstance(value, (str, bytes)) or not hasattr(value, "__iter__"):
        raise TypeError("%s: a list of labels in their order, not %r" % (name, value))
    labels = [_text(label) for label in value]
    seen = set()
    for label in labels:
        key = _number(label)
        if not label:
            raise ValueError("%s: an empty label" % name)
        if (label if key is None else key) in seen:
            raise ValueError("%s: the label %r is given twice" % (name, label))
        seen.add(label if key is None else key)
    if not 2 <= len(labels) <= 1000:
        raise ValueError("%s: 2 to 1000 labels, not %d" % (name, len(labels)))
    return labels


def _choice(enum, many=False):
    names = list(enum.__members__)

    def convert(name, value):
        values = [value] if isinstance(value, str) or not many else list(value)
        chosen = []
        for v in values:
            if v not in names:
                raise ValueError("%s: %r is not %s" % (name, v, ", ".join(names[:-1]) + " or " + names[-1]))
            if v in chosen:
                raise ValueError("%s: %r is given twice" % (name, v))
            chosen.append(v)
        members = [enum.__members__[v] for v in names if v in chosen]  # in the engine's order
        return members if many else members[0]
    return convert


def _level(name, value):
    if isinstance(value, bool) or not isinstance(value, numbers.Real) or not 0 < value < 1:
        raise ValueError("%s: a share between 0 and 1, not %r" % (name, value))
    return float(value)


def _separator(name, value):
    separators = {",": "comma", "comma": "comma", ";": "semicolon", "semicolon": "semicolon", "tab": "tab",
                  "\t": "tab", "blank": "blank"}
    if value not in separators:
        raise ValueError("%s: %r is not ',', ';', 'tab' or 'blank'" % (name, value))
    return _Separator.__members__[separators[value]]


def _columns(name, value):
    names = [value] if isinstance(value, (str, numbers.Integral)) else list(value)
    return [str(v) for v in names]


def _every_pair(name, value):
    return 2**64 - 1 if _flag(name, value) else _Request().max_pairs


_OBSERVED = ("raw", "frequencies", "long")


class _Option(NamedTuple):
    keyword: str
    default: object   # None: chosen from the data (see analyse())
    field: str        # the engine's field: read.NAME (ReadOptions) or request.NAME (Request)
    convert: object
    layouts: tuple    # the layouts it fits
    option: str       # the command line's option, as the engine's messages name it


# A new option of the engine is one line here.
_OPTIONS = [
    _Option("header", None, "read.header", _flag, _OBSERVED, "--header"),
    _Option("ids", None, "read.id", _flag, ("raw",), "--id"),
    _Option("missing", None, "read.missing", _flag, ("raw", "long"), "--missing"),
    _Option("labels", None, "read.labels", _flag, _OBSERVED, "--labels"),
    _Option("classes", None, "read.classes", _classes, _OBSERVED, "--classes"),
    _Option("weights", None, "request.weights", _choice(_WeightScheme), _OBSERVED, "--weights"),
    _Option("alpha_levels", None, "request.levels", _choice(_AlphaLevel, many=True), _OBSERVED, "--alpha-level"),
    _Option("bootstrap", 1000, "request.samples", _whole(0, 1000000), _OBSERVED, "--bootstrap"),
    _Option("seed", 1, "request.seed", _whole(0, 2**64 - 1), _OBSERVED, "--seed"),
    _Option("level", 0.95, "request.level", _level, _OBSERVED + ("model",), "--level"),
    _Option("bootstrap_method", None, "request.method", _choice(_BootstrapMethod), _OBSERVED, "--bootstrap-method"),
    _Option("sep", None, "read.separator", _separator, _OBSERVED, "--sep"),
    _Option("no_header", None, "read.no_header", _flag, _OBSERVED, "--no-header"),
    _Option("raters", None, "read.raters", _columns, ("raw",), "--raters"),
    _Option("long_columns", None, "read.long_columns", _columns, ("long",), "--long-columns"),
    _Option("pairs", False, "request.max_pairs", _every_pair, _OBSERVED, "--pairs"),
    _Option("objects", False, "read.objects", _flag, ("raw", "long"), "--objects"),
    _Option("threads", None, "request.threads", _whole(1, 1024), _OBSERVED + ("model",), "--threads"),
]
_LAYOUTS = ("long", "frequencies", "model")  # keywords that choose the layout; raw without them


# --- Tables held in memory as the columns the engine reads ----------------------


def _number(text):
    """The value of a text that the data files read as a number, or None."""
    if re.fullmatch(r"[+-]?(\d+\.?\d*|\.\d+)", text):
        return float(text) + 0.0
    return None


def _text(value):
    """A value as a file would hold it: a number as its shortest decimal
    without an exponent (2.0 as 2), anything else as str()."""
    import numpy as np
    if isinstance(value, str):
        return value
    if isinstance(value, (bool, np.bool_)):
        return str(bool(value))
    if isinstance(value, numbers.Integral):
        return str(int(value))
    if isinstance(value, (float, np.floating)):
        return np.format_float_positional(value, unique=True, trim="-")
    return str(value)


def _missing(value):
    return value is None or (isinstance(value, float) and value != value) or type(value).__name__ in ("NAType", "NaTType")


def _factorize(values):
    """The codes (int32, -1 for a missing value) and the distinct values."""
    import numpy as np
    try:
        import pandas as pd
    except ImportError:
        pd = None
    if pd is not None:
        try:
            codes, uniques = pd.factorize(values, use_na_sentinel=True)
        except TypeError:  # pandas before 1.5
            codes, uniques = pd.factorize(values, na_sentinel=-1)
        return np.ascontiguousarray(codes, dtype=np.int32), list(uniques)
    index = {}
    codes = np.empty(len(values), dtype=np.int32)
    for i, value in enumerate(values):
        codes[i] = -1 if _missing(value) else index.setdefault(value, len(index))
    return codes, list(index)


class _Column(NamedTuple):
    values: object      # float64 or int64 array, or (int32 codes, texts, 0)
    coded: bool         # the values are texts (labels)
    categories: object  # the categories' texts of a categorical column, or None


def _column(values):
    """One column for the engine: numbers as float64 or int64 arrays, read
    in place (the fast path), anything else as codes into its distinct
    values' texts."""
    import numpy as np
    dtype = getattr(values, "dtype", None)
    if dtype is not None and type(dtype).__name__ == "CategoricalDtype":
        texts = [_text(c) for c in values.cat.categories]
        codes = np.ascontiguousarray(values.cat.codes.to_numpy(), dtype=np.int32)
        return _Column((codes, texts, 0), True, texts)
    array = np.asarray(values)
    kind, size = array.dtype.kind, array.dtype.itemsize
    if kind == "f" and size == 8:
        return _Column(array.astype(np.float64, copy=False), False, None)  # in place, native byte order
    if kind == "i" or (kind == "u" and size < 8):
        return _Column(array.astype(np.int64, copy=False), False, None)
    if kind == "O":
        # Numbers with None or NaN among them (a list of rows, an object
        # column) are numbers, as long as a double holds them exactly.
        present = [v for v in array if not _missing(v)]
        if all(isinstance(v, (float, np.floating)) and np.dtype(type(v)).itemsize == 8
               or isinstance(v, numbers.Integral) and not isinstance(v, (bool, np.bool_)) and abs(v) <= 2**53
               for v in present):
            return _Column(np.array([np.nan if _missing(v) else float(v) for v in array], dtype=np.float64),
                           False, None)
    codes, uniques = _factorize(values)
    return _Column((codes, [_text(u) for u in uniques], 0), True, None)


class _Table(NamedTuple):
    names: list
    columns: list
    rows: int
    index: object  # the DataFrame's index, for messages; None: positions


def _table(data, header):
    """The columns of an in-memory table, its names and its row count."""
    import numpy as np
    if type(data).__name__ == "DataFrame" and hasattr(data, "iloc"):
        names = [_text(name) for name in data.columns]
        columns = [_column(data.iloc[:, j]) for j in range(data.shape[1])]
        return _Table(names if header else None, columns, len(data), data.index)
    if isinstance(data, np.ndarray):
        if data.ndim != 2:
            raise ValueError("data: a 2-D array (a row per object or rating), not %d-D" % data.ndim)
        rows = data
    else:
        rows = [list(row) for row in data]
        lengths = {len(row) for row in rows}
        if len(lengths) > 1:
            first = len(rows[0])
            bad = next(i for i, row in enumerate(rows) if len(row) != first)
            raise InputError("ERROR in data, row %d: %d values where row 0 has %d." % (bad, len(rows[bad]), first))
    names = None
    if header:
        names = [_text(name) for name in rows[0]]
        rows = rows[1:]
    count = len(rows)
    width = len(names) if names is not None else (len(rows[0]) if count else 0)
    if isinstance(rows, np.ndarray):
        columns = [_column(rows[:, j]) for j in range(width)]
    else:
        columns = [_column(np.array([row[j] for row in rows], dtype=object)) for j in range(width)]
    return _Table(names, columns, count, None)


def _rating_columns(layout, width, ids):
    if layout == "long":
        return [2] if width > 2 else []
    first = 1 if ids else 0
    return list(range(first, width - (1 if layout == "frequencies" else 0)))


# --- Messages --------------------------------------------------------------------


def _message(text, table, name):
    """The engine's message in the terms of analyse(): the keyword for the
    command line's option, and for a table in memory its row and column
    for a file's line and field."""
    for option in _OPTIONS:
        if option.convert is _flag:
            text = text.replace("add %s to" % option.option, "add %s=True to" % option.keyword)
    if table is None:
        return text

    def row(line):
        number = int(line) - (2 if table.names is not None else 1)
        if number < 0:
            return "the column names"
        if table.index is not None:
            return "row %r" % (table.index[number],)
        return "row %d" % number

    def place(match):
        where = row(match.group(1))
        if match.group(2):
            field = int(match.group(2)) - 1
            column = table.names[field] if table.names is not None else field
            where += ", column %r" % (column,)
        return "ERROR in %s, %s:" % (name, where)

    text = re.sub(r'^ERROR in file "%s", line (\d+)(?:, field (\d+))?:' % re.escape(name), place, text)
    return re.sub(r"\bas line (\d+)\b", lambda m: "as " + row(m.group(1)), text)


# --- analyse() ---------------------------------------------------------------------


def analyse(data, **options):
    """Analyses the agreement of raters; returns a Results.

    data: a path (str or os.PathLike) of a data file, read as the command
    line reads it; or a table in memory: a pandas DataFrame (a column per
    rater, the column names as the raters' names; the index is not used),
    a 2-D NumPy array or a list of rows. In a table, None and NaN are
    missing ratings, strings are labels, a categorical column's categories
    are the classes in their order, and numbers are class numbers.

    long, frequencies, model: the file's layout, as --long, -f and -m
    (raw, one row per object, without them); a table in the long layout
    holds object, rater and rating columns.
    header, ids, missing, labels: as --header, --id, --missing, --labels.
    None: chosen from the data: for a file False; for a table the
    DataFrame's column names are the header, NaN and None are missing
    ratings, and a column of texts or a categorical one makes the ratings
    labels.
    classes: the labels of the classes in their order, as --classes.
    weights: "identity", "linear" or "quadratic", as --weights.
    alpha_levels: a level or a list of "nominal", "ordinal", "interval" and
    "ratio", as --alpha-level, each with a bootstrap interval of
    `bootstrap` resamples (0 to 1000000) from `seed` (0 to 2**64 - 1).
    bootstrap_method: "objects" (the default) or "pairs", as --bootstrap-method.
    level: the share of repeated samples an interval covers (0.95).
    sep, no_header, raters, long_columns: as --sep (",", ";", "tab" or
    "blank"), --no-header, --raters and --long-columns (names or numbers
    from 1). The reading's warnings come as Python warnings.
    threads: the threads the reading and analysis of large data may use,
    1 to 1024, as --threads (default: one per core); the results are the
    same with any.
    name: the data set's name in the results and messages (the path, or
    "data").

    Raises InputError (a ValueError) with the engine's message when the
    data are refused, OSError when the file cannot be opened.
    """
    known = {o.keyword: o for o in _OPTIONS}
    name = options.pop("name", None)
    layouts = [k for k in _LAYOUTS if options.pop(k, False)]
    for keyword in options:
        if keyword not in known:
            raise TypeError("analyse() got an unexpected keyword argument %r" % keyword)
    if len(layouts) > 1:
        raise ValueError("%s and %s: choose one layout" % tuple(layouts[:2]))
    layout = layouts[0] if layouts else "raw"
    given = {k: v for k, v in options.items() if v is not None and v != known[k].default}
    for keyword in given:
        if layout not in known[keyword].layouts:
            raise ValueError("%s does not fit the %s layout" % (keyword, layout))
    if ("bootstrap" in given or "seed" in given) and options.get("alpha_levels") is None:
        raise ValueError("bootstrap and seed belong to the intervals of alpha_levels; "
                         "add alpha_levels=\"nominal\" for the nominal alpha's")

    table = None
    if not isinstance(data, (str, bytes, os.PathLike)):
        if layout == "model":
            raise ValueError("model data are read from a file: give its path")
        header = options.get("header")
        table = _table(data, type(data).__name__ == "DataFrame" if header is None else header)
        rating = [table.columns[j] for j in _rating_columns(layout, len(table.columns), options.get("ids"))]
        chosen = {"header": table.names is not None,
                  "missing": True,
                  "labels": any(column.coded for column in rating)}
        categories = [column.categories for column in rating if column.categories is not None]
        if categories and options.get("classes") is None:
            if any(c != categories[0] for c in categories):
                raise ValueError("the categorical columns have different categories: give classes")
            chosen["classes"] = categories[0]
        for keyword, value in chosen.items():
            if options.get(keyword) is None and value and layout in known[keyword].layouts:
                options[keyword] = value
        # The table is written with commas, and its first row is a header
        # exactly when it has column names.
        if options.get("sep") is None:
            options["sep"] = ","
        if options.get("no_header") is None and table.names is None:
            options["no_header"] = True

    records = {"read": _ReadOptions(), "request": _Request()}
    records["read"].layout = _Layout.__members__[layout]
    for keyword, value in options.items():
        option = known[keyword]
        if value is not None:
            record, field = option.field.split(".")
            setattr(records[record], field, option.convert(keyword, value))

    try:
        if table is None:
            path = os.fsdecode(data)
            analysis = _analyse_file(path, path if name is None else name, records["read"], records["request"])
        else:
            name = "data" if name is None else name
            analysis = _analyse_table([(n, c.values) for n, c in zip(table.names or [""] * len(table.columns),
                                                                     table.columns)],
                                      table.rows, table.names is not None, name, records["read"], records["request"])
    except InputError as error:
        raise InputError(_message(str(error), table, name if table is not None else "")) from None
    for warning in analysis.warnings():
        warnings.warn(warning, stacklevel=2)
    return Results(analysis)


analyse.__signature__ = inspect.Signature(
    [inspect.Parameter("data", inspect.Parameter.POSITIONAL_OR_KEYWORD)]
    + [inspect.Parameter(k, inspect.Parameter.KEYWORD_ONLY, default=False) for k in _LAYOUTS]
    + [inspect.Parameter(o.keyword, inspect.Parameter.KEYWORD_ONLY, default=o.default) for o in _OPTIONS]
    + [inspect.Parameter("name", inspect.Parameter.KEYWORD_ONLY, default=None)])


# --- Results -------------------------------------------------------------------------


def _table_of(columns, records, dtypes):
    """A pandas DataFrame when pandas is there, else a list of dicts."""
    try:
        import pandas as pd
    except ImportError:
        return [dict(zip(columns, record)) for record in records]
    values = list(zip(*records)) if records else [()] * len(columns)
    return pd.DataFrame({c: pd.array(list(v), dtype=dtypes.get(c, "object")) if c in dtypes else list(v)
                         for c, v in zip(columns, values)}, columns=columns)


# The CSV's columns by kind (ci_low and ci_high where the level is not 95 %).
_NUMBERS = ("estimate", "se", "ci95_low", "ci95_high", "ci_low", "ci_high", "se0", "z", "p")
_WHOLE = ("class", "objects_used", "class2", "count")
_TEXTS = ("rater", "class_label", "rater2", "object")
_ROW_FIELDS = ("measure", "class", "label", "short_label", "parent", "group", "estimate", "se", "ci_low", "ci_high",
               "ci_level", "se0", "z", "p", "objects_used", "reason", "rater", "rater2")
_ROW_COLUMNS = ("measure", "class", "rater", "rater2", "label", "group", "estimate", "se", "ci_low", "ci_high",
                "ci_level", "se0", "z", "p", "objects_used", "reason")
_COEFFICIENT_COLUMNS = tuple(c for c in _ROW_COLUMNS if c not in ("rater", "rater2"))
_ROW_WHOLE = ("class", "rater", "rater2")


def _float_dtypes(columns):
    return dict({c: "float64" for c in columns if c not in ("measure", "label", "group", "reason") + _ROW_WHOLE},
                **{c: "Int64" for c in _ROW_WHOLE if c in columns})


class Results:
    """The results of one analysis.

    rows: every value, as the command line's --format csv gives them (the
    same doubles, bit for bit): measure, class, rater, estimate, se,
    ci95_low, ci95_high, se0, z, p, class_label, objects_used, rater2, class2,
    count (ci_low, ci_high at a level other than 0.95; object with
    objects=True); a pandas DataFrame (NaN
    or <NA> where the CSV's cell is empty), or a list of dicts (None)
    without pandas.
    coefficients, model: the engine's rows of the coefficients of the whole
    data and of the Zover model (its overall agreement, and per class its
    agreement and consistency), one row each, with the label a reader
    reads, the interval's level, the objects used and the reason of a
    missing value. pairs, raters: the rows of each pair of raters (its
    agreement and Cohen's kappa) and of each rater (against the others'
    leading class, and the others' Fleiss' kappa without it), with the
    rater's and rater2's numbers from 1.
    to_dict(): the JSON. report(): the text. html(): the page. svg(): the
    figure of the coefficients. csv(): the CSV's text.
    """

    def __init__(self, analysis):
        self._analysis = analysis
        self._rows = None

    @property
    def rows(self):
        if self._rows is None:
            reader = csv.reader(io.StringIO(self._analysis.csv()))
            columns = next(reader)
            records = []
            for cells in reader:
                record = dict(zip(columns, cells))
                for c in columns:
                    if c in _NUMBERS:
                        record[c] = float(record[c]) if record[c] else None
                    elif c in _WHOLE:
                        record[c] = int(record[c]) if record[c] else None
                    elif c in _TEXTS:
                        record[c] = record[c] or None
                records.append(tuple(record[c] for c in columns))
            kinds = dict({c: "float64" for c in _NUMBERS}, **{c: "Int64" for c in _WHOLE})
            self._rows = _table_of(columns, records, {c: k for c, k in kinds.items() if c in columns})
        return self._rows

    def _engine_rows(self, groups, columns=_ROW_COLUMNS):
        records = [tuple(dict(zip(_ROW_FIELDS, row))[c] for c in columns)
                   for row in self._analysis.rows() if row[5] in groups]
        return _table_of(list(columns), records, _float_dtypes(columns))

    @property
    def coefficients(self):
        return self._engine_rows(("agreement", "kappa", "gwet", "alpha", "rater_kappa"), _COEFFICIENT_COLUMNS)

    @property
    def model(self):
        return self._engine_rows(("model",), _COEFFICIENT_COLUMNS)

    @property
    def pairs(self):
        return self._engine_rows(("pair",))

    @property
    def raters(self):
        return self._engine_rows(("rater",))

    def to_dict(self):
        return json.loads(self._analysis.json())

    def csv(self):
        return self._analysis.csv()

    def report(self):
        return self._analysis.text()

    def html(self):
        return self._analysis.html()

    def svg(self):
        return self._analysis.svg()

    def __repr__(self):
        summary = self.to_dict()["input"]
        return "<zover.Results of %s: %d objects, %d raters, %d classes>" % (
            summary["file"], summary["objects"], summary["raters"], summary["classes"])

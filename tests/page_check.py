#!/usr/bin/env python3
"""Checks the batch command's HTML page and SVG figure.

    page_check.py names
    page_check.py examples
    page_check.py structure ZOVER EXAMPLES WORK
    page_check.py browser ZOVER EXAMPLES WORK NAME

`names` lists the examples that are rendered; `examples` every example,
one a line: its name and the program's arguments, separated by tabs (the
bindings' tests take them from here). `structure` runs every example and every case of
CASES: the page parses as XML and refers to nothing outside itself; in
figure 1 (in the page and alone as SVG) every point and every whisker end
lies where the CSV's estimate and 95 % interval of its row (matched by the
key and class the page gives each row) fall on the axis that the tick labels
define, in figure 2 the JSON's, an end beyond the axis (and only such an end)
cut there with an arrow; figure 3's cells hold the JSON's probabilities; the
table of coefficients has a row for each of the CSV's coefficients, its
estimate the CSV's to four decimals; and no element of a figure lies outside it (a text's width
taken as 0.6 em a character). `browser` renders one example's page with
headless Chromium at 1200 x 1800 px into WORK/NAME.png and checks the exit
status, the image's size, that it is not blank and that the browser logged
no console message; with UPDATE_SCREENSHOT=1 the README's example is copied
to doc/zover_report.png. Without Chromium it says so and exits with 77
(skipped).
"""
import csv
import io
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

# The examples: the batch command's data files with the options doc/batch.md
# gives them, and the dialogue's model data (an answers file without the
# menu's answer) as --model files.
EXAMPLES = {
    "Zover_data": ["Zover_data.txt"],
    "Zover_data_freq": ["-f", "Zover_data_freq.txt"],
    "fleiss_diagnoses": ["fleiss_diagnoses.txt"],
    "krippendorff_units": ["--header", "--id", "--missing", "krippendorff_units.csv"],
    "ratings_r": ["--header", "--id", "--missing", "ratings_r.csv"],
    "ratings_pandas": ["--header", "--id", "--missing", "ratings_pandas.csv"],
    "ratings_long": ["--long", "--header", "--labels", "ratings_long.csv"],
    "deviant_rater": ["--header", "--id", "--labels", "--classes", "low,medium,high", "--objects",
                      "deviant_rater.csv"],
}
for answers in ["mode4_model_data", "report_regular", "report_two_by_two", "report_indeterminate",
                "report_minus_infinity", "report_infinite_solutions", "report_zero_probability"]:
    EXAMPLES[answers] = ["-m", "answers/%s.answers" % answers]
# Rendered in a browser: the data files and the model data whose interval
# goes on beyond the axis (each rendering costs seconds of processor time).
RENDERED = [name for name, args in EXAMPLES.items() if args[0] != "-m"] + ["report_minus_infinity"]
SCREENSHOT = "ratings_long"  # the README's


def refit_too_large():
    # 3 classes, 700 raters, one chance probability 0: the refit's 3^700 / 2
    # pseudo-objects pass a double, so the final table is not a number.
    rows = [[100] + [300] * 700, [100] + [200] * 700, [100] + [200] * 700]
    rows[0][1], rows[1][1], rows[2][1] = 0, 350, 350
    return "3 700 1000\n" + "\n".join(" ".join(map(str, row)) for row in rows) + "\n"


# Generated cases: (name, options, file name, content).
CASES = [
    ("markup_in_names", ["--header", "--labels"], "a&b <c>.csv",
     b'"<r1>","r&2","\x01bad\xff","say ""hi"""\n' + b"<x>,<x>,y&z,<x>\ny&z,y&z,y&z,q'\n<x>,q',<x>,<x>\n"),
    ("sixty_classes", [], "sixty.txt",
     "".join("%d %d %d\n" % (c, c, (c % 60) + 1) for c in range(1, 61)).encode()),
    ("one_class", ["--classes", "a,b"], "same.txt", b"a a\na a\na a\n"),
    ("not_analysed", ["--missing"], "gaps.csv", b"1,1,\n2,,2\n1,2,1\n"),
    ("refit_too_large", ["-m"], "refit.txt", refit_too_large().encode()),
    ("ordered", ["--header", "--id", "--missing", "--weights", "quadratic", "--alpha-level",
                 "nominal,ordinal,interval,ratio", "--bootstrap", "200"], "units.csv",
     open(os.path.join(os.path.dirname(__file__), "..", "examples", "krippendorff_units.csv"), "rb").read()),
    ("ordered_two_raters", ["--weights", "linear"], "two.txt", b"1 2\n2 2\n3 3\n1 1\n2 3\n3 3\n1 2\n"),
    ("below_minus_one", ["-m"], "below.txt", b"3 2 19\n2 5 2\n2 6 5\n3 1 5\n"),  # a consistency of -2.2
    # A warning, in a box at the top of the page: the coders in the first column.
    ("warning", ["--long", "--header", "--labels"], "coder_first.csv",
     b"coder,item,label\n" + b"".join(b"c%d,i%d,%s\n" % (c, i, b"xy"[(c * i) % 2:][:1]) for c in range(1, 4)
                                     for i in range(1, 5))),
    # 61 raters: figures 4 and 5 give way to the tables; nine classes: figure 5 colours up to eight.
    ("sixty_one_raters", [], "wide.txt",
     "".join(" ".join(str(1 + (o + (r % 7 == 0)) % 3) for r in range(61)) + "\n" for o in range(12)).encode()),
    ("nine_classes", ["--missing"], "nine.txt",
     "".join("%d %d %s\n" % (c, (c % 9) + 1, c if c % 4 else ".") for c in range(1, 10)).encode() * 2),
]


def run(zover, args, cwd):
    done = subprocess.run([zover] + args, cwd=cwd, capture_output=True, timeout=120)
    if done.returncode != 0:
        sys.exit("%s: exit %d: %s" % (" ".join(args), done.returncode, done.stderr.decode(errors="replace")))
    return done.stdout


def example_args(name, examples, work):
    args = list(EXAMPLES[name])
    if args[0] == "-m":  # the answers file without its first line, the menu's 4
        with open(os.path.join(examples, args[1])) as f:
            lines = f.read().split("\n")[1:]
        args[1] = os.path.join(work, name + ".txt")
        with open(args[1], "w") as f:
            f.write("\n".join(lines))
    return args


# --- Figures ---------------------------------------------------------------

def num(text):
    return float(text.replace("\u2212", "-"))


def fixed4(x):
    """Four decimals as the page's tables print them: a value within rounding of zero is 0.0000."""
    if x is None:
        return "\u2014"
    text = "%.4f" % x
    return "0.0000" if text == "-0.0000" else text


class Scale:
    """The axis as its tick labels place it: x = a + b * value."""

    def __init__(self, svg):
        ticks = [(num(t.text), float(t.get("x"))) for t in svg.iter("text") if t.get("class") == "tick"]
        assert len(ticks) >= 2, "an axis with at least two ticks"
        (v0, x0), (v1, x1) = ticks[0], ticks[-1]
        self.b = (x1 - x0) / (v1 - v0)
        self.a = x0 - self.b * v0
        for v, x in ticks:
            assert abs(self.x(v) - x) < 0.02, "tick %s off the line of the others" % v
        axis = next(e for e in svg.iter("line") if e.get("class") == "axis")
        self.low, self.high = [(float(axis.get(k)) - self.a) / self.b for k in ("x1", "x2")]

    def x(self, v):
        return self.a + self.b * v

    def check_axis(self, estimates, where):
        # From -1 to 1, extended only as far as an estimate needs it.
        low, high = min(estimates + [-1]), max(estimates + [1])
        assert (abs(self.low + 1) < 1e-6) if low >= -1 else self.low <= low + 1e-9, (where, "axis low", self.low)
        assert (abs(self.high - 1) < 1e-6) if high <= 1 else self.high >= high - 1e-9, (where, "axis high")

    def check_point(self, row, estimate, ci, where):
        marker = next(e for e in row if e.get("class") == "estimate")
        if marker.tag == "circle":
            x = float(marker.get("cx"))
        elif marker.tag == "rect":
            x = float(marker.get("x")) + float(marker.get("width")) / 2
        else:
            xs = [float(p.split(",")[0]) for p in marker.get("points").split()]
            x = (min(xs) + max(xs)) / 2
        assert abs(x - self.x(estimate)) < 0.02, (where, "estimate at", x, self.x(estimate))
        whisker = [e for e in row if e.get("class") == "ci"]
        arrows = len([e for e in row if e.get("class") == "clipped"])
        if ci is None:
            assert not whisker and not arrows, (where, "a point without an interval has no whisker")
            return
        assert len(whisker) == 1, (where, "one whisker")
        ends = sorted(float(whisker[0].get(k)) for k in ("x1", "x2"))
        cut = 0
        for end, value in zip(ends, ci):
            inside = min(self.high, max(self.low, value))
            cut += inside != value
            assert abs(end - self.x(inside)) < 0.02, (where, "whisker end", end, self.x(inside), value)
        assert arrows == cut, (where, "an arrow at each end cut by the axis", arrows, cut)


# The CSV's rows that are not coefficients of figure 1 and the table.
NOT_COEFFICIENTS = {"warning", "level", "objects", "complete_objects", "missing_ratings", "class_value", "chance_probability",
                    "zover_agreement", "zover_consistency"}


def coefficient_rows(csv_text):
    """Every coefficient of the whole data by (key, class) from the program's CSV: (estimate, ci95); not the
    rows of one rater or pair of raters, nor their tables, nor those of one object."""
    rows = {}
    for r in csv.DictReader(io.StringIO(csv_text)):
        if r["measure"] in NOT_COEFFICIENTS or r["rater"] or r.get("object"):
            continue
        number = lambda cell: float(cell) if cell else None
        ci = [number(r["ci95_low"]), number(r["ci95_high"])] if r["ci95_low"] else None
        rows[(r["measure"], r["class"])] = (number(r["estimate"]), ci)
    return rows


def row_key(e):
    return (e.get("data-key"), e.get("data-class") or "")


def check_forest(svg, notes, expected, labels, classes, where):
    """Figure 1: a row per coefficient with an estimate (per class up to 40 classes), each where the CSV puts
    it; a note naming each one left out (its label from the page's table)."""
    scale = Scale(svg)
    drawn = {row_key(row): row for row in svg.iter("g") if row.get("class") == "row"}
    shown = {k for k in expected if k[0] != "raw_agreement" and (classes <= 40 or not k[1])}
    want = {k for k in shown if expected[k][0] is not None}
    assert set(drawn) == want, (where, "rows", sorted(set(drawn) ^ want))
    scale.check_axis([expected[k][0] for k in want], where)
    for key, row in drawn.items():
        scale.check_point(list(row), *expected[key], where + ": " + str(key))
    for key in shown - want:
        if not key[1]:
            assert "Left out: " in notes and labels[key] in notes, (where, "a note on", key, notes)


def check_classes(svg, j, where):
    scale, final = Scale(svg), j["model"]["final"]["classes"]
    per_class = (j["kappa"].get("fleiss") or {}).get("per_class")
    groups = [g for g in svg.iter("g") if g.get("class") == "class"]
    assert len(groups) == len(final), (where, "a group per class")
    estimates = []
    for group, c, i in zip(groups, final, range(len(final))):
        series = [(c["consistency"]["estimate"], c["consistency"]["ci95"]),
                  (c["agreement"]["estimate"], c["agreement"]["ci95"])]
        if per_class:
            series.append((per_class[i]["estimate"], None))
        rows = [g for g in group if g.get("class") == "row"]
        assert len(rows) == len(series), (where, "a row per series")
        for row, (estimate, ci) in zip(rows, series):
            if estimate is None:
                assert not [e for e in row if e.get("class") == "estimate"], (where, "a null left out")
            else:
                estimates.append(estimate)
                scale.check_point(list(row), estimate, ci, "%s: class %d" % (where, i + 1))
    scale.check_axis(estimates, where)


def check_grid(svg, j, where):
    values = [t.text for t in svg.iter("text") if t.get("class") == "value"]
    want = [fixed4(p) for c in j["model"]["final"]["classes"] for p in c["chance"] if p is not None]
    assert values == want, (where, "the grid's cells", values[:5], want[:5])


def check_heatmap(svg, j, where):
    """Figure 4: a cell for each ordered pair of raters, holding the JSON's kappa of the pair to four decimals
    (a dash where it has none); the raters in the JSON's rater order."""
    kappas = {(p["rater"], p["rater2"]): p["cohen_kappa"]["estimate"] for p in j["pairs"]}
    cells = [g for g in svg.iter("g") if g.get("class") == "cell"]
    raters = j["input"]["raters"]
    assert len(cells) == raters * (raters - 1), (where, "a cell per ordered pair", len(cells))
    for g in cells:
        key = (int(g.get("data-rater")), int(g.get("data-rater2")))
        text = "".join(t.text for t in g.iter("text"))
        assert text == (fixed4(kappas[key]) if kappas[key] is not None else "\u2014"), (where, key, text)
    heading = [int(t.text) for t in svg.iter("text") if t.get("class") == "rater"]
    assert heading == j["rater_order"], (where, "the rater order", heading)


def check_shares(svg, j, where):
    """Figure 5: a bar per rater whose parts are as wide as the rater's class counts, all bars at one scale."""
    bars = [g for g in svg.iter("g") if g.get("class") == "bar"]
    assert len(bars) == j["input"]["raters"], (where, "a bar per rater")
    raters = {r["rater"]: r for r in j["raters"]}
    scale = None
    for bar in bars:
        rater = raters[int(bar.get("data-rater"))]
        frame = next(e for e in bar if e.get("class") == "frame")
        scale = scale or float(frame.get("width"))
        assert abs(float(frame.get("width")) - scale) < 0.01, (where, "one scale")
        parts = {int(e.get("data-class")): e for e in bar if e.get("class") == "segment"}
        assert set(parts) == {k + 1 for k, c in enumerate(rater["counts"]) if c > 0 and rater["objects"] > 0}, where
        x = float(frame.get("x"))
        for k in sorted(parts):
            e, count = parts[k], rater["counts"][k - 1]
            assert int(e.get("data-count")) == count, (where, "count", k)
            assert abs(float(e.get("x")) - x) < 0.02, (where, "parts side by side")
            assert abs(float(e.get("width")) - count / rater["objects"] * scale) < 0.02, (where, "width", k)
            x += float(e.get("width"))


def text_width(e, size):
    return len("".join(e.itertext())) * 0.6 * size


def check_inside(svg, where):
    """Every element within the figure's viewBox."""
    _, _, width, height = map(float, svg.get("viewBox").split())
    base = float(svg.get("font-size", "12"))
    for e in svg.iter():
        tag, a = e.tag.split("}")[-1], e.attrib
        f = lambda k: float(a[k])
        if tag == "text":
            w, size = text_width(e, float(a.get("font-size", base))), float(a.get("font-size", base))
            left = {"start": 0, "middle": w / 2, "end": w}[a.get("text-anchor", "start")]
            boxes = [(f("x") - left, f("y") - size), (f("x") - left + w, f("y"))]
        elif tag == "line":
            boxes = [(f("x1"), f("y1")), (f("x2"), f("y2"))]
        elif tag == "rect":
            boxes = [(f("x"), f("y")), (f("x") + f("width"), f("y") + f("height"))]
        elif tag == "circle":
            boxes = [(f("cx") - f("r"), f("cy") - f("r")), (f("cx") + f("r"), f("cy") + f("r"))]
        elif tag == "polygon":
            boxes = [tuple(map(float, p.split(","))) for p in a["points"].split()]
        else:
            continue
        for x, y in boxes:
            assert -0.01 <= x <= width + 0.01 and -0.01 <= y <= height + 0.01, (where, tag, a, "outside")


# --- The page ----------------------------------------------------------------

def check_self_contained(text, where):
    # SVG's namespace is a name, not a resource.
    plain = text.replace(' xmlns="http://www.w3.org/2000/svg"', "", 1)
    assert "http://" not in plain and "https://" not in plain, (where, "a web address")
    root = ET.fromstring(text)
    for e in root.iter():
        tag = e.tag.split("}")[-1]
        assert tag not in ("script", "link", "iframe", "img", "object", "embed", "image"), (where, tag)
        for key, value in e.attrib.items():
            assert not (key.endswith("href") or key == "src") or value.startswith("#"), (where, key, value)
            assert not key.startswith("on"), (where, "an event handler")
    assert "url(" not in text and "@import" not in text and "@font-face" not in text, (where, "CSS fetches")
    return root


def check_table(root, expected, where):
    """The table of coefficients: a row per coefficient, its estimate the CSV's to four decimals; returns
    each row's label by its key."""
    table = next(t for t in root.iter("table") if t.find("caption") is not None and
                 t.find("caption").text.startswith("Estimates"))
    labels = {}
    for tr in table.iter("tr"):
        if tr.get("data-key") is None:
            continue
        cells = ["".join(c.itertext()) for c in tr]
        key = row_key(tr)
        labels[key] = cells[0]
        want = expected[key][0]
        assert cells[1] == (fixed4(want) if want is not None else "\u2014"), (where, key, cells[1])
    assert set(labels) == set(expected), (where, "table rows", sorted(set(labels) ^ set(expected)))
    return labels


def check_example(zover, args, cwd, where):
    j = json.loads(run(zover, args + ["--format", "json"], cwd))
    expected = coefficient_rows(run(zover, args + ["--format", "csv"], cwd).decode("utf-8"))
    page = run(zover, args + ["--format", "html"], cwd).decode("utf-8")
    root = check_self_contained(page, where)
    title = "".join(next(root.iter("h1")).itertext())
    assert title == "Agreement of raters: " + j["input"]["file"], (where, title)
    figures = {svg.get("id"): svg for svg in root.iter("svg")}
    # Figure 1's notes: the list after it.
    scroll = next(d for d in root.iter("div") if figures["figure-1"] in list(d))
    notes = " ".join("".join(li.itertext()) for ul in scroll.iter("ul") for li in ul)
    labels = check_table(root, expected, where)
    classes = j["input"]["classes"]
    check_forest(figures["figure-1"], notes, expected, labels, classes, where + " figure 1")
    if "figure-2" in figures:
        check_classes(figures["figure-2"], j, where + " figure 2")
    if "figure-3" in figures:
        check_grid(figures["figure-3"], j, where + " figure 3")
    assert ("figure-2" in figures) == bool(j["model"] and j["input"]["classes"] <= 40), (where, "figure 2 drawn")
    observed, raters = "raters" in j, j["input"]["raters"]
    assert ("figure-4" in figures) == bool(observed and j["pairs"] is not None and raters <= 60), (where, "fig 4")
    assert ("figure-5" in figures) == bool(observed and raters <= 60 and j["input"]["classes"] <= 8), (where, "fig 5")
    if "figure-4" in figures:
        check_heatmap(figures["figure-4"], j, where + " figure 4")
    if "figure-5" in figures:
        check_shares(figures["figure-5"], j, where + " figure 5")
    if observed and raters > 60:
        assert page.count("Not drawn: the figure shows up to 60 raters") == 2, (where, "notes on figures 4 and 5")
    pair_rows = [tr for tr in root.iter("tr") if tr.get("data-rater2")]
    assert len(pair_rows) == (len(j["pairs"]) if observed and j["pairs"] else 0), (where, "a table row per pair")
    alone = run(zover, args + ["--format", "svg"], cwd).decode("utf-8")
    svg = check_self_contained(alone, where + " svg")
    assert svg.tag == "{http://www.w3.org/2000/svg}svg" and svg.get("width") and svg.get("height"), where
    for e in svg.iter():
        e.tag = e.tag.split("}")[-1]
    assert svg.get("font-family").endswith("sans-serif"), (where, "fonts fall back to sans-serif")
    check_forest(svg, " ".join(t.text for t in svg.iter() if t.get("class") == "note"), expected, labels, classes,
                 where + " svg")
    for name, figure in list(figures.items()) + [("svg", svg)]:
        check_inside(figure, "%s %s" % (where, name))
    return len(page)


def structure(zover, examples, work):
    for name in EXAMPLES:
        size = check_example(zover, example_args(name, examples, work), examples, name)
        print("%-28s %8d bytes" % (name, size))
    for name, options, file_name, content in CASES:
        path = os.path.join(work, file_name)
        with open(path, "wb") as f:
            f.write(content)
        size = check_example(zover, options + [file_name], work, name)
        print("%-28s %8d bytes" % (name, size))


# --- In a browser ---------------------------------------------------------

WIDTH, HEIGHT = 1200, 1800


def png_rows(path):
    """The size of an 8-bit RGB or RGBA PNG, its bytes per pixel and its rows
    (as bytes, decoded one by one as they are asked for)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "a PNG file"
    pos, idat = 8, []
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlaced = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        pos += 12 + length
    assert depth == 8 and colour in (2, 6) and not interlaced, "8-bit RGB(A), not interlaced"
    bpp, raw = (3 if colour == 2 else 4), zlib.decompress(b"".join(idat))
    assert len(raw) == height * (width * bpp + 1), "the image data of its size"
    return width, height, bpp, unfiltered(raw, width * bpp, height, bpp)


def unfiltered(raw, stride, height, bpp):
    # Bytewise sums of whole rows at once: the low seven bits of each byte
    # add without carrying into the next, the top bit is their exclusive or.
    low7, top = int.from_bytes(b"\x7f" * stride, "big"), int.from_bytes(b"\x80" * stride, "big")
    add = lambda a, b: ((a & low7) + (b & low7)) ^ ((a ^ b) & top)
    prior = bytes(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)]
        if kind == 0:
            row = line
        elif kind == 2:  # Up
            row = add(int.from_bytes(line, "big"), int.from_bytes(prior, "big")).to_bytes(stride, "big")
        elif kind == 1:  # Sub: a running sum along the row, in doubling steps
            v, shift = int.from_bytes(line, "big"), bpp
            while shift < stride:
                v, shift = add(v, v >> (8 * shift)), shift * 2
            row = v.to_bytes(stride, "big")
        else:  # Average, Paeth
            row = bytearray(line)
            for i in range(stride):
                a, b = row[i - bpp] if i >= bpp else 0, prior[i]
                c = prior[i - bpp] if i >= bpp else 0
                if kind == 3:
                    predicted = (a + b) >> 1
                else:
                    p = a + b - c
                    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                    predicted = a if pa <= pb and pa <= pc else b if pb <= pc else c
                row[i] = (row[i] + predicted) & 255
            row = bytes(row)
        yield row
        prior = row


def browser(zover, examples, work, name):
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("chromium not found (Debian: chromium): the browser check is skipped")
        return 77
    page = os.path.join(work, name + ".html")
    with open(page, "wb") as f:
        f.write(run(zover, example_args(name, examples, work) + ["--format", "html"], examples))
    shot = os.path.join(work, name + ".png")
    if os.path.exists(shot):
        os.remove(shot)
    profile = tempfile.mkdtemp(prefix="zover_chromium_")
    try:
        done = subprocess.run(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0", "--hide-scrollbars",
             "--window-size=%d,%d" % (WIDTH, HEIGHT), "--screenshot=" + shot, "file://" + page],
            capture_output=True, timeout=120)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    log = done.stderr.decode(errors="replace")
    assert done.returncode == 0, "chromium: exit %d\n%s" % (done.returncode, log)
    console = [line for line in log.splitlines() if ":CONSOLE" in line]
    assert not console, "console messages:\n" + "\n".join(console)
    width, height, bpp, rows = png_rows(shot)
    assert (width, height) == (WIDTH, HEIGHT), ("image size", width, height)
    # Not blank: a tenth of the rows are not all the background, and they
    # hold more than 8 colours (sampled every 10th pixel); the rows are
    # decoded only until that is seen.
    background, drawn, colours = None, 0, set()
    for row in rows:
        background = background or row[:bpp] * width
        if row != background:
            drawn += 1
            colours.update(row[i:i + bpp] for i in range(0, len(row), bpp * 10))
        if drawn > height // 10 and len(colours) > 8:
            break
    assert drawn > height // 10 and len(colours) > 8, ("a blank page", drawn, len(colours))
    print("%s: %dx%d, drawn" % (shot, width, height))
    if os.environ.get("UPDATE_SCREENSHOT") == "1" and name == SCREENSHOT:
        target = os.path.join(examples, "..", "doc", "zover_report.png")
        shutil.copyfile(shot, target)
        print("wrote", os.path.normpath(target))
    return 0


def main():
    mode = sys.argv[1]
    if mode == "names":
        print(";".join(RENDERED))
        return 0
    if mode == "examples":
        for name, args in EXAMPLES.items():
            print("\t".join([name] + args))
        return 0
    zover, examples, work = map(os.path.abspath, sys.argv[2:5])
    os.makedirs(work, exist_ok=True)
    if mode == "structure":
        structure(zover, examples, work)
        return 0
    return browser(zover, examples, work, sys.argv[5])


if __name__ == "__main__":
    sys.exit(main())

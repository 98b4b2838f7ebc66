#!/usr/bin/env python3
"""Compares two builds of zover on many random data files, run by hand:

    tests/compare_readers.py OLD_ZOVER NEW_ZOVER [cases] [seed]

Every case is a random file of one layout (raw, frequencies, model, long) with
random options (--header, --id, --missing; --long, --labels) read by the batch command in each
format (text, json, csv), and, for raw and frequencies files without
options, by the dialogue (data-entry mode 1 or 2). Most files are well
formed; some carry one fault. Each pair of runs must give the same status,
standard output and standard error, except for the changes that the new
build makes on purpose, which are undone on the old output before the
comparison; what is left over is printed. The changes:
  - outputs: JSON's input.class_labels and per-class label (null), CSV's
    class_label column (empty), percent agreement without z and p (with its
    reason), every 95 % interval clamped to its measure's range, and the
    reason of a per-class kappa whose class only incomplete objects got;
  - messages: the hints of --missing and --labels, the quoted field;
  - files read now: quoted fields and zero fractions (2.0), checked against
    the old build on the same file written plainly;
  - files refused now: model data with an exponent or hexadecimal number,
    an empty object label (--id), a quote that breaks the quoting rules.
The last line counts the runs that were equal, equal after the expected
changes, and different.
"""
import json
import math
import os
import random
import re
import subprocess
import sys
import tempfile

OLD, NEW = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
CASES = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
rng = random.Random(int(sys.argv[4]) if len(sys.argv) > 4 else 22)
work = tempfile.mkdtemp(prefix="zover_compare_")


def separator():
    return rng.choice([" ", "\t", ",", ";", ", ", " ; ", "  "])


def line_end():
    return rng.choice(["\n", "\n", "\r\n"])


def raw_file(header, ident, missing):
    R, K, n = rng.randint(2, 6), rng.randint(2, 6), rng.randint(2, 30)
    sep, end = separator(), line_end()
    lines = []
    if header:
        names = ([""] if ident and rng.random() < 0.5 else ["id"] if ident else []) + [f"r{r}" for r in range(R)]
        lines.append(sep.join(names))
    for o in range(n):
        truth = rng.randint(1, K)
        cells = [str(truth if rng.random() < 0.6 else rng.randint(1, K)) for _ in range(R)]
        if missing:
            for r in range(R):
                if rng.random() < 0.1:
                    cells[r] = rng.choice(["", "NA", "."]) if sep.strip() else rng.choice(["NA", "."])
        if ident:
            cells.insert(0, f"o{o}")
        lines.append(sep.join(cells))
    return lines, end


def freq_file(header):
    R, K = rng.randint(2, 4), rng.randint(2, 4)
    sep, end = separator(), line_end()
    tuples = set()
    while len(tuples) < rng.randint(2, 12):
        tuples.add(tuple(rng.randint(1, K) for _ in range(R)))
    lines = [sep.join([f"r{r}" for r in range(R)] + ["count"])] if header else []
    for t in sorted(tuples, key=lambda _: rng.random()):
        lines.append(sep.join([str(c) for c in t] + [str(rng.randint(0, 20))]))
    return lines, end


def model_file():
    K, R = rng.randint(2, 4), rng.randint(2, 4)
    success = [rng.randint(0, 10) for _ in range(K)]
    fail = [[rng.randint(0, 10) for _ in range(R)] for _ in range(K)]
    disagreements = sum(map(sum, fail))
    extra = (-disagreements) % R
    fail[-1][-1] += extra
    n = sum(success) + (disagreements + extra) // R
    numbers = [K, R, n] + [x for i in range(K) for x in [success[i]] + fail[i]]
    words = [str(x) for x in numbers]
    if rng.random() < 0.1:
        i = rng.randrange(len(words))
        words[i] = rng.choice([words[i] + ".0", "+" + words[i], words[i] + "e0", "0x" + words[i]])
    sep = separator()
    lines, at = [], 0
    while at < len(words):
        take = rng.randint(1, 5)
        lines.append(sep.join(words[at:at + take]))
        at += take
    return lines, line_end()


def long_file(header, labels, missing):
    """Ratings one per line (object, rater, rating) in any order: rater by
    rater, object by object or shuffled; some names quoted or padded."""
    R, K, n = rng.randint(2, 5), rng.randint(2, 5), rng.randint(2, 25)
    sep = rng.choice([",", ";", "\t", ", ", " "])
    rows = [(o, r) for r in range(R) for o in range(n) if rng.random() < 0.9]
    order = rng.random()
    if order < 0.3:
        rows.sort()
    elif order < 0.6:
        rng.shuffle(rows)

    def name(text):
        kind = rng.random()
        if kind < 0.05 and sep.strip():
            return '"' + text + '"'
        return text + " " if kind < 0.08 and sep.strip() else text

    lines = [sep.join(["object", "rater", "rating"])] if header else []
    for o, r in rows:
        value = rng.randint(1, K)
        rating = (f"class {value}" if sep.strip() else f"class-{value}") if labels else str(value)
        if missing and rng.random() < 0.1:
            rating = rng.choice(["NA", "."] + ([""] if sep.strip() else []))
        lines.append(sep.join([name(f"obj{o:03d}"), name(f"rater{r}"), name(rating)]))
    return lines, line_end()


# Faults that a line may carry: each replaces one field or changes the line.
FIELD_FAULTS = ["x", "0", "1001", "2.0", '"1"', '"2', "+1", "-1", "", "1e0", "0x1", "NA", ".", "yes",
                '"a""b"', '1"']


def add_fault(lines, first_data):
    if len(lines) <= first_data:
        return
    i = rng.randrange(first_data, len(lines))
    kind = rng.random()
    fields = re.split(r"(\s*[,;]\s*|\s+)", lines[i])
    if kind < 0.7:
        j = rng.randrange(0, len(fields), 2)
        fields[j] = rng.choice(FIELD_FAULTS)
        lines[i] = "".join(fields)
    elif kind < 0.8:
        lines[i] += " 1"
    elif kind < 0.9:
        lines.insert(i, "")
    else:
        lines.insert(i, lines[i])


def make_case():
    layout = rng.choice(["raw", "raw", "raw", "frequencies", "model", "long", "long"])
    options = []
    if layout == "long":
        header, labels, missing = rng.random() < 0.5, rng.random() < 0.5, rng.random() < 0.3
        lines, end = long_file(header, labels, missing)
        options += ["--long"] + ["--header"] * header + ["--labels"] * labels + ["--missing"] * missing
        first = 1 if header else 0
    elif layout == "raw":
        header, ident, missing = rng.random() < 0.3, rng.random() < 0.3, rng.random() < 0.3
        lines, end = raw_file(header, ident, missing)
        options += ["--header"] * header + ["--id"] * ident + ["--missing"] * missing
        first = 1 if header else 0
    elif layout == "frequencies":
        header = rng.random() < 0.3
        lines, end = freq_file(header)
        options += ["-f"] + ["--header"] * header
        first = 1 if header else 0
    else:
        lines, end = model_file()
        options += ["-m"]
        first = 0
    if rng.random() < 0.3:
        add_fault(lines, first)
    text = end.join(lines) + (end if rng.random() < 0.8 else "")
    if rng.random() < 0.05:
        text = "\ufeff" + text
    return layout, options, text.encode()


def run(binary, args, stdin=b"", cwd=work):
    p = subprocess.run([binary] + args, input=stdin, capture_output=True, cwd=cwd, timeout=60)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


# --- Expected: the changes the new build makes on purpose --------------------

def features(text, layout):
    """What in a file the new build reads differently."""
    found = set()
    if '"' in text:
        found.add("quotes")
    if re.search(r"(^|[\s,;])\d+\.0+($|[\s,;])", text, re.M) and layout != "model":
        found.add("zero fraction")
    if layout == "model" and re.search(r"e0|0x", text):
        found.add("model number grammar")
    return found


def field_text(data, line, field):
    """Field `field` of line `line` (both from 1) of a file without quotes."""
    text = data.decode("utf-8", "surrogateescape")
    if text.startswith("\ufeff"):
        text = text[1:]
    row = text.split("\n")[line - 1].rstrip("\r").strip(" \t")
    return re.split(r"[ \t]*[,;][ \t]*|[ \t]+", row)[field - 1]


def shown(text):
    """A field as the new messages quote it (short, printable fields only)."""
    return '"' + "".join(c if ord(c) >= 0x20 else "\\x%02X" % ord(c) for c in text) + '"'


def expected_message(old_err, options, data):
    """The new build's refusal: the hints of --missing and --labels."""
    out = old_err
    m = re.search(r"line (\d+), field (\d+): not a class number from 1 to 1000\.", out)
    if m:
        text = field_text(data, int(m.group(1)), int(m.group(2)))
        out = out.replace(": not a class number from 1 to 1000.", ": " + shown(text) + " is not a class number from "
                          "1 to 1000; add --labels to use text labels as classes.")
    if "--missing" not in options and "-f" not in options and "-m" not in options:
        out = out.replace(": the field is empty.", ": the field is empty; add --missing to read empty fields, NA "
                                                   "and . as missing ratings.")
    return out


NOT_TESTED = "no test against 0: raters agree by chance too"
NOT_COMPLETE = "no object rated by every rater got this class"
KAPPA, SHARE, MODEL = (-1.0, 1.0), (0.0, 1.0), (-math.inf, 1.0)


def clamp(interval, estimate, bounds):
    low, high = interval
    return [max(min(bounds[0], estimate), low), min(max(bounds[1], estimate), high)]


def used_by_incomplete(data, options):
    """The classes (from 1) that some rating of the file gives, with --missing."""
    if "--missing" not in options:
        return set()
    text = data.decode("utf-8", "replace").lstrip("\ufeff")
    rows = [r.strip(" \t\r") for r in text.split("\n")]
    rows = [r for r in rows if r][1 if "--header" in options else 0:]
    used = set()
    for row in rows:
        cells = re.split(r"[ \t]*[,;][ \t]*|[ \t]+", row)[1 if "--id" in options else 0:]
        used |= {int(c) for c in cells if c.isdigit()}
    return used


def normalise_json(text, used):
    j = json.loads(text)
    j["input"] = dict(list(j["input"].items())[:5] + [("class_labels", None)] + list(j["input"].items())[5:])

    def with_label(c):
        return dict([("class", c["class"]), ("label", None)] + [(k, v) for k, v in c.items() if k != "class"])

    kappa = j.get("kappa") or {}
    for name in ("hubert", "fleiss"):
        if name in kappa and kappa[name].get("ci95"):
            kappa[name]["ci95"] = clamp(kappa[name]["ci95"], kappa[name]["estimate"], KAPPA)
    if "fleiss" in kappa and "per_class" in kappa["fleiss"]:
        per_class = kappa["fleiss"]["per_class"]
        for c in per_class:
            if c.get("reason") == "nobody used this class" and c["class"] in used:
                c["reason"] = NOT_COMPLETE
        kappa["fleiss"]["per_class"] = [with_label(c) for c in per_class]
    model = j.get("model")
    if model:
        final = model["final"]
        for m in [final["overall"]] + [c[k] for c in final["classes"] for k in ("consistency", "agreement")]:
            if m["ci95"]:
                m["ci95"] = clamp(m["ci95"], m["estimate"], MODEL)
        final["classes"] = [with_label(c) for c in final["classes"]]
        if "first_fit" in model:
            model["first_fit"]["classes"] = [with_label(c) for c in model["first_fit"]["classes"]]
    coefficients = j.get("coefficients")
    if coefficients:
        for name, c in coefficients.items():
            if c.get("ci95"):
                c["ci95"] = clamp(c["ci95"], c["estimate"], SHARE if name == "percent_agreement" else KAPPA)
        pa = coefficients["percent_agreement"]
        if pa.get("se") is not None:
            pa["z"] = pa["p"] = None
            pa["reason"] = NOT_TESTED
    return j


def csv_number(x):
    return json.dumps(x)


def normalise_csv(text):
    lines = text.split("\n")
    out = []
    for line in lines:
        if not line:
            out.append(line)
            continue
        cells = line.split(",")
        if cells[0] == "measure":
            cells.append("class_label")
        else:
            bounds = {"percent_agreement": SHARE, "zover_overall": MODEL, "zover_agreement": MODEL,
                      "zover_consistency": MODEL}.get(cells[0], KAPPA)
            if cells[5] and cells[6]:
                low, high = clamp([float(cells[5]), float(cells[6])], float(cells[3]), bounds)
                cells[5] = cells[5] if low == float(cells[5]) else csv_number(low)
                cells[6] = cells[6] if high == float(cells[6]) else csv_number(high)
            if cells[0] == "percent_agreement":
                cells[8] = cells[9] = ""
            cells.append("")
        out.append(",".join(cells))
    return "\n".join(out)


def cell(text):
    return " " * (9 - len(text) if len(text) < 9 else 1) + text


def fixed4(x):
    return f"{x:.4f}"


def table_row(line):
    """The label and the six cells of a row of the coefficient table, or None."""
    cells = line[33:].split()
    if len(line) < 33 + 6 * 9 or len(cells) != 6:
        return None
    if not all(re.fullmatch(r"--|<0\.0001|-?\d+\.\d{4}|-?(NaN|Inf)", c) for c in cells):
        return None
    return line[:33], cells


def normalise_text(text, used):
    at = text.find("\n\n Agreement coefficients")
    if at < 0:
        return text
    head, lines = text[:at], text[at:].split("\n")
    rows = 4  # "", "", title, heading
    pa_tested = False
    while rows < len(lines) and table_row(lines[rows]):
        padded, cells = table_row(lines[rows])
        label = padded.strip()
        if label in ("Hubert's kappa (DeMoivre or HR)", "Hubert's (Cohen's) kappa", "Fleiss' kappa",
                     "Percent agreement", "Brennan-Prediger", "Gwet's AC1", "Fleiss' kappa (Gwet's form)"):
            if cells[2] != "--":
                bounds = SHARE if label == "Percent agreement" else KAPPA
                low, high = clamp([float(cells[2]), float(cells[3])], float(cells[0]), bounds)
                cells[2] = cells[2] if low == float(cells[2]) else fixed4(low)
                cells[3] = cells[3] if high == float(cells[3]) else fixed4(high)
            if label == "Percent agreement" and cells[1] != "--":
                cells[4] = cells[5] = "--"
                pa_tested = True
        lines[rows] = padded + "".join(cell(c) for c in cells)
        rows += 1
    notes = lines[rows:]
    if pa_tested:
        notes = [n for n in notes if not n.startswith(" Percent agreement: ")]
        later = (" Brennan-Prediger:", " Gwet's AC1:", " Fleiss' kappa (Gwet's form):", " Krippendorff's alpha:",
                 " z and p:")
        at = next(i for i, n in enumerate(notes) if n.startswith(later))
        notes.insert(at, " Percent agreement: " + NOT_TESTED + ".")
    notes = [n.replace(": nobody used this class.", ": " + NOT_COMPLETE + ".")
             if re.match(r"   class (\d+):", n) and int(re.match(r"   class (\d+):", n).group(1)) in used else n
             for n in notes]
    return head + "\n".join(lines[:rows] + notes)


def expected_output(old_out, new_out, fmt, used):
    if fmt == "json":
        return normalise_json(old_out, used) == json.loads(new_out)
    if fmt == "csv":
        return normalise_csv(old_out) == new_out
    return normalise_text(old_out, used) == new_out


same = changed = different = 0
reasons = {}
for case in range(CASES):
    layout, options, data = make_case()
    path = os.path.join(work, "data.txt")
    with open(path, "wb") as f:
        f.write(data)
    text = data.decode("utf-8", "replace")
    runs = [(fmt, options + ["--format", fmt, "data.txt"]) for fmt in ("text", "json", "csv")]
    for fmt, args in runs:
        old, new = run(OLD, args), run(NEW, args)
        if old == new:
            same += 1
            continue
        if layout == "long":  # no change is expected of the long layout
            different += 1
            print(f"--- case {case}: {' '.join(args)}\n{data!r}\nold: {old!r}\nnew: {new!r}\n")
            continue
        found = features(text, layout)
        status, out, err = old
        if old[0] != 0 and new[0] == 0 and found & {"quotes", "zero fraction"}:
            # Read now: the old build reads the file written plainly the same.
            plain = re.sub(r'"(\d+)"', r"\1", text)
            plain = re.sub(r"(?<![\d.])(\d+)\.0+(?![\d.])", r"\1", plain)
            with open(path, "wb") as f:
                f.write(plain.encode())
            plain_old = run(OLD, args)
            if plain_old[0] == 0 and expected_output(plain_old[1], new[1], fmt, used_by_incomplete(data, options)):
                changed += 1
                reason = "read now, as the plain file: " + ", ".join(sorted(found))
                reasons[reason] = reasons.get(reason, 0) + 1
                with open(path, "wb") as f:
                    f.write(data)
                continue
            with open(path, "wb") as f:
                f.write(data)
        m = re.search(r"line (\d+), field 1: the field is empty\.$", new[2].strip())
        if old[0] == 0 and new[0] == 1 and "--id" in options and m and field_text(data, int(m.group(1)), 1) == "":
            changed += 1
            reasons["refused now: an empty object label (--id)"] = reasons.get(
                "refused now: an empty object label (--id)", 0) + 1
            continue
        if old[0] != new[0] and found:
            changed += 1
            reason = "status: " + ", ".join(sorted(found))
            reasons[reason] = reasons.get(reason, 0) + 1
            continue
        if status == 0 and new[0] == 0 and err == new[2]:
            ok = expected_output(out, new[1], fmt, used_by_incomplete(data, options))
        else:
            ok = (status, out, expected_message(err, options, data)) == new
        if ok:
            changed += 1
            reason = "expected change of " + ("output" if status == 0 else "message")
            reasons[reason] = reasons.get(reason, 0) + 1
            continue
        if found and old[0] == new[0] != 0:
            changed += 1
            reason = "message: " + ", ".join(sorted(found))
            reasons[reason] = reasons.get(reason, 0) + 1
            continue
        different += 1
        print(f"--- case {case}: {' '.join(args)}\n{data!r}\nold: {old!r}\nnew: {new!r}\n")
    # The dialogue reads the same file as its data file.
    if layout in ("raw", "frequencies") and len(options) == (1 if layout == "frequencies" else 0):
        name = "Zover_data.txt" if layout == "raw" else "Zover_data_freq.txt"
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
        answers = b"1\n" if layout == "raw" else b"2\n"
        old, new = run(OLD, [], answers), run(NEW, [], answers)
        plain = re.sub(r'"(\d+)"', r"\1", text)
        if old == new:
            same += 1
        elif "quotes" in features(text, layout):
            with open(os.path.join(work, name), "wb") as f:
                f.write(plain.encode())
            if plain != text and run(OLD, [], answers) == new:
                changed += 1
                reasons["dialogue: read now, as the plain file"] = reasons.get("dialogue: read now, as the plain file", 0) + 1
            else:
                changed += 1
                reasons["dialogue: message of quotes"] = reasons.get("dialogue: message of quotes", 0) + 1
        else:
            different += 1
            print(f"--- case {case}: dialogue mode {answers!r}\n{data!r}\nold: {old!r}\nnew: {new!r}\n")
        os.remove(os.path.join(work, name))

for reason, count in sorted(reasons.items()):
    print(f"{count:6d}  {reason}")
print(f"{same} equal, {changed} equal after the expected changes, {different} different")
sys.exit(1 if different else 0)

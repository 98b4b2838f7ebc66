#!/usr/bin/env python3
"""Runs zover on a ratings file and prints its kappa coefficients and the
per-class agreements of the Zover model, from the program's CSV output.

    python3 agreement_table.py [--zover PATH] [zover options] FILE

Every argument but --zover PATH goes to zover as it is (--header, --id,
--missing, --labels, --long, ...), with --format csv added. zover is looked
up on PATH unless --zover names it.

Standard library only: a model for calling zover from a script.
"""
import csv
import io
import subprocess
import sys

args = sys.argv[1:]
zover = "zover"
if len(args) >= 2 and args[0] == "--zover":
    zover, args = args[1], args[2:]
if not args:
    sys.exit("usage: agreement_table.py [--zover PATH] [zover options] FILE")

try:
    result = subprocess.run([zover, "--format", "csv"] + args, capture_output=True, text=True)
except OSError as error:
    where = "is not on PATH" if zover == "zover" else f"cannot be run ({error.strerror})"
    sys.stderr.write(f"agreement_table.py: the program {zover} {where}; build it and give its path with "
                     f"--zover PATH, for example --zover ../build/zover\n")
    sys.exit(2)
if result.returncode != 0:
    sys.exit(result.stderr.strip())

rows = list(csv.DictReader(io.StringIO(result.stdout)))
by_measure = {}
for row in rows:
    by_measure.setdefault(row["measure"], []).append(row)
raters = {row["rater"] for row in by_measure.get("chance_probability", [])}


def shown(cell):
    return f"{float(cell):.4f}" if cell else "n/a"


hubert = "Cohen's kappa" if len(raters) == 2 else "Hubert's kappa"
for measure, label in [("hubert_kappa", hubert), ("fleiss_kappa", "Fleiss' kappa"), ("h2", "H2")]:
    for row in by_measure.get(measure, []):
        se = f" (SE {shown(row['se'])})" if row["se"] else ""
        print(f"{label}: {shown(row['estimate'])}{se}")
for row in by_measure.get("zover_agreement", []):
    name = f" ({row['class_label']})" if row["class_label"] else ""
    print(f"class {row['class']}{name} agreement: {shown(row['estimate'])} "
          f"(95% CI {shown(row['ci95_low'])} to {shown(row['ci95_high'])})")
for row in by_measure.get("zover_overall", []):
    print(f"Zover overall: {shown(row['estimate'])} (SE {shown(row['se'])})")

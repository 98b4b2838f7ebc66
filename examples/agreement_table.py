#!/usr/bin/env python3
"""Runs zover on a raw responses file and prints its kappa coefficients and
the per-class agreements of the Zover model, from the program's CSV output.

    python3 agreement_table.py [path/to/zover] [ratings file]

Standard library only: a model for calling zover from a script.
"""
import csv
import io
import subprocess
import sys

zover = sys.argv[1] if len(sys.argv) > 1 else "zover"
ratings = sys.argv[2] if len(sys.argv) > 2 else "Zover_data.txt"

result = subprocess.run([zover, "--format", "csv", ratings], capture_output=True, text=True)
if result.returncode != 0:
    sys.exit(result.stderr.strip())

rows = list(csv.DictReader(io.StringIO(result.stdout)))
by_measure = {}
for row in rows:
    by_measure.setdefault(row["measure"], []).append(row)


def shown(cell):
    return f"{float(cell):.4f}" if cell else "n/a"


for measure, label in [("hubert_kappa", "Hubert's kappa"), ("fleiss_kappa", "Fleiss' kappa"), ("h2", "H2")]:
    for row in by_measure.get(measure, []):
        se = f" (SE {shown(row['se'])})" if row["se"] else ""
        print(f"{label}: {shown(row['estimate'])}{se}")
for row in by_measure["zover_agreement"]:
    print(f"class {row['class']} agreement: {shown(row['estimate'])} "
          f"(95% CI {shown(row['ci95_low'])} to {shown(row['ci95_high'])})")
overall = by_measure["zover_overall"][0]
print(f"Zover overall: {shown(overall['estimate'])} (SE {shown(overall['se'])})")

#!/usr/bin/env python3
"""Cohen's weighted kappa of the batch command against statsmodels.

    statsmodels_check.py ZOVER WORK_DIR

Random two-rater data sets, each analysed by ZOVER with --weights linear and
quadratic: the estimate and both standard errors of cohen_kappa_weighted
must be statsmodels' cohens_kappa(table, wt=...) kappa, std_kappa and
std_kappa0. Exits with 77 (skipped) when statsmodels cannot be imported.
"""
import json
import os
import random
import subprocess
import sys

try:
    import numpy as np
    from statsmodels.stats.inter_rater import cohens_kappa
except ImportError:
    print("statsmodels not found: the check against statsmodels is skipped")
    sys.exit(77)

zover, work = sys.argv[1], sys.argv[2]
os.makedirs(work, exist_ok=True)
rng = random.Random(26)
checked = failed = 0
for trial in range(40):
    K = rng.randint(2, 6)
    n = rng.randint(5, 300)
    pairs = []
    for _ in range(n):
        first = rng.randint(1, K)
        # the second rater agrees, or is off by a little, or rates at random
        second = rng.choice([first, min(K, max(1, first + rng.choice([-1, 1]))), rng.randint(1, K)])
        pairs.append((first, second))
    pairs.append((K, rng.randint(1, K)))  # class K occurs: the table is K x K
    path = os.path.join(work, "pairs.txt")
    with open(path, "w") as f:
        f.writelines(f"{a} {b}\n" for a, b in pairs)
    table = np.zeros((K, K))
    for a, b in pairs:
        table[a - 1, b - 1] += 1
    for wt in ("linear", "quadratic"):
        run = subprocess.run([zover, "--weights", wt, "--format", "json", path], capture_output=True, text=True)
        got = json.loads(run.stdout)["coefficients"]["cohen_kappa_weighted"]
        ref = cohens_kappa(table, wt=wt)
        for name, mine, theirs in (("kappa", got["estimate"], ref.kappa), ("se", got["se"], ref.std_kappa),
                                   ("se0", got["se0"], ref.std_kappa0)):
            checked += 1
            if mine is None or abs(mine - theirs) > 1e-12 + 1e-9 * abs(theirs):
                failed += 1
                print(f"trial {trial}, {wt}, {name}: zover {mine}, statsmodels {theirs}")
print(f"{checked} values checked against statsmodels, {failed} differ")
sys.exit(1 if failed else 0)

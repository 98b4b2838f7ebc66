#!/usr/bin/env python3
"""Rater pairs, raters and objects against statsmodels and the peers' formulas.

    disagreement_check.py DUMP WORK_DIR

Random raw files with missing ratings, each printed by DUMP
(zover_disagreement_dump) unweighted and with linear and quadratic weights,
and computed again here, independently:
  - every pair's Cohen's kappa, unweighted and weighted, with std_kappa and
    std_kappa0: statsmodels' cohens_kappa on the pair's table of the objects
    both rated; Light's kappa, the mean of the unweighted ones;
  - Conger's kappa and its standard error: irrCAC's conger.kappa.raw written
    out with NumPy as the R code forms it (its matrices lambda_ig);
  - Scott's pi of two raters and its standard error: irrCAC's scott2.table;
  - each rater's counts, its table against the others' leading class (kappa
    by statsmodels) and Fleiss' kappa of the others with Gwet's standard
    error (irrCAC's fleiss.kappa.raw written out);
  - each object's share of agreeing pairs, leading class and its share,
    unanimity, and the order of the adjudication list.
Exits with 77 (skipped) when statsmodels cannot be imported.
"""
import math
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

np.seterr(all="ignore")
dump, work = sys.argv[1], sys.argv[2]
os.makedirs(work, exist_ok=True)
checked = failed = 0


def same(name, mine, theirs):
    """Both empty (or not finite), or equal within 1e-9 relative."""
    global checked, failed
    checked += 1
    empty = theirs is None or not math.isfinite(theirs)
    if mine is None and empty:
        return
    if mine is None or empty or abs(mine - theirs) > 1e-12 + 1e-9 * abs(theirs):
        failed += 1
        print(f"{name}: zover {mine}, peer {theirs}")


def weights(K, scheme):
    d = np.abs(np.subtract.outer(np.arange(K), np.arange(K))) / max(K - 1, 1)
    return {"identity": np.eye(K), "linear": 1 - d, "quadratic": 1 - d * d}[scheme]


def conger(M, K, W):
    """irrCAC's conger.kappa.raw: M is n x r, 0 for a missing rating."""
    M = M[(M > 0).any(axis=1)]
    n, r = M.shape
    agree = np.stack([(M == k + 1).sum(axis=1) for k in range(K)], axis=1).astype(float)
    agree_w = agree @ W.T
    ri = agree.sum(axis=1)
    sum_q = (agree * (agree_w - 1)).sum(axis=1)
    two = ri >= 2
    n2 = two.sum()
    pa = (sum_q[two] / (ri * (ri - 1))[two]).sum() / n2
    classif = np.stack([(M == k + 1).sum(axis=0) for k in range(K)], axis=1).astype(float)
    ng = classif.sum(axis=1)
    pgk = classif / ng[:, None]
    pmean = pgk.mean(axis=0)
    s2kl = (pgk.T @ pgk - r * np.outer(pmean, pmean)) / (r - 1)
    pe = (W * (np.outer(pmean, pmean) - s2kl / r)).sum()
    kappa = (pa - pe) / (1 - pe)
    epsi = (M > 0).astype(float)
    lam = np.zeros((n, r))
    for k in range(K):
        lam_k = np.zeros((n, r))
        for l in range(K):
            delta = (M == l + 1).astype(float)
            lam_k += W[k, l] * (delta - (epsi - ng / n) * pgk[:, l])
        lam_k *= n / ng
        lam += lam_k * (r * pgk[:, k].mean() - pgk[:, k])
    pe_i = lam.sum(axis=1) / (r * (r - 1))
    den = ri * (ri - 1)
    den = den - (den == 0)
    kappa_i = (n / n2) * (sum_q / den - pe * two) / (1 - pe)
    x = kappa_i - 2 * (1 - kappa) * (pe_i - pe) / (1 - pe)
    return kappa, math.sqrt(((x - kappa) ** 2).sum() / (n * (n - 1)))


def fleiss_general(M, K):
    """irrCAC's fleiss.kappa.raw, unweighted, objects nobody rated dropped."""
    M = M[(M > 0).any(axis=1)]
    n = M.shape[0]
    agree = np.stack([(M == k + 1).sum(axis=1) for k in range(K)], axis=1).astype(float)
    ri = agree.sum(axis=1)
    sum_q = (agree * (agree - 1)).sum(axis=1)
    two = ri >= 2
    n2 = two.sum()
    if n2 == 0:
        return None, None
    pa = (sum_q[two] / (ri * (ri - 1))[two]).sum() / n2
    pi = (agree / ri[:, None]).mean(axis=0)
    pe = (pi * pi).sum()
    if not 1 - pe > 0:
        return None, None
    kappa = (pa - pe) / (1 - pe)
    if n2 < 2:
        return kappa, None
    pe_i = (agree @ pi) / ri
    den = ri * (ri - 1)
    den = den - (den == 0)
    kappa_i = (n / n2) * (sum_q / den - pe * two) / (1 - pe)
    x = kappa_i - 2 * (1 - kappa) * (pe_i - pe) / (1 - pe)
    return kappa, math.sqrt(((x - kappa) ** 2).sum() / (n * (n - 1)))


def scott(table, W):
    """irrCAC's scott2.table."""
    n = table.sum()
    pa = (W * table / n).sum()
    a, b = table.sum(axis=1) / n, table.sum(axis=0) / n
    pik = (a + b) / 2
    pe = (W * np.outer(pik, pik)).sum()
    s = (pa - pe) / (1 - pe)
    pbk = (W @ b + W.T @ a) / 2
    sum1 = (table / n * (W - (1 - s) * np.add.outer(pbk, pbk)) ** 2).sum()
    return s, math.sqrt((sum1 - (pa - 2 * (1 - s) * pe) ** 2) / (n * (1 - pe) ** 2))


def kappa_of(table, wt=None):
    if table.sum() == 0:
        return None, None, None
    res = cohens_kappa(table, wt=wt)
    return res.kappa, res.std_kappa, res.std_kappa0


def read_dump(path, scheme):
    run = subprocess.run([dump, path, scheme], capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f"{dump} {path}: {run.stderr}")
    lines = {}
    for line in run.stdout.splitlines():
        head, *fields = line.split()
        values = [None if f == "nan" else float(f) for f in fields]
        lines.setdefault(head, []).append(values)
    return lines


rng = random.Random(32)
for trial in range(40):
    K = rng.randint(2, 5)
    R = rng.randint(2, 6)
    n = rng.randint(8, 150)
    skip = rng.choice([0.0, 0.1, 0.3])
    M = np.zeros((n, R), dtype=int)
    for i in range(n):
        truth = rng.randint(1, K)
        for g in range(R):
            if rng.random() < skip:
                continue
            M[i, g] = truth if rng.random() < 0.6 else rng.randint(1, K)
    M[0, :] = rng.randint(1, K)
    M[1, 0] = K  # class K occurs, and every rater rates something
    path = os.path.join(work, "ratings.txt")
    with open(path, "w") as f:
        for i in range(n):
            f.write(f"o{i} " + " ".join(str(v) if v else "." for v in M[i]) + "\n")
    where = f"trial {trial} (K {K}, R {R}, n {n})"

    pair_tables = {}
    for a in range(R):
        for b in range(a + 1, R):
            both = (M[:, a] > 0) & (M[:, b] > 0)
            t = np.zeros((K, K))
            for x, y in zip(M[both, a], M[both, b]):
                t[x - 1, y - 1] += 1
            pair_tables[a, b] = t

    for scheme in ("identity", "linear", "quadratic"):
        d = read_dump(path, scheme)
        W = weights(K, scheme)
        kappas = []
        for a, b, objects, agreement, k, se, se0, wk, wse, wse0 in d["pair"]:
            a, b = int(a), int(b)
            t = pair_tables[a, b]
            same(f"{where} pair {a},{b} objects", objects, t.sum())
            ref = kappa_of(t)
            for name, mine, theirs in zip(("kappa", "se", "se0"), (k, se, se0), ref):
                same(f"{where} pair {a},{b} {name}", mine, theirs)
            if ref[0] is not None and math.isfinite(ref[0]):
                kappas.append(ref[0])
            if scheme != "identity":
                wref = kappa_of(t, wt=scheme)
                for name, mine, theirs in zip(("kappa", "se", "se0"), (wk, wse, wse0), wref):
                    same(f"{where} pair {a},{b} {scheme} {name}", mine, theirs)
        same(f"{where} Light", d["light"][0][0], sum(kappas) / len(kappas) if kappas else None)
        ck, cse = conger(M, K, W)
        same(f"{where} {scheme} Conger", d["conger"][0][0], ck)
        same(f"{where} {scheme} Conger se", d["conger"][0][1], cse)
        if R == 2:
            sk, sse = scott(pair_tables[0, 1], W)
            same(f"{where} {scheme} Scott", d["scott"][0][0], sk)
            same(f"{where} {scheme} Scott se", d["scott"][0][1], sse)
        if scheme != "identity":
            continue

        for row in d["rater"]:
            g = int(row[0])
            counts = row[2:2 + K]
            for k in range(K):
                same(f"{where} rater {g} class {k + 1}", counts[k], float((M[:, g] == k + 1).sum()))
            majority_objects, agreement, mk, mse, mse0, fk, fse = row[2 + K:]
            t = np.zeros((K, K))
            for i in range(n):
                others = [v for h, v in enumerate(M[i]) if h != g and v > 0]
                if M[i, g] == 0 or not others:
                    continue
                tally = np.bincount(others, minlength=K + 1)
                if (tally == tally.max()).sum() == 1:
                    t[M[i, g] - 1, tally.argmax() - 1] += 1
            same(f"{where} rater {g} majority objects", majority_objects, t.sum())
            for name, mine, theirs in zip(("kappa", "se", "se0"), (mk, mse, mse0), kappa_of(t)):
                same(f"{where} rater {g} majority {name}", mine, theirs)
            if R >= 3:
                rk, rse = fleiss_general(np.delete(M, g, axis=1), K)
                same(f"{where} rater {g} Fleiss without", fk, rk)
                same(f"{where} rater {g} Fleiss without se", fse, rse)

        expected = []
        for i in range(n):
            rated = M[i][M[i] > 0]
            r = len(rated)
            tally = np.bincount(rated, minlength=K + 1)
            share = (tally * (tally - 1) / 2).sum() / (r * (r - 1) / 2) if r >= 2 else None
            mode_share = tally.max() / r if r else 0.0
            mode = tally.argmax() - 1 if r and (tally == tally.max()).sum() == 1 else None
            unanimous = 1.0 if r >= 2 and (tally > 0).sum() == 1 else 0.0
            key = (share is None, share or 0.0, mode_share if r >= 2 else 0.0, i)
            expected.append((*key, [float(i), float(r), share, mode, mode_share, unanimous]))
        expected.sort(key=lambda e: e[:4])
        mine = d.get("object", [])
        same(f"{where} objects", float(len(mine)), float(len(expected)))
        for got, (*_, want) in zip(mine, expected):
            for name, m, w in zip(("index", "ratings", "agreeing pairs", "mode", "mode share", "unanimous"),
                                  got, want):
                same(f"{where} object {want[0]:.0f} {name}", m, w)

print(f"{checked} values checked against statsmodels and the peers' formulas, {failed} differ")
sys.exit(1 if failed else 0)

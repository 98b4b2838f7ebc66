#!/usr/bin/python3
"""zover.analyse against statsmodels' Fleiss' kappa on one DataFrame.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py [N] [R] [K]

Each contender runs in a process of its own on the same DataFrame of N
objects by R raters in K classes (NumPy's generator, seed 1; int64
columns, as pandas makes them), built before the clock starts: zover.analyse
(the model, the kappas, Gwet's family and Krippendorff's alpha, with its
results' rows), and statsmodels' aggregate_raters and fleiss_kappa (Fleiss'
kappa alone). "data only" builds the DataFrame and stops. Printed: the
call's wall and processor time, and the process's peak resident memory
(VmHWM), the DataFrame's included, with the part above "data only"."""

import os
import subprocess
import sys
import time

CONTENDERS = ("data only", "zover", "statsmodels")


def peak_kb():
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))


def run(contender, n, r, k):
    import numpy as np
    import pandas as pd
    rng = np.random.default_rng(1)
    frame = pd.DataFrame(rng.integers(1, k + 1, size=(n, r)), columns=["r%d" % i for i in range(1, r + 1)])
    wall, cpu = time.perf_counter(), time.process_time()
    if contender == "zover":
        import zover
        res = zover.analyse(frame)
        kappa = res.coefficients.set_index("measure").loc["fleiss_kappa", "estimate"]
    elif contender == "statsmodels":
        from statsmodels.stats.inter_rater import aggregate_raters, fleiss_kappa
        table, _ = aggregate_raters(frame.to_numpy())
        kappa = fleiss_kappa(table, method="fleiss")
    else:
        kappa = float("nan")
    print("%.6f %.6f %d %r" % (time.perf_counter() - wall, time.process_time() - cpu, peak_kb(), float(kappa)))


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--run":
        run(sys.argv[2], *map(int, sys.argv[3:6]))
        return 0
    n, r, k = (list(map(int, sys.argv[1:4])) + [10**6, 10, 5][len(sys.argv) - 1:])[:3]
    print("n = %d, R = %d, K = %d" % (n, r, k))
    base = None
    for contender in CONTENDERS:
        out = subprocess.run([sys.executable, __file__, "--run", contender, str(n), str(r), str(k)],
                             capture_output=True, text=True, check=True, env=os.environ).stdout.split()
        wall, cpu, peak, kappa = float(out[0]), float(out[1]), int(out[2]) / 1024, out[3]
        base = peak if base is None else base
        print("%-12s wall %7.3f s  cpu %7.3f s  peak %7.1f MB (+%.1f MB)  Fleiss' kappa %s"
              % (contender, wall, cpu, peak, peak - base, kappa))
    return 0


if __name__ == "__main__":
    sys.exit(main())

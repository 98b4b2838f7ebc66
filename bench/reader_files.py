#!/usr/bin/python3
"""Writes the data files of the readers' benchmarks (doc/performance.md,
"The readers against the floor") into a folder, default
/tmp/zover_reader_files:

    /usr/bin/python3 bench/reader_files.py [FOLDER] [--objects N]

  raw.csv          n = 10^7 objects x R = 10 raters, K = 5, comma separated,
                   no header: every object has a true class that each rater
                   gives with probability 0.6, else any class at random;
  raw_na.csv       the same ratings, each one NA with probability 0.1;
  long_labels.csv  n = 10^6 objects x 10 raters as 10^7 lines of
                   object,rater,rating under a header, rater by rater, each
                   rater's objects in a shuffled order, class k written as
                   the label class-k;
  wide_labels.csv  the same data as the long file, one line per object:
                   object,rater0,...,rater9 under a header.

The files depend only on the seeds below (NumPy's PCG64). --objects scales
both shapes down (the raw files get N objects, the long ones N / 10).
"""
import os
import sys

import numpy as np

K, R = 5, 10


def ratings(rng, n):
    """n x R classes 1 .. K: the object's true class with probability 0.6."""
    truth = rng.integers(1, K + 1, size=(n, 1), dtype=np.uint8)
    other = rng.integers(1, K + 1, size=(n, R), dtype=np.uint8)
    agree = rng.random((n, R)) < 0.6
    return np.where(agree, truth, other)


def raw_bytes(classes, missing):
    """Each cell as three bytes (digit or NA, then a comma or the line end),
    the unused third byte of a digit's cell dropped."""
    n = classes.shape[0]
    cells = np.zeros((n, R, 3), dtype=np.uint8)
    cells[:, :, 0] = classes + ord("0")
    cells[:, :, 1] = ord(",")
    cells[:, R - 1, 1] = ord("\n")
    if missing is not None:
        cells[missing, 0] = ord("N")
        cells[missing, 1] = ord("A")
        cells[missing, 2] = np.where(np.arange(R) == R - 1, ord("\n"), ord(","))[np.nonzero(missing)[1]]
    data = cells.reshape(-1)
    return data[data != 0].tobytes()


def main():
    args = sys.argv[1:]
    objects = 10 ** 7
    if "--objects" in args:
        at = args.index("--objects")
        objects = int(args[at + 1])
        del args[at:at + 2]
    folder = args[0] if args else "/tmp/zover_reader_files"
    os.makedirs(folder, exist_ok=True)

    rng = np.random.Generator(np.random.PCG64(35))
    chunk = 10 ** 6
    with open(os.path.join(folder, "raw.csv"), "wb") as complete, \
            open(os.path.join(folder, "raw_na.csv"), "wb") as missing:
        for start in range(0, objects, chunk):
            classes = ratings(rng, min(chunk, objects - start))
            complete.write(raw_bytes(classes, None))
            missing.write(raw_bytes(classes, rng.random(classes.shape) < 0.1))

    n = objects // 10
    rng = np.random.Generator(np.random.PCG64(3535))
    classes = ratings(rng, n)
    names = [f"obj{o}" for o in range(n)]
    labels = [f"class-{k}" for k in range(K + 1)]
    with open(os.path.join(folder, "wide_labels.csv"), "w") as f:
        f.write("object," + ",".join(f"rater{r}" for r in range(R)) + "\n")
        for o in range(n):
            f.write(names[o] + "," + ",".join(labels[k] for k in classes[o].tolist()) + "\n")
    with open(os.path.join(folder, "long_labels.csv"), "w") as f:
        f.write("object,rater,rating\n")
        for r in range(R):
            order = rng.permutation(n).tolist()
            column = classes[:, r].tolist()
            rater = f",rater{r},"
            f.write("".join(names[o] + rater + labels[column[o]] + "\n" for o in order))


if __name__ == "__main__":
    main()

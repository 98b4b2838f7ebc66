#!/usr/bin/python3
"""Random sessions of the dialogue, in every data-entry mode, and random batch
commands, run through two zover binaries whose bytes must agree.

    tests/compare_binaries.py OLD NEW [--sessions 10000] [--batch 10000] [--large 0] [--seed 1] [--jobs 2]
                              [--rename OLD_TEXT NEW_TEXT ...]

Each dialogue session types its answers on standard input in a fresh folder
that holds the data files of mode 1 and 2; it runs one to three passes of
random modes (1 raw file, 2 frequencies file, 3 keyboard frequencies, 4
keyboard model data) and ends with the input. Each batch command analyses a
raw, frequencies or model file with random options and format; each large
case a raw file (up to 2000 objects) or model data with K and R drawn up to
1000, as text or JSON. Standard
output, standard error and the exit status are compared. Run by hand (not
by ctest); the cases that differ are kept in ./compare-differences. A
--rename pair states an intended change of the output: the old binary's
standard output with OLD_TEXT replaced by NEW_TEXT must equal the new one's,
and the summary counts the runs that match only so.
"""
import argparse
import concurrent.futures
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

MODES = (1, 2, 3, 4)


def responses(rng, K, R, n):
    """n objects: a true class that each rater gives with one share, else any class."""
    share = rng.choice((0.0, 0.3, 0.6, 0.9, 1.0, rng.random()))
    rows = []
    for _ in range(n):
        truth = rng.randint(1, K)
        rows.append([truth if rng.random() < share else rng.randint(1, K) for _ in range(R)])
    return rows


def dimensions(rng, tuples=None):
    if rng.random() < 0.2:
        return 2, 2, rng.randint(2, 40)
    R = rng.randint(2, 9 if tuples else 7)
    K = rng.randint(2, max(2, int(round(tuples ** (1 / R)))) if tuples else rng.choice((3, 4, 6, 12)))
    while tuples and K ** R > tuples:
        K -= 1
    return K, R, rng.choice((rng.randint(2, 30), rng.randint(2, 400)))


def separator(rng):
    return rng.choice((" ", "\t", ",", ";", "  ", " ,"))


def lines(rng, rows, sep=None):
    """Text of rows of fields, now and then with CRLF, blank lines or a fault."""
    sep, end = sep or separator(rng), rng.choice(("\n", "\n", "\r\n"))
    text = [sep.join(map(str, row)) + end for row in rows]
    if rng.random() < 0.05:
        text.insert(rng.randrange(len(text) + 1), end)
    if rng.random() < 0.04:
        text[rng.randrange(len(text))] = rng.choice(("0 1\n", "x y z\n", "1\n", "1 2 3 4 5 6 7 8 9 10 11\n"))
    return "".join(text)


def counted(rows):
    counts = {}
    for row in rows:
        counts[tuple(row)] = counts.get(tuple(row), 0) + 1
    return counts


def freq_rows(rng, rows, K):
    items = [list(t) + [c] for t, c in counted(rows).items()]
    rng.shuffle(items)
    if rng.random() < 0.2:
        extra = [rng.randint(1, K) for _ in rows[0]]
        if tuple(extra) not in counted(rows) or rng.random() < 0.2:
            items.insert(rng.randrange(len(items) + 1), extra + [0])
    return items


def keyboard_frequencies(rng):
    """Mode 3: K, R, n, then the frequency of every tuple in the order asked."""
    K, R, n = dimensions(rng, tuples=1000)
    counts = counted(responses(rng, K, R, n))
    answers = []
    if rng.random() < 0.05:
        answers += ["10", "4"]  # K^R above 1000: asked again
    answers += [str(K), str(R), str(n)]
    per_class = K ** (R - 1)
    typed = []
    for a in range(K):
        for q in range(per_class):
            tuple_ = [a + 1] + [(q // K ** (r - 1)) % K + 1 for r in range(1, R)]
            typed.append(counts.get(tuple(tuple_), 0))
    if rng.random() < 0.05:
        wrong = list(typed)
        wrong[rng.randrange(len(wrong))] += 1
        answers += map(str, wrong)
    for f in typed:
        if rng.random() < 0.01:
            answers.append(rng.choice(("x", "-1", "2.5", "")))
        answers.append(str(f) if rng.random() < 0.9 else f"{f}.0 objects")
    return answers


def model_counts(rng, dims=None):
    """Mode 4: K, R, n, the agreements and disagreements (from responses, or any that add up)."""
    K, R, n = dims or dimensions(rng)
    if rng.random() < 0.5 and n * R <= 10**6:
        success = [0.0] * K
        fail = [[0.0] * R for _ in range(K)]
        for row in responses(rng, K, R, n):
            if len(set(row)) == 1:
                success[row[0] - 1] += 1
            else:
                for r, c in enumerate(row):
                    fail[c - 1][r] += 1
    else:
        success = [float(rng.randint(0, n // K)) for _ in range(K)]
        if rng.random() < 0.2 and sum(success) < n:
            success[0] += 0.5
        left = R * (n - sum(success))
        cells = [rng.random() ** 3 if rng.random() < 0.8 else 0.0 for _ in range(K * R)]
        total = sum(cells) or 1.0
        whole = [int(left * c / total) for c in cells]
        whole[rng.randrange(len(whole))] += left - sum(whole)
        fail = [whole[i * R:(i + 1) * R] for i in range(K)]
    numbers = [K, R, n]
    for i in range(K):
        numbers += [success[i]] + list(fail[i])
    return [str(int(x)) if float(x).is_integer() else repr(float(x)) for x in numbers]


def session(rng, first):
    """Answers of one dialogue that starts in mode `first`, and the data files it reads."""
    files, answers = {}, []
    for pass_ in range(rng.choice((1, 1, 1, 2, 3))):
        if pass_:
            answers.append("1")
        if rng.random() < 0.03:
            answers.append(rng.choice(("5", "x", "2.5")))
        mode = rng.choice(MODES) if pass_ else first
        answers.append(str(mode))
        if mode in (1, 2):
            K, R, n = dimensions(rng)
            rows = responses(rng, K, R, n)
            if mode == 1:
                files["Zover_data.txt"] = lines(rng, rows)
            else:
                files["Zover_data_freq.txt"] = lines(rng, freq_rows(rng, rows, K))
        elif mode == 3:
            answers += keyboard_frequencies(rng)
        else:
            answers += model_counts(rng)
    return "\n".join(answers) + "\n", files, []


def batch(rng):
    """A batch command: its file, its options."""
    layout = rng.choice(("raw", "freq", "model"))
    options = [["--format", rng.choice(("text", "json", "csv"))]]
    K, R, n = dimensions(rng)
    rows = responses(rng, K, R, n)
    if layout == "model":
        options.append(["--model"])
        text = "\n".join(model_counts(rng)) + "\n"
    elif layout == "freq":
        options.append(["--frequencies"])
        table = freq_rows(rng, rows, K)
        if rng.random() < 0.3:
            options.append(["--header"])
            table.insert(0, [f"rater{r}" for r in range(R)] + ["count"])
        text = lines(rng, table)
    else:
        sep = None
        if rng.random() < 0.3:
            options.append(["--missing"])
            sep = rng.choice((",", ";", "\t"))
            for row in rows:
                for r in range(R):
                    if rng.random() < 0.1:
                        row[r] = rng.choice(("", "NA", "."))
        if rng.random() < 0.3:
            options.append(["--id"])
            rows = [[f"o{j}"] + row for j, row in enumerate(rows)]
        if rng.random() < 0.3:
            options.append(["--header"])
            rows.insert(0, (["id"] if ["--id"] in options else []) + [f"r{r}" for r in range(R)])
        text = lines(rng, rows, sep)
    rng.shuffle(options)
    return "", {"data.txt": text}, [word for option in options for word in option] + ["data.txt"]


def large(rng):
    """A batch command on a raw file or model data with K and R up to 1000."""
    K, R = (int(round(math.exp(rng.uniform(math.log(2), math.log(1000))))) for _ in range(2))
    options = ["--format", rng.choice(("text", "json"))]
    if rng.random() < 0.5:
        n = rng.randint(10, max(10, min(2000, 400000 // R)))
        text = lines(rng, responses(rng, K, R, n), " ")
    else:
        options.append("--model")
        n = rng.randint(10, 10**6) if rng.random() < 0.5 else rng.randint(10, 2000)
        text = "\n".join(model_counts(rng, (K, R, n))) + "\n"
    return "", {"data.txt": text}, options + ["data.txt"]


def run(binary, folder, answers, arguments):
    done = subprocess.run([binary] + arguments, cwd=folder, input=answers.encode(), capture_output=True, timeout=300)
    return done.returncode, done.stdout, done.stderr


def renamed(result, renames):
    status, out, err = result
    for old_text, new_text in renames:
        out = out.replace(old_text.encode(), new_text.encode())
    return status, out, err


def compare(task):
    kind, seed, old, new, renames = task
    rng = random.Random(seed)
    make = {"session": lambda: session(rng, MODES[seed % len(MODES)]), "batch": lambda: batch(rng), "large": lambda: large(rng)}
    answers, files, arguments = make[kind]()
    with tempfile.TemporaryDirectory() as folder:
        for name, text in files.items():
            with open(os.path.join(folder, name), "w", newline="") as f:
                f.write(text)
        a, b = run(old, folder, answers, arguments), run(new, folder, answers, arguments)
        if a == b:
            return kind, True
        if renames and renamed(a, renames) == b:
            return kind + " (renamed)", True
        keep = os.path.join("compare-differences", f"{kind}-{seed}")
        shutil.copytree(folder, keep, dirs_exist_ok=True)
        with open(os.path.join(keep, "answers"), "w") as f:
            f.write(answers)
        for name, result in (("old", a), ("new", b)):
            with open(os.path.join(keep, name + ".out"), "wb") as f:
                f.write(b"status %d %r\n" % (result[0], arguments) + result[1] + b"\n--- stderr\n" + result[2])
        return kind, False


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--sessions", type=int, default=10000, help="dialogue sessions of every mode")
    parser.add_argument("--batch", type=int, default=10000, help="batch commands")
    parser.add_argument("--large", type=int, default=0, help="raw files and model data with K, R up to 1000")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--rename", nargs=2, action="append", default=[], metavar=("OLD_TEXT", "NEW_TEXT"),
                        help="an intended change of the standard output")
    args = parser.parse_args()
    old, new = os.path.abspath(args.old), os.path.abspath(args.new)
    # A session's first pass takes the mode of its number: every mode has its share.
    renames = [tuple(pair) for pair in args.rename]
    tasks = [("session", args.seed * 10**7 + k, old, new, renames) for k in range(args.sessions * len(MODES))]
    tasks += [("batch", args.seed * 10**7 + k, old, new, renames) for k in range(args.batch)]
    tasks += [("large", args.seed * 10**7 + k, old, new, renames) for k in range(args.large)]
    tally = {}
    with concurrent.futures.ProcessPoolExecutor(args.jobs) as pool:
        for kind, same in pool.map(compare, tasks, chunksize=20):
            runs, differences = tally.get(kind, (0, 0))
            tally[kind] = (runs + 1, differences + (not same))
    for kind, (runs, differences) in sorted(tally.items()):
        print(f"{kind}: {runs} run, {differences} differ")
    return 1 if any(d for _, d in tally.values()) else 0


if __name__ == "__main__":
    sys.exit(main())

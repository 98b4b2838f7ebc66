#!/usr/bin/env python3
"""Checks the page in a browser (tools/build-web's zover.html) in headless
Chromium, driven through its DevTools protocol on a pipe (no other program
or library).

    web_check.py check BUILD_WEB OUT ZOVER EXAMPLES WORK
    web_check.py analyse PAGE FILE [--png PNG] [NAME=VALUE ...]

`check` builds the page with BUILD_WEB into OUT, then: the file is under
3 MB, names no web address, and its Content-Security-Policy forbids every
request; opened as zover.html#example it analyses examples/Zover_data.txt,
every number of its report's tables is the program's (ZOVER's JSON and CSV
of the same file) to four decimals, and each of its five save buttons saves
the program's output of the same format; the files of CASES, chosen, dropped
or pasted with the options set in the form, give the program's tables, or its
refusal word for word; and the browser logs no console message or error
(of the page or its worker) throughout. Without emscripten or Chromium it
says so in one line and exits with 77 (skipped).

`analyse` opens PAGE, sets the options (`missing=1`, `weights=linear`,
`alpha-level=ordinal,interval`), chooses FILE and prints the page's status
line, with the seconds of the analysis (reading included); with --png, a
picture of the whole page, 1200 px wide.
"""
import base64
import csv
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_check import NOT_COEFFICIENTS, fixed4  # noqa: E402

MAX_BYTES = 3 * 1000 * 1000

# Data given to the page (chosen in its file dialog, dropped on it or pasted
# into it) with options set in its form: (name, how, file, form, the command
# line's options). A form's value is True for a check box, a text, or a list
# for the check boxes of a set.
CASES = [
    ("empty field refused", "choose", "gaps.csv", {}, []),
    ("ordered classes", "choose", "krippendorff_units.csv",
     {"header": True, "id": True, "missing": True, "weights": "quadratic", "alpha-level": ["ordinal", "ratio"],
      "bootstrap": "300", "seed": "7"},
     ["--header", "--id", "--missing", "--weights", "quadratic", "--alpha-level", "ordinal,ratio",
      "--bootstrap", "300", "--seed", "7"]),
    ("long layout with labels", "drop", "ratings_long.csv",
     {"layout": "long", "header": True, "labels": True, "classes": "positive,neutral,negative"},
     ["--long", "--header", "--labels", "--classes", "positive,neutral,negative"]),
    ("frequencies", "paste", "Zover_data_freq.txt", {"layout": "frequencies"}, ["-f"]),
    ("raters by name", "choose", "exports/wide_more_columns.csv",
     {"header": True, "id": True, "missing": True, "raters": "A,B,C,D", "level": "0.9"},
     ["--header", "--id", "--missing", "--raters", "A,B,C,D", "--level", "0.9"]),
    ("separator", "paste", "blanks.csv", {"header": True, "sep": "blank"}, ["--header", "--sep", "blank"]),
    ("long columns by name", "drop", "exports/annotations.csv",
     {"layout": "long", "header": True, "labels": True, "long-columns": "item,annotator,label",
      "bootstrap-method": "pairs", "bootstrap": "200"},
     ["--long", "--header", "--labels", "--long-columns", "item,annotator,label", "--bootstrap-method", "pairs",
      "--bootstrap", "200"]),
    ("a first line of data", "choose", "first_line.csv", {"labels": True, "no-header": True},
     ["--labels", "--no-header"]),
    ("warned", "choose", "swapped.csv", {"layout": "long"}, ["--long"]),
]
# Files made for the cases: a refused one, one that only --sep blank splits
# into three raters, one whose first line looks like names, and one rating a
# line with the object's and the rater's columns swapped (more raters than
# objects: a warning).
GENERATED = {"gaps.csv": b"1,2,1\n2,,2\n1,1,1\n",
             "blanks.csv": b"A B,C\n1 2,1\n2 2,2\n1 1,2\n",
             "first_line.csv": b"x,y,z\na,a,b\nb,b,a\na,b,b\nb,b,b\n",
             "swapped.csv": "".join("%s,o%d,%d\n" % (r, o, (o + (r == "b")) % 2 + 1)
                                    for o in range(4) for r in "ab").encode()}


class Browser:
    """Headless Chromium with its DevTools protocol on file descriptors 3
    and 4: JSON messages ended by a NUL byte."""

    def __init__(self, chromium, downloads):
        self.profile = tempfile.mkdtemp(prefix="zover_chromium_")
        to_browser, self.commands = os.pipe()
        self.replies, from_browser = os.pipe()

        def descriptors():
            os.dup2(to_browser, 3)
            os.dup2(from_browser, 4)

        self.process = subprocess.Popen(
            [chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-quic", "--user-data-dir=" + self.profile, "--remote-debugging-pipe", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=descriptors, pass_fds=(3, 4))
        os.close(to_browser)
        os.close(from_browser)
        self.buffer, self.next_id, self.log, self.downloaded = b"", 0, [], []
        self.call("Browser.setDownloadBehavior", behavior="allow", downloadPath=downloads, eventsEnabled=True)
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        self.page = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.watch(self.page)
        self.call("Target.setAutoAttach", self.page, autoAttach=True, waitForDebuggerOnStart=True, flatten=True)

    def watch(self, session):
        for domain in ("Runtime", "Log"):
            self.call(domain + ".enable", session)

    def close(self):
        try:
            self.call("Browser.close")
        except (OSError, RuntimeError):
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.commands)
        os.close(self.replies)
        shutil.rmtree(self.profile, ignore_errors=True)

    def receive(self, deadline):
        while b"\0" not in self.buffer:
            if time.monotonic() > deadline:
                raise RuntimeError("no answer from the browser in time")
            chunk = os.read(self.replies, 1 << 16)
            if not chunk:
                raise RuntimeError("the browser ended")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def event(self, message):
        method, params = message["method"], message.get("params", {})
        if method == "Runtime.consoleAPICalled":
            args = " ".join(str(a.get("value", a.get("description", ""))) for a in params.get("args", []))
            self.log.append("console.%s: %s" % (params.get("type"), args))
        elif method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            self.log.append("exception: %s" % details.get("exception", {}).get("description", details.get("text")))
        elif method == "Log.entryAdded":
            entry = params["entry"]
            self.log.append("log %s: %s" % (entry.get("level"), entry.get("text")))
        elif method == "Target.attachedToTarget":  # the page's worker, paused until it is watched
            session = params["sessionId"]
            self.send("Runtime.enable", session)
            self.send("Log.enable", session)
            self.send("Runtime.runIfWaitingForDebugger", session)
        elif method == "Browser.downloadProgress" and params.get("state") == "completed":
            self.downloaded.append(params["guid"])

    def send(self, method, session=None, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.commands, json.dumps(message).encode() + b"\0")
        return self.next_id

    def call(self, method, session=None, timeout=60, **params):
        wanted = self.send(method, session, **params)
        deadline = time.monotonic() + timeout
        while True:
            message = self.receive(deadline)
            if "method" in message:
                self.event(message)
            elif message.get("id") == wanted:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", self.page, expression=expression, returnByValue=True,
                           awaitPromise=True, userGesture=True)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def open(self, url):
        self.evaluate("window.zoverCheckLeft = true")  # gone once the new page is in place
        self.call("Page.navigate", self.page, url=url)
        self.wait("!window.zoverCheckLeft && document.readyState === 'complete' && document.body.dataset.state")

    def wait(self, condition, timeout=600):
        deadline = time.monotonic() + timeout
        while not self.evaluate("!!(%s)" % condition):
            if time.monotonic() > deadline:
                raise RuntimeError("waited in vain for " + condition)
            time.sleep(0.05)

    def analysed(self, timeout=600):
        """The page's state when the analysis has ended: done, refused or failed."""
        self.wait("!['empty', 'busy'].includes(document.body.dataset.state)", timeout)
        return self.evaluate("document.body.dataset.state")

    def set_options(self, form):
        for name, value in form.items():
            self.evaluate("""(() => {
                const element = document.getElementById('option-' + %s), value = %s;
                if (value === true) element.click();
                else if (Array.isArray(value)) value.forEach((v) => element.querySelector(`[value="${v}"]`).click());
                else { element.value = value; element.dispatchEvent(new Event('change', {bubbles: true})); }
            })()""" % (json.dumps(name), json.dumps(value)))

    def give(self, how, path):
        """The file at `path` to the page as a user gives it: chosen in the
        file dialog, dropped on the page or pasted as text."""
        if how == "paste":
            with open(path, encoding="utf-8") as f:
                self.evaluate("document.getElementById('paste').value = %s; "
                              "document.getElementById('analyse-paste').click()" % json.dumps(f.read()))
        elif how == "drop":
            x, y = self.evaluate("(() => { const box = document.getElementById('drop').getBoundingClientRect(); "
                                 "return [box.x + box.width / 2, box.y + box.height / 2]; })()")
            data = {"items": [], "files": [path], "dragOperationsMask": 1}
            for kind in ("dragEnter", "dragOver", "drop"):
                self.call("Input.dispatchDragEvent", self.page, type=kind, x=x, y=y, data=data)
        else:
            self.choose(path)

    def choose(self, path):
        root = self.call("DOM.getDocument", self.page)["root"]["nodeId"]
        node = self.call("DOM.querySelector", self.page, nodeId=root, selector="#file")["nodeId"]
        self.call("DOM.setFileInputFiles", self.page, nodeId=node, files=[path])


def run(zover, args, cwd):
    done = subprocess.run([zover] + args, cwd=cwd, capture_output=True, timeout=120)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def program(zover, args, cwd, form):
    status, out, err = run(zover, args + ["--format", form], cwd)
    assert status == 0, (args, err)
    return out


# --- The page's file --------------------------------------------------------

def check_file(path):
    with open(path, encoding="utf-8") as f:
        page = f.read()
    size = len(page.encode("utf-8"))
    assert size < MAX_BYTES, ("the page is too large to mail", size)
    assert "http://" not in page and "https://" not in page, "a web address in the page"
    policy = re.search(r'<meta http-equiv="Content-Security-Policy" content="([^"]*)">', page)
    assert policy, "a Content-Security-Policy"
    rules = dict((rule.split() + [""])[:2] for rule in policy.group(1).split(";") if rule.strip())
    assert rules.get("default-src") == "'none'", rules
    # The markup and style (the scripts are bound by the policy, which the
    # browser enforces and would log a breach of).
    markup = re.sub(r"(?s)<script\b[^>]*>.*?</script>", "", page)
    assert not re.search(r"""\s(src|href|srcset|action)\s*=|<link\b|@import|url\(""", markup), "another file"
    return size


# --- The report in the page against the program ----------------------------

def report_root(browser):
    """The report in the page's frame as the browser holds it, as XML
    without namespaces."""
    text = browser.evaluate("new XMLSerializer().serializeToString(document.getElementById('report').contentDocument)")
    root = ET.fromstring(text)
    for e in root.iter():
        e.tag = e.tag.split("}")[-1]
    return root


def cells(tr):
    return ["".join(c.itertext()).strip() for c in tr]


def shown(x, p=False):
    if x is None:
        return "\u2014"
    return "<0.0001" if p and x < 0.0001 else fixed4(x)


def check_tables(root, csv_text, j, where):
    """Every number of the report's tables against the program's: the
    coefficients (the CSV's rows: the JSON's numbers in one table), the model
    per class and the chance probabilities (the JSON's)."""
    rows = {}
    for r in csv.DictReader(io.StringIO(csv_text)):
        if r["rater"] or r.get("object"):  # a rater's, a pair's or an object's row, in tables of their own
            continue
        value = lambda key: float(r[key]) if r[key] else None
        # The interval's columns are ci95_* at 95 % and ci_* at other levels.
        low, high = ("ci95_low", "ci95_high") if "ci95_low" in r else ("ci_low", "ci_high")
        rows[(r["measure"], r["class"])] = [value(k) for k in ("estimate", "se", low, high, "se0", "z", "p")]
    tables = {("".join(t.find("caption").itertext())): t for t in root.iter("table") if t.find("caption") is not None}
    coefficients = next(t for caption, t in tables.items() if caption.startswith("Estimates"))
    seen = 0
    for tr in coefficients.iter("tr"):
        if tr.get("data-key") is None:
            continue
        want = rows[(tr.get("data-key"), tr.get("data-class") or "")]
        got = cells(tr)[1:]
        assert got == [shown(x, i == 6) for i, x in enumerate(want)], (where, tr.get("data-key"), got, want)
        seen += 1
    assert seen == len([k for k in rows if k[0] not in NOT_COEFFICIENTS]), (where, "a row per coefficient")
    model = j["model"]["final"]["classes"] if j["model"] else []
    per_class = next((t for caption, t in tables.items() if caption.startswith("Per class")), None)
    if model:
        body = [cells(tr) for tr in per_class.iter("tr") if tr.find("td") is not None]
        assert len(body) == len(model) + 1, (where, "a row per class and the overall one")
        for got, c in zip(body, model):
            want = []
            for measure in ("consistency", "agreement"):
                m = c[measure]
                want += [shown(m["estimate"]), shown(m["se"])] + [shown(x) for x in (m.get("ci95", m.get("ci")) or [None, None])]
            assert got[1:] == want, (where, "class", c["class"], got, want)
        chance = next(t for caption, t in tables.items() if caption.startswith("Chance"))
        body = [cells(tr)[1:] for tr in chance.iter("tr") if tr.find("td") is not None]
        assert body == [[shown(p) for p in c["chance"]] for c in model], (where, "chance probabilities")
    return seen


def same_json(a, b, where):
    """The page's JSON is the program's: the same keys and texts, every
    number the same to 1e-12 of its size."""
    if isinstance(a, dict):
        assert isinstance(b, dict) and a.keys() == b.keys(), (where, sorted(a), b)
        for k in a:
            same_json(a[k], b[k], where + "." + k)
    elif isinstance(a, list):
        assert isinstance(b, list) and len(a) == len(b), where
        for i, (x, y) in enumerate(zip(a, b)):
            same_json(x, y, "%s[%d]" % (where, i))
    elif isinstance(a, float) or isinstance(b, float):
        assert abs(a - b) <= 1e-12 * max(1, abs(a)), (where, a, b)
    else:
        assert a == b, (where, a, b)


def same_csv(a, b):
    rows_a, rows_b = list(csv.reader(io.StringIO(a))), list(csv.reader(io.StringIO(b)))
    assert len(rows_a) == len(rows_b) and rows_a[0] == rows_b[0], "csv: the same rows"
    for row_a, row_b in zip(rows_a[1:], rows_b[1:]):
        for x, y in zip(row_a, row_b):
            try:
                same_json(float(x), float(y), "csv " + ",".join(row_a[:3]))
            except ValueError:
                assert x == y and len(row_a) == len(row_b), ("csv", row_a, row_b)


def check_saves(browser, downloads, zover, examples):
    """Each save button saves the program's output of the example: the same
    bytes, but for the numbers at full precision of JSON and CSV, which may
    differ in their last bits (the page's mathematical library is not the
    system's). Returns the formats saved with the same bytes."""
    names = {"html": "Zover_data-zover.html", "svg": "Zover_data-zover.svg", "json": "Zover_data-zover.json",
             "csv": "Zover_data-zover.csv", "text": "Zover_data-zover.txt"}
    for kind in names:
        browser.evaluate("document.querySelector('[data-save=%s]').click()" % kind)
    deadline = time.monotonic() + 60
    while len(browser.downloaded) < len(names):
        assert time.monotonic() < deadline, ("saved", browser.downloaded)
        browser.call("Runtime.evaluate", browser.page, expression="0")
    identical = []
    for kind, name in names.items():
        with open(os.path.join(downloads, name), encoding="utf-8") as f:
            saved = f.read()
        native = program(zover, ["Zover_data.txt"], examples, kind)
        if saved == native:
            identical.append(kind)
        elif kind == "json":
            same_json(json.loads(native), json.loads(saved), "json")
        elif kind == "csv":
            same_csv(native, saved)
        else:
            raise AssertionError((kind, "saved is not the program's output"))
    return identical


def check(build_web, out, zover, examples, work):
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not shutil.which("emcc") or not chromium:
        print("emscripten or chromium not found (Debian: emscripten, chromium): the page's check is skipped")
        return 77
    subprocess.run([build_web, out], check=True, stdout=subprocess.DEVNULL)
    page = os.path.join(os.path.abspath(out), "zover.html")
    size = check_file(page)
    print("%s: %d bytes, self-contained" % (page, size))
    shutil.rmtree(work, ignore_errors=True)
    downloads = os.path.join(work, "downloads")
    os.makedirs(downloads)
    for name, content in GENERATED.items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(content)
    browser = Browser(chromium, downloads)
    try:
        browser.open("file://" + page + "#example")
        assert browser.analysed() == "done", browser.evaluate("document.getElementById('message').textContent")
        j = json.loads(program(zover, ["Zover_data.txt"], examples, "json"))
        rows = check_tables(report_root(browser), program(zover, ["Zover_data.txt"], examples, "csv"), j, "example")
        identical = check_saves(browser, downloads, zover, examples)
        print("#example: %d coefficients and the model as the program's; saved as the program's: %s "
              "(the same bytes: %s)" % (rows, ", ".join(("html", "svg", "json", "csv", "text")), ", ".join(identical)))
        for name, how, file_name, form, args in CASES:
            folder = work if file_name in GENERATED else examples
            browser.open("file://" + page)
            browser.set_options(form)
            browser.give(how, os.path.join(folder, file_name))
            state = browser.analysed()
            status, native, err = run(zover, args + ["--format", "csv", file_name], folder)
            if status != 0:
                message = browser.evaluate("document.getElementById('message').textContent")
                assert state == "refused" and "zover: " + message + "\n" == err, (name, state, message, err)
                print("%s: refused as the program refuses it: %s" % (name, message))
                continue
            assert state == "done", (name, state, browser.evaluate("document.getElementById('message').textContent"))
            j = json.loads(program(zover, args + [file_name], folder, "json"))
            rows = check_tables(report_root(browser), native, j, name)
            # The program's warnings on standard error, counted in the page's status line.
            warnings = err.count("zover: warning: ")
            status_line = browser.evaluate("document.getElementById('status').textContent")
            assert ("with %d warning" % warnings in status_line) == (warnings > 0), (name, err, status_line)
            print("%s (%s): %d coefficients and the model as the program's%s" %
                  (name, how, rows, ", %d warning" % warnings if warnings else ""))
        browser.call("Runtime.evaluate", browser.page, expression="0")
        assert not browser.log, "console messages:\n" + "\n".join(browser.log)
        print("no console message")
    finally:
        browser.close()
    return 0


def analyse(page, data, settings, png=None):
    """Opens PAGE, sets the options NAME=VALUE, chooses DATA and prints the
    page's state and status line (which gives the seconds of the analysis,
    reading included); with PNG, a picture of the whole page 1200 px wide."""
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    downloads = tempfile.mkdtemp(prefix="zover_downloads_")
    browser = Browser(chromium, downloads)
    try:
        if png:
            browser.call("Emulation.setDeviceMetricsOverride", browser.page, width=1200, height=900,
                         deviceScaleFactor=1, mobile=False)
        browser.open("file://" + os.path.abspath(page))
        form = {}
        for setting in settings:
            name, value = setting.split("=", 1)
            form[name] = True if value == "1" else value.split(",") if name == "alpha-level" else value
        browser.set_options(form)
        browser.choose(os.path.abspath(data))
        state = browser.analysed(timeout=3600)
        print(state, browser.evaluate("document.getElementById('status').textContent"))
        if png:
            time.sleep(0.5)  # the frame's height follows the report's
            shot = browser.call("Page.captureScreenshot", browser.page, format="png", captureBeyondViewport=True)
            with open(png, "wb") as f:
                f.write(base64.b64decode(shot["data"]))
        assert not browser.log, "console messages:\n" + "\n".join(browser.log)
    finally:
        browser.close()
        shutil.rmtree(downloads, ignore_errors=True)
    return 0


def main():
    if sys.argv[1] == "check":
        return check(*map(os.path.abspath, sys.argv[2:7]))
    args = sys.argv[2:]
    png = args.pop(args.index("--png") + 1) if "--png" in args else None
    args = [a for a in args if a != "--png"]
    return analyse(args[0], args[1], args[2:], png)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Makes the page one file: page.html with its style, its script, the
worker's script (the engine's glue, then worker.js), the engine's
WebAssembly in base64 and the bundled example put in place of its
{{NAME}} marks.

    assemble.py --glue zover_web.js --wasm zover_web.wasm --source web/
                --example examples/Zover_data.txt --version 1.3 --output zover.html

An inlined text that would end its <script> or <style> element early, or a
web address anywhere in the page, stops the build: the page must hold all it
needs and refer to nothing outside itself.
"""
import argparse
import base64
import os
import re
import sys


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser()
    for name in ("glue", "wasm", "source", "example", "version", "output"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    source = lambda name: read(os.path.join(args.source, name))
    with open(args.wasm, "rb") as f:
        wasm = base64.b64encode(f.read()).decode("ascii")
    parts = {
        "VERSION": args.version,
        "STYLE": source("page.css").strip(),
        "SCRIPT": source("page.js").strip(),
        "WORKER": read(args.glue).strip() + "\n" + source("worker.js").strip(),
        "WASM": wasm,
        "EXAMPLE_NAME": os.path.basename(args.example),
        "EXAMPLE": read(args.example),
    }
    for name, text in parts.items():
        for end in ("</script", "</style", "<!--"):
            if end in text.lower():
                sys.exit("assemble.py: %s holds %s, which would end its element" % (name, end))
    page = re.sub(r"\{\{([A-Z_]+)\}\}", lambda m: parts[m.group(1)], read(os.path.join(args.source, "page.html")))
    for scheme in ("http://", "https://"):
        if scheme in page:
            at = page.index(scheme)
            sys.exit("assemble.py: a web address in the page: ...%s..." % page[max(0, at - 60):at + 40])
    temporary = args.output + ".new"
    with open(temporary, "w", encoding="utf-8", newline="\n") as f:
        f.write(page)
    os.replace(temporary, args.output)
    print("assemble.py: %s, %d bytes" % (args.output, len(page.encode("utf-8"))))


if __name__ == "__main__":
    main()

"""Builds the Python binding from a clone of the repository:

    /usr/bin/python3 -m venv --system-site-packages ~/.venvs/zover
    ~/.venvs/zover/bin/pip install --no-build-isolation ./python

compiles the module zover._zover (pybind11) from python/src and the engine's
sources in the repository's src/, with the program's floating-point flags,
so that every number is the program's."""

import glob
import os
import re

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SRC = os.path.join(ROOT, "src")
if not os.path.exists(os.path.join(SRC, "analysis", "analysis.h")):
    raise SystemExit("setup.py: the engine's sources are not in %s; build from a clone of the repository" % SRC)


def engine_sources():
    """src/ less the program's own sources: the rule of CMakeLists.txt."""
    def program(path):
        part = os.path.relpath(path, SRC).replace(os.sep, "/")
        if part in ("console/format.cpp", "console/system_io.cpp"):
            return False
        return (part.startswith(("driver/", "console/", "input/keyboard_")) or part == "input/dialogue_files.cpp")
    found = sorted(glob.glob(os.path.join(SRC, "**", "*.cpp"), recursive=True))
    return [os.path.relpath(path, HERE) for path in found if not program(path)]


with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
    VERSION = re.search(r"project\(zover VERSION ([0-9.]+)", f.read()).group(1)

ParallelCompile("ZOVER_BUILD_JOBS").install()
setup(
    name="zover",
    version=VERSION,
    description="Nominal agreement of many raters: the Zover model and kappas",
    license="MIT",
    packages=["zover"],
    ext_modules=[Pybind11Extension(
        "zover._zover",
        [os.path.join("src", "zover_module.cpp")] + engine_sources(),
        include_dirs=[SRC],
        define_macros=[("ZOVER_VERSION", '"%s"' % VERSION)],
        cxx_std=17,
        extra_compile_args=["-ffp-contract=off", "-fno-fast-math"],
    )],
    python_requires=">=3.8",
    install_requires=["numpy"],
    zip_safe=False,
)

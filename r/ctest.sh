#!/bin/sh
# ctest's r.binding: installs the package of r/ into a folder of the build,
# linking the engine that CMake built, and runs its tests against the
# program. Without R or its packages it says so in one line and exits with
# 77 (skipped).
#   r/ctest.sh SOURCE_DIR WORK_DIR ENGINE_LIBRARY PROGRAM PYTHON
source=$1 work=$2 engine=$3 program=$4 python=$5
if ! command -v R >/dev/null || ! command -v Rscript >/dev/null; then
  echo "R not found (Debian: r-base-core r-base-dev): skipped"; exit 77
fi
if ! Rscript -e 'for (p in c("Rcpp", "testthat", "jsonlite")) if (!requireNamespace(p, quietly = TRUE)) quit(status = 3)' >/dev/null 2>&1; then
  echo "Rcpp, testthat or jsonlite not found (Debian: r-cran-rcpp r-cran-testthat r-cran-jsonlite): skipped"; exit 77
fi
set -e
rm -rf "$work" && mkdir -p "$work/lib"
# A copy, so that the build writes nothing into the source tree; without
# what an install in place may have left there.
cp -R "$source/r" "$work/zover"
rm -rf "$work/zover/src/engine" "$work/zover/src/"*.o "$work/zover/src/"*.so
if ! ZOVER_SRC="$source/src" ZOVER_ENGINE_LIB="$engine" R CMD INSTALL -l "$work/lib" "$work/zover" >"$work/install.log" 2>&1; then
  cat "$work/install.log"; exit 1
fi
R_LIBS="$work/lib" ZOVER_PROGRAM="$program" ZOVER_EXAMPLES="$source/examples" ZOVER_PYTHON="$python" \
  Rscript -e 'testthat::test_dir(commandArgs(TRUE)[1], package = "zover", load_package = "installed", stop_on_failure = TRUE)' \
  "$source/r/tests/testthat"

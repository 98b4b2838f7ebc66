#!/usr/bin/env bash
# Runs every command-line example of README.md and doc/*.md and checks its
# exit status.
#   doc_examples.sh SOURCE_DIR PROGRAM WORK_DIR
# An example is a code line (indented by four blanks, or inside a fence) that
# starts with build/zover or zover, or with "cd DIR && " and then the program
# (as ../build/zover, say), or a table cell that holds a command starting with
# build/zover in backquotes (`build/zover --header f.csv`). It runs under sh from a copy of the repository's
# examples/ and doc/ in WORK_DIR, where build/zover stands for PROGRAM and
# PROGRAM's folder comes first on PATH, so that zover is the program just
# built; standard input is empty. It must exit with status 0, or with N when
# the line ends in the comment "# exit N".
set -u
source_dir=$1 program=$2 work=$3

rm -rf "$work" && mkdir -p "$work/build" || exit 1
cp -R "$source_dir/examples" "$source_dir/doc" "$work/" || exit 1
ln -s "$program" "$work/build/zover" || exit 1
export PATH="$(dirname "$program"):$PATH"

examples=0 failed=0
for page in "$source_dir/README.md" "$source_dir"/doc/*.md; do
  [ -f "$page" ] || continue
  while IFS= read -r line; do
    want=0
    [[ $line =~ \#[[:space:]]*exit[[:space:]]+([0-9]+) ]] && want=${BASH_REMATCH[1]}
    examples=$((examples + 1))
    (cd "$work" && sh -c "$line") </dev/null >"$work/out" 2>&1
    got=$?
    if [ "$got" -ne "$want" ]; then
      failed=$((failed + 1))
      echo "FAILED (exit $got, not $want) in ${page#"$source_dir"/}: $line"
      sed 's/^/    /' "$work/out" | head -n 20
    fi
  done < <({ awk '/^ *```/ { fenced = !fenced; next }
                  fenced || /^    / { sub(/^    /, ""); print }' "$page"
             grep -E '^\|' "$page" | grep -oE '`build/zover [^`]*`' | tr -d '`'; } |
           grep -E '^(cd [^ ]+ && )?((\.\./)*build/)?zover( |$)')
done
echo "$examples examples, $failed failed"
[ "$examples" -gt 0 ] && [ "$failed" -eq 0 ]

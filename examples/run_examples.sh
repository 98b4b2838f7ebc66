#!/usr/bin/env bash
# Runs every example: each answers file in answers/ is piped into the program
# in this folder, where it finds Zover_data.txt and Zover_data_freq.txt.
#   run_examples.sh [path/to/zover] [name ...]
# The program's path is taken from where the script is called (a bare name
# such as zover is looked up on PATH); without one it is ../build/zover next
# to this folder. With names (such as report_regular) it runs only those
# examples.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
given="${1:-$here/../build/zover}"
shift || true
case "$given" in
  */*) zover="$(cd "$(dirname "$given")" 2>/dev/null && pwd)/$(basename "$given")" ;;
  *) zover="$(command -v "$given")" || zover="" ;;
esac
if [ ! -f "$zover" ] || [ ! -x "$zover" ]; then
  echo "run_examples.sh: no program at $given: build it first or give its path" >&2
  exit 2
fi
cd "$here"
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for answers in answers/*.answers; do names+=("$(basename "$answers" .answers)"); done
fi
for name in "${names[@]}"; do
  printf '\n==================== %s ====================\n' "$name"
  "$zover" < "answers/$name.answers"
done

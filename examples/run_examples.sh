#!/usr/bin/env bash
# Runs every example: each answers file in answers/ is piped into the program
# here, where it finds Zover_data.txt and Zover_data_freq.txt.
#   ./run_examples.sh [path/to/zover] [name ...]
# With names (such as report_regular) it runs only those examples.
set -euo pipefail
cd "$(dirname "$0")"
zover="${1:-../build/zover}"
shift || true
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for answers in answers/*.answers; do names+=("$(basename "$answers" .answers)"); done
fi
for name in "${names[@]}"; do
  printf '\n==================== %s ====================\n' "$name"
  "$zover" < "answers/$name.answers"
done

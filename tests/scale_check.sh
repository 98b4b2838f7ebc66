#!/usr/bin/env bash
# The SQLite query of doc/scale.md on a table of 100 000 objects rated by 3
# raters: its frequencies file, and the same query on four shards of the
# table added by zover, print the same bytes (text and CSV) as the raw file
# of one line per object. Exits 77 (skipped) without sqlite3.
#   scale_check.sh PROGRAM SOURCE_DIR WORK_DIR
set -u
zover=$1 doc=$2/doc/scale.md work=$3
command -v sqlite3 >/dev/null || { echo "scale_check: skipped: no sqlite3 (Debian's package sqlite3)"; exit 77; }
fail() { echo "scale_check: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

# The guide's query: the first sql block after its SQLite heading.
awk '/^## SQLite/ { on = 1 } on && /^```sql/ { inside = 1; next } inside && /^```/ { exit } inside' "$doc" > counts.sql
grep -q 'GROUP BY ana, ben, eva' counts.sql || fail "no SQLite query in $doc"

# A table of (object, rater, rating), 3 classes: each rating the object's
# class 7 times in 10, else a class of the object's and rater's hash.
sqlite3 ratings.db <<'SQL' || fail "sqlite3 could not make the table"
CREATE TABLE ratings (object INTEGER, rater TEXT, rating INTEGER);
WITH RECURSIVE o(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM o WHERE i < 100000),
     r(name, k) AS (VALUES ('ana', 1), ('ben', 2), ('eva', 3))
INSERT INTO ratings
SELECT i, name,
       CASE WHEN ((i * 2654435761 + k * 40503) / 7) % 1000 < 700 THEN i % 3 + 1
            ELSE ((i * 2654435761 + k * 40503) / 7) % 3 + 1 END
FROM o, r;
SQL
sqlite3 -separator ' ' ratings.db "SELECT MAX(CASE WHEN rater = 'ana' THEN rating END),
  MAX(CASE WHEN rater = 'ben' THEN rating END), MAX(CASE WHEN rater = 'eva' THEN rating END)
  FROM ratings GROUP BY object ORDER BY object" > raw.txt || fail "sqlite3 could not write the raw file"
[ "$(wc -l < raw.txt)" -eq 100000 ] || fail "the raw file does not hold 100000 objects"
sqlite3 ratings.db < counts.sql || fail "the guide's query failed"
for s in 0 1 2 3; do
  sed -e "s/counts.txt/counts_$s.txt/" -e "s/FROM ratings\$/FROM ratings WHERE object % 4 = $s/" counts.sql |
    sqlite3 ratings.db || fail "shard $s failed"
done

for format in text csv; do
  "$zover" --format $format raw.txt > raw.$format || fail "raw.txt: zover failed"
  "$zover" -f --format $format counts.txt > counts.$format || fail "counts.txt: zover failed"
  "$zover" -f --format $format counts_0.txt counts_1.txt counts_2.txt counts_3.txt > shards.$format ||
    fail "the shards: zover failed"
  cmp raw.$format counts.$format || fail "$format: the counts differ from the raw file"
  cmp raw.$format shards.$format || fail "$format: the shards differ from the raw file"
done
echo "scale_check: 100000 objects, counted whole and in 4 shards, the same bytes as the raw file"

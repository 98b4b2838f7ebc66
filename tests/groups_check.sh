#!/usr/bin/env bash
# The groups of examples/sites.csv (--by site) against each site's file
# alone and against the three files in one run: every row of a group's
# analysis is the same bytes as the file's own analysis, and the analysis of
# all groups is the same whichever way the groups were given.
#   groups_check.sh PROGRAM EXAMPLES_DIR
set -u
zover=$1
cd "$2" || exit 1
fail() { echo "groups_check: $*" >&2; exit 1; }
by=$("$zover" --long --header --by site --format csv sites.csv) || fail "--by site failed"
files=$("$zover" --long --header --format csv sites/north.csv sites/south.csv sites/east.csv) || fail "three files failed"
for site in north south east; do
  alone=$("$zover" --long --header --format csv "sites/$site.csv" | tail -n +2) || fail "$site alone failed"
  [ "$(grep "^$site," <<<"$by" | cut -d, -f2-)" = "$alone" ] || fail "group $site (--by) differs from sites/$site.csv alone"
  [ "$(grep "^sites/$site.csv," <<<"$files" | cut -d, -f2-)" = "$alone" ] ||
    fail "group sites/$site.csv differs from the file alone"
done
[ "$(grep '^,' <<<"$by")" = "$(grep '^,' <<<"$files")" ] || fail "all groups differ between --by and three files"
# Two named groups: the difference of their estimates, its SE the root of
# the sum of their variances (independent samples).
pair=$("$zover" --long --header --by site --compare-groups north,south --format csv sites.csv) || fail "--compare-groups failed"
awk -F, '
  $1 == "north" && $2 == "fleiss_kappa" { e1 = $5; s1 = $6 }
  $1 == "south" && $2 == "fleiss_kappa" { e2 = $5; s2 = $6 }
  $1 == "north - south" && $2 == "fleiss_kappa_difference" { d = $5; s = $6; seen = 1 }
  END {
    if (!seen) { print "groups_check: no north - south row"; exit 1 }
    if ((d - (e1 - e2))^2 > 1e-24 || (s - sqrt(s1 * s1 + s2 * s2))^2 > 1e-24) {
      print "groups_check: north - south is " d " (" s "), not " e1 - e2 " (" sqrt(s1 * s1 + s2 * s2) ")"; exit 1
    }
  }' <<<"$pair" >&2 || exit 1
echo "groups_check: the 3 groups match their files"

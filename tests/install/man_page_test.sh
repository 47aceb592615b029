#!/bin/sh
# The manual page renders without a warning and names every variable and
# every configuration element and attribute that the README lists.
#   sh man_page_test.sh README MAN_PAGE
set -u
. "$(dirname "$0")/common.sh"
readme=$1
page=$2
need groff

warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warns: $warnings"

# Plain text on one long line per paragraph, without hyphenation, so that a
# name is never broken across lines.
groff -man -Tascii -rLL=250n -rHY=0 -P-cbou "$page" >"$scratch/page.txt" 2>/dev/null
[ -s "$scratch/page.txt" ] || fail "the page renders empty"

section() {
    sed -n "/^## $1/,/^## /p" "$readme"
}
# Variables as the README writes them: %HOSTNAME%, %ADAPTER_n_TYPE% and its
# short forms such as _TYPE%.
section Variables | grep -o '`[^`]*%`' | tr -d '`' | sort -u >"$scratch/variables"
# Elements and attributes: every lower-case word in backticks, and every
# tag written as <name.
{
    section "The configuration" | grep -o '`[a-z]*`' | tr -d '`'
    section "The configuration" | grep -o '<[a-z][a-z]*' | tr -d '<'
} | sort -u >"$scratch/words"
[ "$(wc -l <"$scratch/variables")" -gt 20 ] && [ "$(wc -l <"$scratch/words")" -gt 20 ] ||
    fail "the README's lists were not found"

missing=""
for name in $(cat "$scratch/variables"); do
    grep -qF -- "$name" "$scratch/page.txt" || missing="$missing $name"
done
for word in $(cat "$scratch/words"); do
    grep -qwF -- "$word" "$scratch/page.txt" || missing="$missing $word"
done
[ -z "$missing" ] || fail "the manual page does not mention:$missing"
echo "manual page checked"

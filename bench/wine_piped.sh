#!/usr/bin/env bash
# Pipes 1 and then N calculations (default 1,000) through the Windows
# program under Wine, output to a file, and prints both times and their
# ratio. A script's run must not cost a command interpreter per screen, so
# the ratio should stay a small number, most of it Wine's own start.
#   usage: bench/wine_piped.sh [N]   (TEKLO_EXE=path, default build-windows/teklo.exe)
set -euo pipefail
exe=${TEKLO_EXE:-build-windows/teklo.exe}
n=${1:-1000}
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# One server and a ready prefix for both runs, so neither pays for them.
mkdir -p "$WINEPREFIX"
wineserver --persistent=60
wineboot --init > /dev/null 2>&1

calculations() {
  awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++) print "s\n56 63 76 84"; print "q" }'
}

# Runs teklo.exe on file $1; sets `seconds`.
measure() {
  local start=$EPOCHREALTIME
  wine "$exe" < "$1" > "$work/output"
  seconds=$(echo "$EPOCHREALTIME - $start" | bc -l)
}

calculations 1 > "$work/one"
calculations "$n" > "$work/many"
measure "$work/one"  # warms the caches; not counted
measure "$work/one"
one=$seconds
measure "$work/many"
printf '1 calculation: %.3f s\n%d calculations: %.3f s\nratio: %.2f\n' \
  "$one" "$n" "$seconds" "$(echo "$seconds / $one" | bc -l)"

#!/usr/bin/env bash
# Pipes N generated calculations (default 1,000,000) through teklo to
# /dev/null and prints calculations per second and peak memory; then the
# peak memory for 10 calculations and for a single 100 MB number. Memory
# must not grow with the input: the three peaks must lie within 1 MB of one
# another (they vary by a few dozen pages from run to run), or the script
# says so and exits with status 1.
#   usage: bench/throughput.sh [N]   (TEKLO=path/to/teklo, default build/teklo)
set -euo pipefail
teklo=${TEKLO:-build/teklo}
n=${1:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

calculations() {
  awk -v n="$1" 'BEGIN {
    srand(1)
    for (i = 0; i < n; i++)
      printf "s\n%d %d %d %d\n", int(rand() * 90) + 1, int(rand() * 90) + 1,
             int(rand() * 90) + 1, int(rand() * 90) + 1
    print "q"
  }'
}

# Runs teklo on file $1; sets `seconds` and `peak_kb`, and adds the peak to
# `peaks`.
peaks=()
measure() {
  local start=$EPOCHREALTIME
  /usr/bin/time -v -o "$work/time" "$teklo" < "$1" > /dev/null
  seconds=$(echo "$EPOCHREALTIME - $start" | bc -l)
  peak_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time")
  peaks+=("$peak_kb")
}

calculations "$n" > "$work/many"
measure "$work/many"
printf '%d calculations: %.3f s, %.0f calculations/s, peak memory %d kB\n' \
  "$n" "$seconds" "$(echo "$n / $seconds" | bc -l)" "$peak_kb"

calculations 10 > "$work/few"
measure "$work/few"
printf '10 calculations: peak memory %d kB\n' "$peak_kb"

{ printf 's\n'; head -c 100000000 /dev/zero | tr '\0' '9'; printf ' 1 2 3\nq\n'; } > "$work/huge"
measure "$work/huge"
printf 'one 100 MB number: %.3f s, peak memory %d kB\n' "$seconds" "$peak_kb"

spread=$(printf '%s\n' "${peaks[@]}" | sort -n | awk 'NR == 1 { low = $1 } { high = $1 } END { print high - low }')
if [ "$spread" -gt 1024 ]; then
  echo "the peaks differ by $spread kB: memory grows with the input" >&2
  exit 1
fi
echo "the peaks lie within $spread kB of one another"

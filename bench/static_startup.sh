#!/usr/bin/env bash
# The static program beside the dynamic one, in one sitting: the size of
# each, stripped, and the time of N runs (default 1000) of a session of one
# calculation, the two taking turns in rounds of 100 so that the load of
# the machine falls on both alike. Figures only.
#   usage: bench/static_startup.sh [N]
#   (DYNAMIC=path/to/teklo, default build/teklo;
#    STATIC=path/to/teklo, default build-linux-static/teklo)
set -euo pipefail
dynamic=${DYNAMIC:-build/teklo}
static=${STATIC:-build-linux-static/teklo}
n=${1:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

strip -o "$work/dynamic" "$dynamic"
strip -o "$work/static" "$static"
printf 's\n56 63 76 84\nq\n' > "$work/session"

# Runs the program $1 $2 times on the session; adds the seconds to total_$1.
total_dynamic=0 total_static=0
runs() {
  local start=$EPOCHREALTIME
  for ((i = 0; i < $2; i++)); do "$work/$1" < "$work/session" > /dev/null; done
  printf -v "total_$1" '%s' "$(echo "${!3} + $EPOCHREALTIME - $start" | bc -l)"
}
for ((done_runs = 0; done_runs < n; done_runs += 100)); do
  round=$((n - done_runs < 100 ? n - done_runs : 100))
  runs dynamic "$round" total_dynamic
  runs static "$round" total_static
done

for kind in dynamic static; do
  total=total_$kind
  printf '%-7s %8d bytes stripped, %d runs: %.3f s, %.3f ms a run\n' "$kind" \
    "$(stat -c %s "$work/$kind")" "$n" "${!total}" "$(echo "${!total} * 1000 / $n" | bc -l)"
done

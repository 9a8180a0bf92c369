#!/usr/bin/env bash
# tarvenix-cli's sessions over a farm of 20 servers (50 sessions each, 5 ms a
# call) against one such server, side by side in one run, under Wine with the
# farm double. Each cell is run RUNS times (default 5) and the median kept; the
# start of the program alone (--help) is measured too, since under Wine it is
# a large part of a short run.
#   tests/bench/cli_bench.sh [BIN_DIR] [WINEPREFIX]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$(cd "${1:-$ROOT/build/win/bin}" && pwd)
export WINEPREFIX=$(cd "${2:-$ROOT/build/win/wine-null}" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;wtsapi32=n,b'
RUNS=${RUNS:-5}
APP=$(mktemp -d /tmp/tarvenix-cli-bench.XXXXXX)
trap 'rm -rf "$APP"' EXIT
cp "$BIN/tarvenix-cli.exe" "$BIN/wtsapi32.dll" "$APP/"
{
  printf '{"servers":['
  for i in $(seq -w 1 20); do
    [ "$i" = 01 ] || printf ','
    printf '{"name":"FARM%s","latency_ms":5,"generate":{"sessions":50,"processes_per_session":0}}' "$i"
  done
  printf ']}\n'
} >"$APP/farm.json"
for i in $(seq -w 1 20); do printf 'FARM%s\r\n' "$i"; done >"$APP/farm.txt"

# median_ms ARGS...: the median wall time of RUNS runs, in ms.
median_ms() {
  local times=()
  for _ in $(seq "$RUNS"); do
    local t0 t1
    t0=$(date +%s%N)
    (cd "$APP" && wine ./tarvenix-cli.exe "$@" >/dev/null 2>&1 </dev/null) || true
    t1=$(date +%s%N)
    times+=($(((t1 - t0) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((RUNS + 1) / 2))p"
}

wineserver -p 2>/dev/null || true
start=$(median_ms --help)
one=$(median_ms sessions FARM01 --format csv)
farm=$(median_ms sessions --from-file farm.txt --format csv)
rows=$(cd "$APP" && wine ./tarvenix-cli.exe sessions --from-file farm.txt --format csv 2>/dev/null </dev/null | grep -c $'\r$')
printf '%-40s %10s %14s\n' cell "wall ms" "minus start"
printf '%-40s %10d %14s\n' "program start (--help)" "$start" "-"
printf '%-40s %10d %14d\n' "sessions FARM01 (50 sessions)" "$one" "$((one - start))"
printf '%-40s %10d %14d\n' "sessions --from-file (20 x 50, $((rows - 1)) rows)" "$farm" "$((farm - start))"
awk -v a="$farm" -v b="$one" -v s="$start" 'BEGIN { printf "ratio farm / one server: %.2f (%.2f without the start)\n", a / b, (a - s) / (b - s) }'

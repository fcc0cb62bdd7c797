#!/usr/bin/env bash
# Times zendrik-cli decoding a 10-minute 44100 Hz recording (one S510 transfer, then silence)
# against `sox FILE -n stat` reading the same file, side by side in one run, as whole processes.
#   bench/compare_sox.sh [BUILD_DIR] [RUNS]
# BUILD_DIR holds zendrik-cli (a Release build gives the figures that count; default build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
cli="$build/zendrik-cli"
command -v sox >/dev/null || { echo "sox is not installed (Debian: sox)" >&2; exit 77; }
[ -x "$cli" ] || { echo "$cli is missing: build the zendrik-cli target first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The bundled transfer followed by silence up to ten minutes.
"$cli" --synthesize "$work/transfer.wav" samples/s510-ride.sld
sox -V1 "$work/transfer.wav" "$work/ten-minutes.wav" pad 0 600 trim 0 600
"$cli" "$work/ten-minutes.wav" >/dev/null  # it must decode (and the file is now cached)

# Best of the runs for each, interleaved so both see the same load.
seconds() { local t0 t1; t0=$(date +%s%N); "$@" >/dev/null 2>&1; t1=$(date +%s%N); echo $(( (t1 - t0) / 1000 )); }
best_cli=999999999
best_sox=999999999
for _ in $(seq "$runs"); do
  c=$(seconds "$cli" "$work/ten-minutes.wav")
  s=$(seconds sox "$work/ten-minutes.wav" -n stat)
  (( c < best_cli )) && best_cli=$c
  (( s < best_sox )) && best_sox=$s
done
awk -v c="$best_cli" -v s="$best_sox" 'BEGIN {
  printf "zendrik-cli: %.1f ms   sox stat: %.1f ms   ratio: %.2f (target at most 0.60)\n",
         c / 1000, s / 1000, c / s }'

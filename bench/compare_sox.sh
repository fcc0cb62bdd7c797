#!/usr/bin/env bash
# Times zendrik-cli decoding a 10-minute 44100 Hz recording (one S510 transfer, then silence)
# against `sox FILE -n stat` reading the same file, side by side in one run, as whole processes;
# then the same for a 60-minute 48000 Hz recording of room noise (pink noise) with the transfer
# at its very end, which only the second receiver reads.
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
compare() {  # FILE RUNS TARGET
  local best_cli=999999999 best_sox=999999999 c s
  for _ in $(seq "$2"); do
    c=$(seconds "$cli" "$1")
    s=$(seconds sox "$1" -n stat)
    (( c < best_cli )) && best_cli=$c
    (( s < best_sox )) && best_sox=$s
  done
  awk -v c="$best_cli" -v s="$best_sox" -v name="$(basename "$1")" -v target="$3" 'BEGIN {
    printf "%s: zendrik-cli: %.1f ms   sox stat: %.1f ms   ratio: %.2f (target at most %s)\n",
           name, c / 1000, s / 1000, c / s, target }'
}
compare "$work/ten-minutes.wav" "$runs" 0.60

# An hour of room noise, the transfer in its last seconds.
sox -V1 "$work/transfer.wav" -r 48000 "$work/late.wav" vol 0.3 pad 3584 0
sox -V1 -n -r 48000 -b 16 -c 1 "$work/room.wav" synth "$(soxi -D "$work/late.wav")" pinknoise vol 0.15
sox -V1 -m "$work/late.wav" "$work/room.wav" "$work/sixty-minutes.wav"
rm -f "$work/late.wav" "$work/room.wav"
"$cli" "$work/sixty-minutes.wav" >/dev/null  # it must decode
compare "$work/sixty-minutes.wav" "$(( runs < 3 ? runs : 3 ))" 10

#!/usr/bin/env bash
# Times zendrik-cli decoding a 10-minute 44100 Hz recording (one S510 transfer, then silence)
# against `sox FILE -n stat` reading the same file, side by side in one run, as whole processes
# (time and peak resident memory);
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

# Best of the runs for each, interleaved so both see the same load; and the highest peak of
# resident memory over the runs (GNU time's %M), the program and its libraries counted.
command -v /usr/bin/time >/dev/null || { echo "/usr/bin/time is not installed (Debian: time)" >&2; exit 77; }
seconds() {  # PEAK_FILE COMMAND...: microseconds; the peak in KiB goes to PEAK_FILE
  local t0 t1 peak=$1; shift
  t0=$(date +%s%N); /usr/bin/time -f %M -o "$peak" "$@" >/dev/null 2>&1; t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000 ))
}
compare() {  # FILE RUNS TARGET
  local best_cli=999999999 best_sox=999999999 peak_cli=0 peak_sox=0 c s m
  for _ in $(seq "$2"); do
    c=$(seconds "$work/peak" "$cli" "$1"); m=$(tail -1 "$work/peak")
    (( m > peak_cli )) && peak_cli=$m
    s=$(seconds "$work/peak" sox "$1" -n stat); m=$(tail -1 "$work/peak")
    (( m > peak_sox )) && peak_sox=$m
    (( c < best_cli )) && best_cli=$c
    (( s < best_sox )) && best_sox=$s
  done
  awk -v c="$best_cli" -v s="$best_sox" -v mc="$peak_cli" -v ms="$peak_sox" \
      -v name="$(basename "$1")" -v target="$3" 'BEGIN {
    printf "%s: zendrik-cli: %.1f ms   sox stat: %.1f ms   ratio: %.2f (target at most %s)\n",
           name, c / 1000, s / 1000, c / s, target
    printf "%s: peak memory: zendrik-cli %.1f MiB   sox stat %.1f MiB\n", name, mc / 1024, ms / 1024 }'
}
compare "$work/ten-minutes.wav" "$runs" 0.60

# An hour of room noise, the transfer in its last seconds.
sox -V1 "$work/transfer.wav" -r 48000 "$work/late.wav" vol 0.3 pad 3584 0
sox -V1 -n -r 48000 -b 16 -c 1 "$work/room.wav" synth "$(soxi -D "$work/late.wav")" pinknoise vol 0.15
sox -V1 -m "$work/late.wav" "$work/room.wav" "$work/sixty-minutes.wav"
rm -f "$work/late.wav" "$work/room.wav"
"$cli" "$work/sixty-minutes.wav" >/dev/null  # it must decode
compare "$work/sixty-minutes.wav" "$(( runs < 3 ? runs : 3 ))" 10

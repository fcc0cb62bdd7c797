#!/usr/bin/env bash
# What long recordings cost the streamed second receiver (zendrik_stream_receive, which calls
# ReceiveSource on the file): peak resident memory and time, as whole processes, for an hour and
# for four hours of room noise (pink noise) at 48000 Hz with the bundled S510 transfer at its
# very end. For comparison the hour is also decoded by zendrik-cli as it stands.
#   bench/long_recording.sh [BUILD_DIR] [HOURS...]      (default: build, 1 4)
# The four-hour WAV takes 1.4 GB in a temporary folder while it runs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
hours=("$@")
[ ${#hours[@]} -gt 0 ] || hours=(1 4)
receive="$build/bench/zendrik_stream_receive"
cli="$build/zendrik-cli"
command -v sox >/dev/null || { echo "sox is not installed (Debian: sox)" >&2; exit 77; }
command -v /usr/bin/time >/dev/null || { echo "/usr/bin/time is not installed (Debian: time)" >&2; exit 77; }
for program in "$receive" "$cli"; do
  [ -x "$program" ] || { echo "$program is missing: build the zendrik_stream_receive and zendrik-cli targets" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cli" --synthesize "$work/transfer.wav" samples/s510-ride.sld

measure() {  # NAME COMMAND...: peak memory and time of one run; the command must succeed
  local name=$1; shift
  /usr/bin/time -f '%M %e' -o "$work/cost" "$@" >"$work/out" 2>&1 || { cat "$work/out" >&2; exit 1; }
  read -r kib secs <"$work/cost"
  awk -v n="$name" -v k="$kib" -v s="$secs" 'BEGIN { printf "%s: peak %.1f MiB, %.1f s\n", n, k / 1024, s }'
}

for h in "${hours[@]}"; do
  seconds=$(( h * 3600 ))
  # As compare_sox.sh makes its hour: the transfer in the last seconds of room noise.
  sox -V1 "$work/transfer.wav" -r 48000 "$work/late.wav" vol 0.3 pad $(( seconds - 16 )) 0
  sox -V1 -n -r 48000 -b 16 -c 1 "$work/room.wav" synth "$(soxi -D "$work/late.wav")" pinknoise vol 0.15
  sox -V1 -m "$work/late.wav" "$work/room.wav" "$work/long.wav"
  rm -f "$work/late.wav" "$work/room.wav"
  measure "$h h, streamed second receiver" "$receive" "$work/long.wav"
  grep -q '^transfer at' "$work/out" || { echo "the transfer was not received" >&2; cat "$work/out" >&2; exit 1; }
  [ "$h" -gt 1 ] || measure "$h h, zendrik-cli" "$cli" "$work/long.wav"
  rm -f "$work/long.wav"
done

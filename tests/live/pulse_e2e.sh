#!/usr/bin/env bash
# End to end with a real sound server: a private PulseAudio with one virtual microphone fed
# through a FIFO. A synthesized transfer played into it must come out of zendrik-cli
# --microphone (and once out of the desktop program) exactly as decoding its dump does; so must
# a Coach transfer, whose slower bits make its head longer than the collection keeps while it
# waits, started at several moments of the reading, and an impaired transfer at 48000 Hz whose
# block the exact pass finds broken, through the second receiver.
# Usage: pulse_e2e.sh BUILD_DIR
set -euo pipefail
build=$1
cli=$build/zendrik-cli
feeder=$build/tests/zendrik_fifo_feeder
command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed"; exit 77; }

work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
server_pid=""
stop_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
  server_pid=""
}
trap 'stop_server; rm -rf "$work"' EXIT

# The virtual microphone runs at the rate given (44100 by default); the server converts it to
# the rate the program asks for.
start_server() {
  stop_server
  rm -f "$work/fifo"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --log-target=stderr \
    --load="module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" \
    --load="module-pipe-source source_name=virtmic file=$work/fifo format=s16le rate=${1:-44100} channels=1" \
    2>"$work/pulse.log" &
  server_pid=$!
  for _ in $(seq 100); do [ -p "$work/fifo" ] && [ -S "$work/pulse.sock" ] && return 0; sleep 0.05; done
  echo "the sound server did not come up:"; cat "$work/pulse.log"; exit 1
}
export PULSE_SERVER=unix:$work/pulse.sock

"$build/tests/zendrik_make_sample" --short "$work/run.sld"
"$cli" --synthesize "$work/run.wav" "$work/run.sld"
"$cli" "$work/run.sld" > "$work/expected.hrm"

# The command line, twice: each run must receive the transfer and exit cleanly.
for round in 1 2; do
  start_server
  ( sleep 1; "$feeder" "$work/run.wav" "$work/fifo" ) &
  feed=$!
  status=0
  "$cli" --microphone --seconds 30 > "$work/got.hrm" 2> "$work/cli.err" || status=$?
  wait "$feed" || true
  if [ "$status" -ne 0 ] || ! cmp -s "$work/expected.hrm" "$work/got.hrm"; then
    echo "round $round: zendrik-cli --microphone exited $status"; cat "$work/cli.err"; exit 1
  fi
  grep -q "complete" "$work/cli.err"
  # Into a file the progress is a line per state and per tenth of the bytes, not one per change.
  lines=$(wc -l < "$work/cli.err")
  [ "$lines" -le 20 ] || { echo "round $round: $lines lines of progress"; cat "$work/cli.err"; exit 1; }
done
echo "zendrik-cli --microphone received the transfer exactly"

# On a terminal the progress is one line rewritten in place, ended before the report.
if command -v script >/dev/null; then
  start_server
  ( sleep 1; "$feeder" "$work/run.wav" "$work/fifo" ) &
  feed=$!
  status=0
  script -qec "'$cli' --microphone --seconds 30 > '$work/got.hrm'" /dev/null > "$work/tty.out" || status=$?
  wait "$feed" || true
  if [ "$status" -ne 0 ] || ! cmp -s "$work/expected.hrm" "$work/got.hrm" ||
     ! grep -q $'\rzendrik-cli: complete' "$work/tty.out" || [ "$(wc -l < "$work/tty.out")" -gt 2 ]; then
    echo "on a terminal: zendrik-cli --microphone exited $status"; cat -A "$work/tty.out"; exit 1
  fi
  echo "on a terminal: one progress line"
fi

# A broken block: the reading says so, and what to do, and goes on listening until the time is up.
awk 'NR == 30 { v = substr($0, 1, 2); printf "%s\r\n", (v == "00" ? "01" : "00"); next } { print }' \
  "$work/run.sld" > "$work/broken.sld"
"$cli" --synthesize "$work/broken.wav" "$work/broken.sld"
start_server
( sleep 1; "$feeder" "$work/broken.wav" "$work/fifo" ) &
feed=$!
status=0
"$cli" --microphone --seconds 8 > /dev/null 2> "$work/cli.err" || status=$?
wait "$feed" || true
if [ "$status" -ne 5 ] || ! grep -q "CRC error" "$work/cli.err" || ! grep -q "blocks fail their check: " "$work/cli.err"; then
  echo "a broken block: exit $status"; cat "$work/cli.err"; exit 1
fi
echo "a broken block: the advice, and listening on"

# An impaired transfer at 48000 Hz: the watch 1 % fast, a room's echo and hiss, and a burst of
# noise over its second block, which the exact pass finds broken. The second receiver then reads
# the transfer from the sound it kept, once the rest of it has come, and the report is exact.
# The sound ends a few seconds after the transfer: the hand-over must not wait for the second
# receiver's next pass on its own schedule.
if command -v sox >/dev/null; then
  sox "$work/run.wav" -r 48000 "$work/tone.wav" speed 1.01 rate 48000 reverb 20 50 40 pad 1 3
  sox -R -n -r 48000 -c 1 "$work/burst.wav" synth 0.3 whitenoise vol 0.2 pad 3
  sox -R -n -r 48000 -c 1 "$work/hiss.wav" synth "$(soxi -D "$work/tone.wav")" pinknoise vol 0.02
  sox -m "$work/tone.wav" "$work/burst.wav" "$work/hiss.wav" "$work/impaired.wav"
  start_server 48000
  ( sleep 1; "$feeder" "$work/impaired.wav" "$work/fifo" ) &
  feed=$!
  status=0
  "$cli" --microphone --verbose --seconds 20 > "$work/got.hrm" 2> "$work/cli.err" || status=$?
  wait "$feed" || true
  if ! grep -q "CRC error" "$work/cli.err"; then
    echo "impaired at 48000 Hz: the exact pass read every block; the test needs a harder recording"
    cat "$work/cli.err"; exit 1
  fi
  if [ "$status" -ne 0 ] || ! cmp -s "$work/expected.hrm" "$work/got.hrm" ||
     ! grep -q "second receiver reading" "$work/cli.err" ||
     ! grep -q "^Receiver: second" "$work/cli.err"; then
    echo "impaired at 48000 Hz: zendrik-cli --microphone exited $status"; cat "$work/cli.err"; exit 1
  fi
  echo "impaired at 48000 Hz: a broken block, then the second receiver's exact report"
fi

"$build/tests/zendrik_make_sample" --coach "$work/coach.sld"
"$cli" --synthesize "$work/coach.wav" "$work/coach.sld"
"$cli" "$work/coach.sld" > "$work/coach.hrm"
for quiet_ms in 0 250 500; do
  start_server
  ( sleep 1; "$feeder" "$work/coach.wav" "$work/fifo" "$quiet_ms" ) &
  feed=$!
  status=0
  "$cli" --microphone --model 2 --seconds 30 > "$work/got.hrm" 2> "$work/cli.err" || status=$?
  wait "$feed" || true
  if [ "$status" -ne 0 ] || ! cmp -s "$work/coach.hrm" "$work/got.hrm"; then
    echo "Coach after ${quiet_ms} ms of quiet: zendrik-cli --microphone exited $status"; cat "$work/cli.err"; exit 1
  fi
done
echo "zendrik-cli --microphone received the Coach transfer exactly, whenever it started"

# No sound server: the device error, not a hang.
stop_server
status=0
timeout 20 "$cli" --microphone --seconds 10 > /dev/null 2> "$work/cli.err" || status=$?
[ "$status" -eq 1 ] || { echo "without a server: exit $status"; cat "$work/cli.err"; exit 1; }
grep -q "Could not open the sound input" "$work/cli.err"
echo "without a sound server: the device error"

# The server going away mid-transfer: the device error again.
start_server
( sleep 1; "$feeder" "$work/run.wav" "$work/fifo" ) >/dev/null 2>&1 &
( sleep 2; kill "$server_pid" ) &
status=0
timeout 20 "$cli" --microphone --seconds 15 > /dev/null 2> "$work/cli.err" || status=$?
[ "$status" -eq 1 ] || { echo "server gone: exit $status"; cat "$work/cli.err"; exit 1; }
echo "sound server gone mid-transfer: the device error"
server_pid=""
wait 2>/dev/null || true

# The desktop program once: the microphone command completes by itself and shows the report.
if [ -x "$build/tests/zendrik_gui_tests" ]; then
  start_server
  ZENDRIK_LIVE_AUDIO_WAV=$work/run.wav ZENDRIK_LIVE_AUDIO_FIFO=$work/fifo \
  ZENDRIK_LIVE_AUDIO_FEEDER=$feeder ZENDRIK_LIVE_AUDIO_EXPECTED=$work/expected.hrm \
  QT_QPA_PLATFORM=offscreen "$build/tests/zendrik_gui_tests" > "$work/gui.log" 2>&1 || {
    cat "$work/gui.log"; exit 1; }
  grep -q "PASS   : ReadingDialogTest::microphoneCommandWithARealSoundServer" "$work/gui.log" || {
    cat "$work/gui.log"; exit 1; }
  echo "zendrik received the transfer from the sound server"
fi

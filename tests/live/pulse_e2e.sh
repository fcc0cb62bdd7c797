#!/usr/bin/env bash
# End to end with a real sound server: a private PulseAudio with one virtual microphone fed
# through a FIFO. A synthesized transfer played into it must come out of zendrik-cli
# --microphone (and once out of the desktop program) exactly as decoding its dump does; so must
# a Coach transfer, whose slower bits make its head longer than the collection keeps while it
# waits, started at several moments of the reading.
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

start_server() {
  stop_server
  rm -f "$work/fifo"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --log-target=stderr \
    --load="module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" \
    --load="module-pipe-source source_name=virtmic file=$work/fifo format=s16le rate=44100 channels=1" \
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
done
echo "zendrik-cli --microphone received the transfer exactly"

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

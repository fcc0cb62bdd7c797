# Shared by scripts/fuzz-smoke and scripts/fuzz-long (sourced, not run): the harnesses, the
# options each one runs with, and the clang build of them.

ZENDRIK_HARNESSES=(dump wave demodulator decoders cli_options export second_receiver audio_file
  phone_audio)

# libFuzzer options of one harness: how long an input may be and what helps it along.
harness_options() {
  local fuzz_dir=$1 name=$2
  case "$name" in
    dump)        echo "-max_len=16384 -use_value_profile=1 -dict=$fuzz_dir/dump.dict" ;;
    wave)        echo "-max_len=65536 -use_value_profile=1 -dict=$fuzz_dir/wave.dict" ;;
    demodulator) echo "-max_len=65536" ;;
    second_receiver) echo "-max_len=65536" ;;
    audio_file)  echo "-max_len=65536 -use_value_profile=1" ;;
    phone_audio) echo "-max_len=65536 -use_value_profile=1 -dict=$fuzz_dir/phone_audio.dict" ;;
    decoders)    echo "-max_len=8192 -use_value_profile=1" ;;
    cli_options) echo "-max_len=1024 -dict=$fuzz_dir/cli_options.dict" ;;
    export)      echo "-max_len=8192" ;;
  esac
}

# Configures and builds the harnesses and the seed maker in $1 with clang.
build_harnesses() {
  local build=$1
  if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DZENDRIK_FUZZ=ON -DZENDRIK_WERROR=ON \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$build"
}

# Makes the seeds afresh in $1/seeds (they are generated, never kept) and the folders runs
# write to.
make_seeds() {
  local build=$1
  rm -rf "$build/seeds"
  "$build/fuzz/zendrik_make_seeds" "$build/seeds"
  mkdir -p "$build/findings" "$build/logs"
}

# Prints the executions, speed and time of a finished run from its log.
run_stats() {
  local log=$1
  local execs speed
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  echo "${execs:-?} executions, ${speed:-?} exec/s"
}

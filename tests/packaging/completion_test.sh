#!/usr/bin/env bash
# Sources the bash completion of zendrik-cli as bash does and checks what it offers for a few
# command lines. Usage: completion_test.sh COMPLETION_FILE ZENDRIK_CLI_FOLDER
# Exits 77 (skipped) without the bash-completion package.
completion=$1
framework=/usr/share/bash-completion/bash_completion
[[ -r $framework ]] || { echo "bash-completion is not installed"; exit 77; }
export LC_ALL=C
PATH=$2:$PATH
# shellcheck source=/dev/null
source "$framework"
# shellcheck source=/dev/null
source "$completion"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch a.wav B.SLD c.txt d.flac e.opus f.mp3 g.ogg
mkdir sub

# What the completion offers for the words given, the last one being completed, sorted.
offers() {
    COMP_WORDS=(zendrik-cli "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    # bash splits "--format=c" into three words, with nothing between them on the line.
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_LINE=${COMP_LINE// = /=}
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _zendrik_cli zendrik-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
    printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}

failures=0
# expect "OFFERED" WORD...: exactly these; expect_some "OFFERED" WORD...: at least these.
expect() {
    local wanted=$1 got
    shift
    got=$(offers "$@")
    [[ $got == "$wanted" ]] && return
    echo "zendrik-cli $*<TAB>: offered '$got', expected '$wanted'"
    failures=$((failures + 1))
}
expect_some() {
    local wanted=$1 got word
    shift
    got=" $(offers "$@") "
    for word in $wanted; do
        [[ $got == *" $word "* ]] && continue
        echo "zendrik-cli $*<TAB>: offered '$got', which lacks '$word'"
        failures=$((failures + 1))
    done
}

expect "--format" --for
expect "--microphone --model" --m
expect_some "--help --version --no-tenths --csv-separator --value-format --decimal --time --date --synthesize --seconds -o" -
expect "1 2 4" --model ""
expect_some "csv hrm hrm-compat sld" --format ""
expect "hrm hrm-compat" --format h
expect "csv" --format = c
expect "tab" --csv-separator t
expect "regional" --value-format r
expect "" --decimal ""
expect "B.SLD a.wav d.flac e.opus f.mp3 g.ogg sub" ""
expect "B.SLD a.wav d.flac e.opus f.mp3 g.ogg sub" --format csv ""
expect "a.wav sub" --synthesize ""
expect "B.SLD a.wav c.txt d.flac e.opus f.mp3 g.ogg sub" -o ""
if [[ -f /usr/share/zoneinfo/Europe/Berlin ]]; then
    expect "Europe/Berlin" --timezone Europe/Berl
    expect "Europe/" --timezone Europ
fi
exit $((failures > 0))

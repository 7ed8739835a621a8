#!/usr/bin/env bash
# usage: demo_options_test.sh SCRIPTS_DEMO HOST_SESSION
set -uo pipefail
demo=$1
host_session=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
passed=0
failed=0

check() {  # NAME EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
    fi
}

help=$("$demo" --help)
check "--help exits 0" 0 $?
usage=$(sed '/^$/,$d' <<<"$help")
check "the usage names the demo" "usage: scripts/demo [--native] [options]" "$(head -n 1 <<<"$usage")"

# Each refused before the demo makes its work folder, builds or starts anything.
refused() {  # MESSAGE ARGUMENTS...
    local message=$1
    shift
    local tmp=$scratch/tmp
    rm -rf "$tmp" && mkdir "$tmp"
    local out err status
    out=$(TMPDIR=$tmp "$demo" "$@" 2>"$scratch/err")
    status=$?
    err=$(cat "$scratch/err")
    check "$* exit status" 2 "$status"
    check "$* output" "" "$out"
    check "$* message" "scripts/demo: $message"$'\n'"see --help" "$err"
    check "$* started nothing" "" "$(ls -A "$tmp")"
}
refused "--trials: expects 1 to 1000" --trials 0
refused "--trials: expects 1 to 1000" --native --trials 1001
refused "--display: expects WIDTHxHEIGHT in pixels, 1 to 100000 each" --display 0x0
refused "--screen: expects WIDTHxHEIGHT in pixels, 1 to 100000 each" --screen 1920x
refused "--rate: expects 1 to 50000" --rate abc
refused "--rate: expects 1 to 50000" --rate 50001
refused "--frame-rate: expects 1 to 1000" --frame-rate 0.5
refused "--trial-ms: expects 1 to 3600000" --trial-ms 1.5
refused "--seed: expects a non-negative integer" --seed -1
refused "--seed: expects a non-negative integer" --seed 18446744073709551616
refused "--samples: expects a non-negative integer" --samples many
refused "--binocular-offset: expects -1000 to 1000 pixels" --binocular-offset 1000.5
refused "--start-result: expects an integer" --start-result 2147483648
refused "--calibrate-result: expects an integer" --calibrate-result 1.0
refused "--calibration-ms: expects milliseconds, 0 or more" --calibration-ms -1
refused "--drop-after-ms: expects milliseconds, 0 or more" --drop-after-ms 1000000001
refused "--event: expects CODE@MS" --event 4
refused "--event: expects CODE@MS" --event 4@-5
refused "--replay: no file $scratch/none.csv" --replay "$scratch/none.csv"
# Only a recording is replayed, refused in the words of the tools.
printf '# Tyvarion NBS\n\nscripts/demo\n' >"$scratch/README.md"
refused "--replay: not a recording: $scratch/README.md does not begin with the lines \"Sep=;\" and \"timestamp [us];<tab>index;...\"" \
    --replay "$scratch/README.md"
: >"$scratch/empty.csv"
refused "--replay: not a recording: $scratch/empty.csv is empty" --replay "$scratch/empty.csv"
mkdir "$scratch/folder.csv"
refused "--replay: not a recording: $scratch/folder.csv is a directory" --replay "$scratch/folder.csv"
refused "--screen-mm: expects WIDTHxHEIGHT in millimetres, for example 531x299" --screen-mm 0x299
refused "--distance-mm: expects a distance in millimetres, for example 650" --distance-mm far
refused "--trials: missing value" --trials
refused "unknown option --port" --port 4000
refused "unknown option --exit-on-stdin-eof" --exit-on-stdin-eof
refused "--late-bound goes through COM; it cannot be combined with --native" --native --late-bound
refused "--x86 runs the Windows x86 DLL; it cannot be combined with --native" --x86 --native
# A bad value after good ones is still found first.
refused "--display: expects WIDTHxHEIGHT in pixels, 1 to 100000 each" --start-result 2 --event 1@500 --display 08x

# The demo's help explains what host-session's does, in the same words.
session_help=$("$host_session" --help)
check "host-session --help exits 0" 0 $?
explained=$(sed -n '/^Status values/,$p' <<<"$session_help")
check "host-session explains the status values" "Status values (GetStatus, at the end of each trial line):" \
    "$(head -n 1 <<<"$explained")"
check "the demo explains the same" "$explained" "$(sed -n '/^Status values/,$p' <<<"$help")"
for value in 0x40 0x10 0x18 0x07 0x0F; do
    check "$value explained" 1 "$(grep -c "^  $value  " <<<"$explained")"
done
check "--start-result 2" 1 "$(grep -c '^ *2      S_FALSE  "no eye tracking device connected"$' <<<"$explained")"
check "--calibrate-result 4" 1 "$(grep -c '^ *4      "failed to calibrate: already calibrating"$' <<<"$explained")"
check "--event 4" 1 "$(grep -c '^ *4       tracking stopped: status 0x18 while recording$' <<<"$explained")"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]

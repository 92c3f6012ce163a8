#!/bin/sh
# The program itself on the simulator with two sources: the instrument on a
# pseudo-terminal (preferred) and a gyro over UDP in the IEC 61162-450 form
# whose heading drifts away by 30 degrees a minute; the instrument falls
# silent from 8 s to 11 s. The event log must tell the story in order: the
# difference alarm, the failover to the gyro, the alarm over while nothing is
# compared, the alarm again once the instrument is back, the failback; and
# each record must hold its own source's stream alone. The program runs as a
# service (--headless, no display): its error stream tells the same story,
# and SIGTERM ends it with the event log closed.
#
#   tests/e2e/two_sources.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d)
sim=
cleanup() {
    [ -n "$sim" ] && { pkill -TERM -P "$sim" 2>/dev/null || true; kill "$sim" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "two_sources: $*" >&2; exit 1; }
export HOME="$work" XDG_CONFIG_HOME="$work/config"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$XDG_CONFIG_HOME/Quillmar Solution" "$work/rec"
cat >"$XDG_CONFIG_HOME/Quillmar Solution/Quillmar.ini" <<INI
[General]
StaleSeconds=1
FailbackSeconds=2
HeadingDiffSetSeconds=1
HeadingDiffClearSeconds=1
INI
port=$((61000 + $$ % 4000))
"$build/quillmar-sim" --rate 10 --n-every 0 --drop-after 8 --drop-for 3 \
    --source-out "gyro=udp:127.0.0.1:$port,format=iec450,id=GY0001,drift=30" \
    --run-app "$build/quillmar" --headless --record-folder "$work/rec" --source "gyro=udp://:$port" \
    >"$work/sim.log" 2>&1 &
sim=$!

events() { cat "$work"/rec/*-events.csv 2>/dev/null || true; }
# Waits on the story's end, a minute at most (it takes about 14 s).
i=0
until events | grep -q ',heading,source-failback,'; do
    i=$((i + 1))
    [ "$i" -le 600 ] || { events >&2; cat "$work/sim.log" >&2; fail "no failback within 60 s"; }
    sleep 0.1
done
story=$(events | cut -d, -f2-5 | grep -E '^(heading|heading-difference|data),' |
    sed -e 's|/dev/pts/[0-9]*|PTY|g' -e 's/^\(heading-difference,[a-z]*\),.*/\1/')
expected='heading-difference,active
heading,source-switch,PTY,gyro
heading-difference,rectified
heading-difference,active
heading,source-failback,gyro,PTY'
[ "$story" = "$expected" ] || { printf 'got:\n%s\nexpected:\n%s\n' "$story" "$expected" >&2; fail "the event log tells another story"; }

first=$(ls "$work"/rec/*.txt | grep -v -- '-gyro\.txt$')
gyro=$(ls "$work"/rec/*-gyro.txt)
[ -s "$first" ] && [ -s "$gyro" ] || fail "a record is missing or empty"
! grep -q 'GY0001\|HEHDT' "$first" || fail "the instrument's record holds the gyro's lines"
[ "$(grep -cv '^\\s:GY0001,' "$gyro")" = 0 ] || fail "the gyro's record holds other lines"
[ -s "${gyro%.txt}-times.bin" ] && [ -s "${gyro%.txt}-raw.bin" ] || fail "the gyro's timing file or raw capture is missing"
said=$(grep -E '^[0-9T:.Z-]+,(heading|heading-difference|data),' "$work/sim.log" |
    cut -d, -f2-5 | sed -e 's|/dev/pts/[0-9]*|PTY|g' -e 's/^\(heading-difference,[a-z]*\),.*/\1/')
[ "$said" = "$expected" ] || { cat "$work/sim.log" >&2; fail "the error stream tells another story"; }
# Ended as a service is: SIGTERM to the program, the simulator ends with it.
kill -TERM $(cat /proc/$sim/task/$sim/children)
wait "$sim" || true
sim=
events | tail -1 | grep -q ',program,end,' || { events >&2; fail "no program,end after SIGTERM"; }
echo "two_sources: the story, told on the error stream too, and both records as they should be"

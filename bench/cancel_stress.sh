#!/usr/bin/env bash
# Cancels gcal-extract from its second thread at seeded random moments and checks every result:
# the exit status, PRAGMA integrity_check, and that the stored rows are exactly the first rows of
# an uncancelled run.   bench/cancel_stress.sh BUILD_DIR [RUNS] [SEED]
set -euo pipefail
build=$(cd "${1:?usage: bench/cancel_stress.sh BUILD_DIR [RUNS] [SEED]}" && pwd)
runs=${2:-100}
RANDOM=${3:-20261210}
work=$(mktemp -d /tmp/gcal-cancel.XXXXXX)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

"$build/bench/generate_takeout" "$work/takeout" 60000 6 11 >/dev/null
uids() { sqlite3 "$1/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite" \
    "SELECT event_uid FROM calendar_events ORDER BY rowid"; }

start=$(date +%s%N)
"$build/gcal-extract" -q "$work/takeout" "$work/full" >/dev/null
full_ms=$(( ($(date +%s%N) - start) / 1000000 ))
uids "$work/full" >"$work/full.txt"
total=$(wc -l <"$work/full.txt")
echo "uncancelled: $total rows in ${full_ms} ms"

failures=0; cancelled=0
for i in $(seq "$runs"); do
    delay=$(( RANDOM % (full_ms + 50) ))
    rm -rf "$work/run"
    status=0
    "$build/gcal-extract" -q --cancel-after-ms "$delay" "$work/takeout" "$work/run" >/dev/null 2>"$work/stderr" || status=$?
    db="$work/run/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite"
    check=$(sqlite3 "$db" "PRAGMA integrity_check" 2>&1 || true)
    uids "$work/run" >"$work/run.txt" 2>/dev/null || true
    rows=$(wc -l <"$work/run.txt")
    problem=""
    [ "$status" = 0 ] || [ "$status" = 5 ] || problem="exit $status"
    [ "$check" = ok ] || problem="$problem integrity: $check"
    head -n "$rows" "$work/full.txt" | cmp -s - "$work/run.txt" || problem="$problem rows are not the first $rows"
    grep -q "ThreadSanitizer" "$work/stderr" && problem="$problem race report"
    [ "$status" = 5 ] && cancelled=$((cancelled + 1))
    if [ -n "$problem" ]; then
        failures=$((failures + 1)); echo "run $i (cancel after ${delay} ms): $problem"
    fi
done
echo "$runs runs, $cancelled cancelled in the middle or before, $failures failed"
[ "$failures" = 0 ]

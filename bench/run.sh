#!/usr/bin/env bash
# Speed and memory of a whole gcal-extract run against the plain sqlite3 floor, on generated
# Google-shaped Takeout folders, and of the timeline of the extracted events. Usage: bench/run.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: bench/run.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-3}
work=${BENCH_WORK:-$(mktemp -d /tmp/gcal-bench.XXXXXX)}
export QT_QPA_PLATFORM=offscreen

echo "machine: $(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
"$build/bench/generate_takeout" "$work/many" 100000 20 1
"$build/bench/generate_takeout" "$work/single" 750000 1 2
many_mb=$(du -sm "$work/many/Calendar" | cut -f1)
single_mb=$(du -sm "$work/single/Calendar" | cut -f1)

measure() { # measure COMMAND...: one timed run, prints "seconds peak_kib"
    /usr/bin/time -o "$work/time.txt" -f "%e %M" "$@" >/dev/null 2>&1
    cat "$work/time.txt"
}

summary() { # summary LABEL EVENTS MB FILE_OF_"seconds kib"_LINES [FLOOR_MEDIAN]
    python3 - "$@" <<'PY'
import statistics, sys
label, events, mb, path = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), sys.argv[4]
floor = float(sys.argv[5]) if len(sys.argv) > 5 else None
rows = [tuple(map(float, l.split())) for l in open(path) if l.strip()]
secs = [r[0] for r in rows]; mem = [r[1] / 1024 for r in rows]
med = statistics.median(secs)
eps = lambda s: events / s if s > 0 else float("inf")
line = (f"{label:<28} {eps(med):>9.0f} events/s (min {eps(max(secs)):.0f}, max {eps(min(secs)):.0f})"
        f"  {mb / med:>7.1f} MB/s  peak {statistics.median(mem):.1f} MiB (max {max(mem):.1f})")
if floor:
    line += f"  ratio to floor {floor / med:.2f}"
print(line)
print(med, file=open(path + ".median", "w"))
PY
}

: >"$work/floor.txt"; : >"$work/extract.txt"; : >"$work/libical.txt"
for i in $(seq "$runs"); do
    measure "$build/bench/libical_parse" "$work/many" >>"$work/libical.txt"
    rm -f "$work/floor.sqlite"; measure "$build/bench/floor" "$work/many" "$work/floor.sqlite" >>"$work/floor.txt"
    rm -rf "$work/out"; measure "$build/gcal-extract" -q "$work/many" "$work/out" >>"$work/extract.txt"
done
summary "floor (100k events, 20 files)" 100000 "$many_mb" "$work/floor.txt"
summary "gcal-extract (same files)" 100000 "$many_mb" "$work/extract.txt" "$(cat "$work/floor.txt.median")"
summary "libical parse (same files)" 100000 "$many_mb" "$work/libical.txt"

# The timeline of the last extraction: every series expanded, one JSON line per entry.
rm -f "$work/timeline.jsonl"
read -r seconds kib < <(measure "$build/gcal-timeline" "$work/out/Artifacts_Result/Google_Calendar/Google_Calendar.sqlite" \
    "$work/timeline.jsonl")
printf '%-28s %s entries  %s MB JSONL  %s s  peak %s MiB\n' "gcal-timeline (same events)" \
    "$(wc -l <"$work/timeline.jsonl")" "$(du -m "$work/timeline.jsonl" | cut -f1)" "$seconds" "$((kib / 1024))"
rm -f "$work/timeline.jsonl"

: >"$work/single.txt"
for i in $(seq "$runs"); do
    rm -rf "$work/out"; measure "$build/gcal-extract" -q "$work/single" "$work/out" >>"$work/single.txt"
done
summary "gcal-extract (one ${single_mb} MB file)" 750000 "$single_mb" "$work/single.txt"
[ -n "${BENCH_WORK:-}" ] || rm -rf "$work"

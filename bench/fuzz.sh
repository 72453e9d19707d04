#!/usr/bin/env bash
# Fuzzes with libFuzzer for SECONDS (default 600) with one niced worker.
#   bench/fuzz.sh [SECONDS] [TARGET]
# TARGET ics (default): the event reader, seeded with the shared .ics corpus; new crash inputs
#   land in tests/data/fuzz-regressions/, where the test suite replays them.
# TARGET archives: gcal-extract's handling of archive entries (zip and tar through libarchive),
#   seeded with tests/data/archive-fuzz-seeds/ (made by its make_seeds.py); new crash inputs land
#   there too, and tst_takeout_archives replays every file of that folder.
# The corpus each grows stays in build-fuzz/ for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
target=${2:-ics}
case "$target" in
ics)
    binary=ics_reader_fuzzer; corpus=build-fuzz/corpus
    seeds="../shared/corpus/ics tests/data/zones/Calendar tests/data/people/Calendar"
    kept=tests/data/fuzz-regressions; max_len=65536 ;;
archives)
    binary=archive_fuzzer; corpus=build-fuzz/archive-corpus; seeds=tests/data/archive-fuzz-seeds
    kept=tests/data/archive-fuzz-seeds; max_len=262144 ;;
*)
    echo "unknown target $target (ics or archives)" >&2; exit 2 ;;
esac
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGCAL_FUZZ=ON -DGCAL_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
nice -n 10 cmake --build build-fuzz --target "$binary" -- -j1
mkdir -p "$corpus" "$kept"
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
log=build-fuzz/fuzz-$target-$(date +%Y%m%d-%H%M%S).log
status=0
nice -n 10 "build-fuzz/$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$kept/" \
    "$corpus" $seeds >"$log" 2>&1 || status=$?
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb|INFO: seed corpus)|ERROR|SUMMARY|==[0-9]+==' \
    "$log" || true
echo "full log: $log"
ls "$kept/" | grep -E '^(crash|leak|timeout|oom)-' | sed 's/^/kept: /' || true
exit "$status"

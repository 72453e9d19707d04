#!/usr/bin/env bash
# Fuzzes the event reader for SECONDS (default 600) with one niced worker, seeded with the shared
# .ics corpus. New crash inputs land in tests/data/fuzz-regressions/, where the test suite
# replays them; the corpus it grows stays in build-fuzz/corpus for the next run.
#   bench/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGCAL_FUZZ=ON -DGCAL_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
nice -n 10 cmake --build build-fuzz --target ics_reader_fuzzer -- -j1
mkdir -p build-fuzz/corpus tests/data/fuzz-regressions
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
log=build-fuzz/fuzz-$(date +%Y%m%d-%H%M%S).log
status=0
nice -n 10 build-fuzz/ics_reader_fuzzer -max_total_time="$seconds" -max_len=65536 -timeout=20 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix=tests/data/fuzz-regressions/ \
    build-fuzz/corpus ../shared/corpus/ics tests/data/zones/Calendar tests/data/people/Calendar >"$log" 2>&1 || status=$?
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb|INFO: seed corpus)|ERROR|SUMMARY|==[0-9]+==' \
    "$log" || true
echo "full log: $log"
ls tests/data/fuzz-regressions/ | grep -v README.md | sed 's/^/kept: /' || true
exit "$status"

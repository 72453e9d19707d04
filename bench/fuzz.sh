#!/usr/bin/env bash
# Fuzzes the event reader for SECONDS (default 600), seeded with the shared .ics corpus.
# New crash inputs land in tests/data/fuzz-regressions/, where the test suite replays them.
#   bench/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DGCAL_FUZZ=ON -DGCAL_WERROR=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz --target ics_reader_fuzzer
mkdir -p build-fuzz/corpus tests/data/fuzz-regressions
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
build-fuzz/ics_reader_fuzzer -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=4096 \
    -artifact_prefix=tests/data/fuzz-regressions/ build-fuzz/corpus ../shared/corpus/ics 2>&1 | tail -n 20

#!/usr/bin/env bash
# Builds the parsers' fuzz targets with clang and libFuzzer and runs each for
# a while (FUZZ_SECONDS, default 60), starting from the seed corpus. New
# inputs that find new paths land in build-fuzz/corpus/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
source ./scripts/deps.sh
PG_PACKAGES+=(clang libclang-rt-14-dev)
pg_install_deps
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DPG_FUZZ=ON
cmake --build build-fuzz --target fuzz_idn fuzz_end_of_response fuzz_settings_file \
    fuzz_sim_line fuzz_spin_parse
for target in fuzz_idn fuzz_end_of_response fuzz_settings_file fuzz_sim_line fuzz_spin_parse; do
    mkdir -p "build-fuzz/corpus/$target"
    echo "== $target"
    QT_QPA_PLATFORM=offscreen "build-fuzz/bin/$target" -max_total_time="${FUZZ_SECONDS:-60}" \
        -print_final_stats=1 "build-fuzz/corpus/$target" "tests/fuzz/corpus/$target"
done

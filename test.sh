#!/usr/bin/env bash
# Builds pg5400 and runs the whole test suite headless, twice: a normal build
# and one with address and undefined-behaviour sanitizers (PG_SANITIZE=0 skips
# the second). Installs what it needs on a fresh Debian machine.
set -euo pipefail
cd "$(dirname "$0")"
source ./scripts/deps.sh
pg_install_deps

jobs=$(nproc 2>/dev/null || echo 2)

build_and_test() {
    local dir=$1 started=$SECONDS
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j "$jobs"
    local built=$SECONDS
    # One test more than cores: most of a test's time is spent waiting on the
    # simulated instrument's serial timing, not computing (twice as many
    # made a timing-sensitive test fail once in four runs).
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure -j $((jobs + 1))
    echo "$dir: built in $((built - started)) s, tested in $((SECONDS - built)) s"
}

build_and_test build -DPG_SANITIZE=OFF
scripts/check_install.sh build
if [ "${PG_SANITIZE:-1}" != 0 ]; then
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    build_and_test build-asan -DPG_SANITIZE=ON
fi
echo "All tests passed."

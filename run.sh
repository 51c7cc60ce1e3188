#!/usr/bin/env bash
# Builds pg5400 and starts the panel on the built-in simulated instrument.
# Arguments are passed on, e.g. ./run.sh -simulate=5404+ -log
set -euo pipefail
cd "$(dirname "$0")"
source ./scripts/deps.sh
pg_install_deps
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"
if [ $# -eq 0 ]; then set -- -simulate; fi
exec ./build/bin/pg5400 "$@"

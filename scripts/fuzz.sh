#!/usr/bin/env bash
# A longer fuzzing run: every target of the linux-fuzz build for SECONDS each
# (default 600) over its corpus. New inputs stay in build/linux-fuzz/fuzz/corpus;
# findings are written to build/linux-fuzz/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"

bash scripts/setup.sh
cmake --preset linux-fuzz -DGLANCE_FUZZ_SECONDS="${seconds}"
cmake --build --preset linux-fuzz
ctest --preset linux-fuzz --timeout "$((seconds + 120))"

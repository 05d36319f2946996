#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test on each build:
# native Linux, Linux under ASan+UBSan, Linux under TSan, Linux release (with
# the benchmarks), and Windows x64 (mingw-w64) under Wine, debug and release
# (the release build is the one that ships).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

presets=("$@")
((${#presets[@]})) || presets=(linux linux-asan linux-tsan linux-release windows windows-release)

for preset in "${presets[@]}"; do
    echo "=== ${preset} ==="
    cmake --preset "${preset}"
    cmake --build --preset "${preset}"
    ctest --preset "${preset}"
done

#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test on each build:
# native Linux, Linux under ASan+UBSan, Linux under TSan, Linux release (with
# the benchmarks), the fuzz targets (clang, each run for a few seconds over its
# corpus), and Windows x64 (mingw-w64) under Wine, debug and release (the
# release build is the one that ships). Last, the payloads that the scenarios
# left on each build are compared byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

presets=("$@")
((${#presets[@]})) || presets=(linux linux-asan linux-tsan linux-release linux-fuzz windows windows-release)

for preset in "${presets[@]}"; do
    echo "=== ${preset} ==="
    cmake --preset "${preset}"
    cmake --build --preset "${preset}"
    ctest --preset "${preset}"
done

# The same scenarios leave the same payload texts on every build.
first=""
for preset in "${presets[@]}"; do
    [ "${preset}" != linux-fuzz ] || continue # plays no scenarios
    for variant in handed self-loaded; do
        run="build/${preset}/tests/host-scenarios/${variant}"
        if [ -z "${first}" ]; then
            first="${run}"
        else
            cmake -DFIRST="${first}" -DSECOND="${run}" -P tests/host/ComparePayloads.cmake
        fi
    done
done

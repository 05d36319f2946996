#!/usr/bin/env bash
# Sets up the machine, builds the release build and runs the main job.
# Until the module host exists, the main job is the benchmark suite of the
# module's code paths.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset linux-release
cmake --build --preset linux-release
./build/linux-release/bench/glance_bench "$@"

#!/usr/bin/env bash
# Sets up the machine, builds the release build and runs the main job:
# kestrel-host plays scenarios/demo.scn (or the scenarios given) against
# Glance.dll and leaves the latest tiles, with their preview, in
# build/linux-release/kestrel-host-out.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset linux-release
cmake --build --preset linux-release
out=build/linux-release/kestrel-host-out
mkdir -p "$out"
# A registry of the job's own unless one is given: the scenarios rewrite the statistics.
KESTREL_REGISTRY="${KESTREL_REGISTRY:-$PWD/$out/registry.db}" \
    ./build/linux-release/bin/kestrel-host --out "$out" "${@:-scenarios/demo.scn}"

#!/usr/bin/env bash
# Sets up the machine, builds the release build and runs the main job:
# kestrel-host plays scenarios/demo.scn (or the scenarios given) against
# Glance.dll and leaves the latest tiles, with their preview, in
# build/<preset>/kestrel-host-out.
#   scripts/run.sh [--windows] [SCENARIO...]
# --windows runs the Windows release build under Wine, in the build's own
# prefix (prepared as the tests prepare it: the development root trusted).
set -euo pipefail
cd "$(dirname "$0")/.."

preset=linux-release
if [ "${1:-}" = "--windows" ]; then
    preset=windows-release
    shift
fi
scenarios=("${@:-scenarios/demo.scn}")

bash scripts/setup.sh
cmake --preset "${preset}"
cmake --build --preset "${preset}"
build="build/${preset}"
out="${build}/kestrel-host-out"
mkdir -p "${out}"

if [ "${preset}" = linux-release ]; then
    # A registry of the job's own unless one is given: the scenarios rewrite the statistics.
    KESTREL_REGISTRY="${KESTREL_REGISTRY:-$PWD/${out}/registry.db}" \
        "./${build}/bin/kestrel-host" --out "${out}" "${scenarios[@]}"
    exit
fi

# The program sees this machine's files under drive Z:.
windows_path() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
ctest --preset "${preset}" -R '^wine_prefix_(up|trust)$' >/dev/null
status=0
args=()
for scenario in "${scenarios[@]}"; do args+=("$(windows_path "${scenario}")"); done
"./${build}/wine-run.sh" "./${build}/bin/kestrel-host.exe" --out "$(windows_path "${out}")" \
    "${args[@]}" || status=$?
"./${build}/wine-prefix.sh" down
[ -f "${out}/preview.html" ] && echo "on this machine: ${out}/preview.html"
exit "${status}"

#!/usr/bin/env bash
# Opens a tile preview in headless Chromium and checks its screenshot: the
# page renders at the window's size and is not blank.
# usage: screenshot-preview.sh PREVIEW.html OUT.png
set -euo pipefail
preview=$1 shot=$2
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
# No network here: every background connection Chromium would make is off.
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --window-size=800,600 --screenshot="$shot" \
    "file://$(realpath "$preview")" >/dev/null 2>&1
python3 "$(dirname "$0")/check-screenshot.py" "$shot" 800 600

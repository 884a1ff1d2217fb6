#!/usr/bin/env bash
# Opens the colour camera's configuration dialog under Xvfb through the host stand-in and writes
# its picture (by default the one README shows): scripts/configure-screenshot.sh [BUILD_DIR] [PNG]
set -euo pipefail
build="${1:-build/default}"
png="${2:-docs/configuration-dialog.png}"
system="$(mktemp -d)"
trap 'rm -rf "$system"' EXIT
mkdir -p "$(dirname "$png")"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tools/korvex-host/korvex-host" --system-path "$system" --screenshot "$png" \
  configure "Basler ruL2098-10gc (21000002)"

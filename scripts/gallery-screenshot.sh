#!/usr/bin/env bash
# Opens the property grid gallery under Xvfb and writes its picture (by default the one README
# shows): scripts/gallery-screenshot.sh [BUILD_DIR] [PNG]
set -euo pipefail
build="${1:-build/default}"
png="${2:-docs/property-grid-gallery.png}"
mkdir -p "$(dirname "$png")"
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tools/korvex-grid-gallery/korvex-grid-gallery" --screenshot "$png"

#!/usr/bin/env bash
# The Win32 configuration dialog under Wine, pictured by its test while the user's value is in
# (by default the picture README shows): scripts/windows-dialog-screenshot.sh [BUILD_DIR] [PNG]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/windows-x64}"
png="$(realpath -m "${2:-docs/configuration-dialog-windows.png}")"
export WINEDEBUG=-all
source scripts/xvfb-up.sh
scripts/wine-up.sh
# The test program alone in a desktop window that Wine draws, frames and title bars included
# (Xvfb has no window manager to draw them).
wine reg add 'HKCU\Software\Wine\AppDefaults\korvex_configure_win32_tests.exe\Explorer' /v Desktop /d Korvex /f >/dev/null
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Korvex /d 1024x768 /f >/dev/null
KORVEX_TRANSPORT=virtual KORVEX_UI_MODULE="$(winepath -w "$build/bin/KorvexEjectorUi.dll")" \
  KORVEX_DIALOG_PICTURE="$(winepath -w "$png")" wine "$build/bin/korvex_configure_win32_tests.exe"
wineserver -k || true
echo "windows-dialog-screenshot: $png"

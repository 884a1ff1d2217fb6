#!/usr/bin/env bash
# Starts the Wine server and Wine's own background processes for the Windows tests, detached from
# every stream: started by the first test instead, they would inherit ctest's pipes and ctest would
# wait for them to close. The server stays until `wineserver -k`.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
wineserver -p </dev/null >/dev/null 2>&1 &
wine cmd /c exit </dev/null >/dev/null 2>&1 || { echo "wine-up: wine cannot run a Windows program" >&2; exit 1; }

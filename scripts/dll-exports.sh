#!/usr/bin/env bash
# Checks the export table of the Windows DLL: exactly the nineteen functions the header declares,
# by their plain names. Reads the file with the cross toolchain's objdump, so no Windows is needed.
#   scripts/dll-exports.sh build/windows/bin/KorvexEjector.dll
set -euo pipefail
dll=$1
header=$(dirname "$0")/../include/KorvexEjector.h
headers=""
for objdump in /usr/bin/*-w64-mingw32-objdump; do  # whichever reads the DLL's architecture
  headers=$("$objdump" -p "$dll" 2>/dev/null) && break
done
[ -n "$headers" ] || { echo "dll-exports: no MinGW-w64 objdump reads $dll" >&2; exit 1; }
exported=$(echo "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
declared=$(sed -n 's/^KORVEX_EXPORT .* KORVEX_CALL \([A-Za-z]*\)(.*/\1/p' "$header" | sort)
if [ "$(echo "$declared" | wc -l)" -ne 19 ]; then
  echo "dll-exports: the header declares $(echo "$declared" | wc -l) functions, not nineteen" >&2
  exit 1
fi
if [ "$exported" != "$declared" ]; then
  echo "dll-exports: $dll exports other names than the header declares:" >&2
  diff <(echo "$declared") <(echo "$exported") >&2 || true
  exit 1
fi
echo "dll-exports: $dll exports exactly the nineteen functions"

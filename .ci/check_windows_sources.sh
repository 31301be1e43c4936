#!/usr/bin/env bash
# After the windows build: every source of the driver's folders was compiled for Windows, every
# language's resource library was built (companions/qnres holds no sources: windres compiles the
# script velm_rescomp writes, and the build reads each DLL's resources back), and no driver file
# reaches the stand-in except through win32.h.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
for source in $(find settings gr2k ui2k exclude companions -name '*.cpp' | sort); do
  if ! find build/windows -name "$(basename "$source").obj" -path "*$(dirname "${source#*/}")*" | grep -q .; then
    echo "not compiled for Windows: $source"; status=1
  fi
done
for table in data/strings/*.txt; do
  library="qnres$(basename "$table" .txt).dll"
  if ! find build/windows -name "$library" | grep -q .; then
    echo "resource library not built for Windows: $library"; status=1
  fi
done
if grep -rnE '#include "(core|spool|eng|ui)/' settings gr2k ui2k exclude companions; then
  echo "driver files above include stand-in headers other than win32.h"; status=1
fi
exit $status

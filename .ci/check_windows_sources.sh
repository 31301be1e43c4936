#!/usr/bin/env bash
# After the windows build: every source of the driver's folders was compiled for Windows, and no
# driver file reaches the stand-in except through win32.h.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
for source in $(find settings gr2k ui2k exclude companions -name '*.cpp' | sort); do
  case "$source" in
    companions/qnres/*) continue ;;  # the resource libraries are generated; see the README
  esac
  if ! find build/windows -name "$(basename "$source").obj" -path "*$(dirname "${source#*/}")*" | grep -q .; then
    echo "not compiled for Windows: $source"; status=1
  fi
done
if grep -rnE '#include "(core|spool|eng|ui)/' settings gr2k ui2k exclude companions; then
  echo "driver files above include stand-in headers other than win32.h"; status=1
fi
exit $status

#!/bin/sh
# Builds the judges with MinGW, each for i686 (what a 32-bit program on Windows sees) and x86_64
# (for a Wine without its 32-bit half):
#   resolve_judge32.exe, resolve_judge64.exe  the registry and type-library functions (wine-acceptance.sh)
#   load_judge32.exe, load_judge64.exe        the DLL loader (loader-acceptance.sh)
# All are committed so the acceptance scripts run without MinGW.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for arch in i686 x86_64; do
    case $arch in i686) bits=32 ;; *) bits=64 ;; esac
    "$arch-w64-mingw32-gcc" -municode -O1 -s -Wall -Wextra -Wl,--no-insert-timestamp \
        -o "$here/resolve_judge$bits.exe" "$here/resolve_judge.c" -loleaut32 -lole32 -ladvapi32
    # The loader's judge imports nothing beyond KERNEL32 and the C run-time, so no DLL it
    # brings in can answer for a library it loads.
    "$arch-w64-mingw32-gcc" -municode -O1 -s -Wall -Wextra -Wl,--no-insert-timestamp \
        -o "$here/load_judge$bits.exe" "$here/load_judge.c"
done
ls -l "$here"/resolve_judge*.exe "$here"/load_judge*.exe

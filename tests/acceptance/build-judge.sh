#!/bin/sh
# Builds the resolution judge with MinGW: resolve_judge32.exe (i686, what a 32-bit program on
# Windows sees) and resolve_judge64.exe (x86_64, for a Wine without its 32-bit half). Both are
# committed so wine-acceptance.sh runs without MinGW.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for arch in i686 x86_64; do
    case $arch in i686) bits=32 ;; *) bits=64 ;; esac
    "$arch-w64-mingw32-gcc" -municode -O1 -s -Wall -Wextra -Wl,--no-insert-timestamp \
        -o "$here/resolve_judge$bits.exe" "$here/resolve_judge.c" -loleaut32 -lole32 -ladvapi32
done
ls -l "$here"/resolve_judge*.exe

#!/bin/sh
# Makes a large DLL for typelib_read_bench with the MinGW toolchain (package mingw-w64): a
# 32-bit image whose resources hold a 10 MB block of data and, after it, the billing library
# of the test fixtures as TYPELIB 1, the way a big control library carries its type library.
#
#   bench/make-large-dll.sh [output.dll] [megabytes]
set -eu

here=$(cd "$(dirname "$0")" && pwd)
output=${1:-/tmp/zantrel-large.dll}
megabytes=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

head -c "$((megabytes * 1024 * 1024))" /dev/urandom > "$work/padding.bin"
cp "$here/../tests/fixtures/typelibs/facturacion.tlb" "$work/library.tlb"
cat > "$work/resources.rc" <<'RC'
100 RCDATA "padding.bin"
1 TYPELIB "library.tlb"
RC
cat > "$work/stub.c" <<'STUB'
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance; (void)reason; (void)reserved;
    return TRUE;
}
STUB
(cd "$work" \
    && i686-w64-mingw32-windres resources.rc -O coff -o resources.o \
    && i686-w64-mingw32-gcc -shared -s -nostdlib -nostartfiles -Wl,--entry,_DllMain@12 -o large.dll stub.c resources.o)
cp "$work/large.dll" "$output"
ls -l "$output"

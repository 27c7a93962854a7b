#!/bin/sh
# Acceptance of a Windows machine's disk as the world (--windows DIR), by equivalence with the
# Wine prefix holding the same machine. In one fresh prefix, type libraries are registered
# (machine-wide and for the user, as plain and expandable paths, for win32 and win64 only) and
# project files are laid out whose references and components resolve or fail for every reason
# the missing verb knows, with programs whose imports are found through the system PATH, the
# user's PATH and KnownDLLs, and the real-world corpus beside them. Then Wine's own regedit
# exports HKEY_LOCAL_MACHINE\Software, HKEY_LOCAL_MACHINE\System and HKEY_CURRENT_USER, and
# hivexregedit writes each export into a hive file of its own, placed where Windows keeps
# them: drive_c/windows/system32/config/SOFTWARE and SYSTEM, and the user's NTUSER.DAT in
# drive_c/users/<the prefix's user>. The prefix's drive_c is then a Windows system's disk whose
# registry holds what the prefix's does, written by a program other than Zantrel. hivexsh,
# reading the hives back, must find a registration of a non-ASCII folder, a link key kept as a
# link, KnownDLLs and the user's PATH.
#
# Each verb (catalogue, missing, libraries, closure, missing --deep, ...) is run on the projects
# twice, WINEPREFIX=prefix and --windows prefix/drive_c (WINEPREFIX naming a folder that does
# not exist), under the same clean environment: the standard output and the exit status must be
# the same. The Windows run's standard error must name the system it reads, and nothing under
# drive_c (names, sizes, times, contents) may change through the Windows runs, nor may the
# folder WINEPREFIX names come to exist. The last verb reads the folder as a host path and the
# system from $ZANTREL_WINDOWS instead of --windows.
#
# Usage: windows-root-acceptance.sh PATH-TO-zantrel-cli
# Prints each verb's verdict and every difference, then "N passed, N failed" and the seconds it
# took; exits 1 when any answer differs or a check fails, 0 otherwise. Without wine, hivexregedit,
# hivexsh or python3 it prints "skipped: ..." and exits 0. With ZANTREL_ACCEPTANCE_KEEP set, the
# work folder (prefix with its hives, exports, each run's output) is kept and named at the end.
set -u

here=$(cd "$(dirname "$0")" && pwd)
typelibs="$here/../fixtures/typelibs"
imports="$here/../fixtures/imports"
corpus="$here/../corpus/real-world"
started=$(date +%s)

for program in wine wineboot hivexregedit hivexsh python3; do
    if ! command -v $program > /dev/null 2>&1; then
        echo "skipped: $program is not installed"
        exit 0
    fi
done
[ $# -eq 1 ] && [ -x "$1" ] || { echo "usage: $0 PATH-TO-zantrel-cli" >&2; exit 2; }
cli=$1
# shellcheck source=acceptance-common.sh
. "$here/acceptance-common.sh"

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY LANGUAGE ZANTREL_CODEPAGE ZANTREL_WINDOWS WINEPATH
acceptance_cleanup_on_exit "prefix with its hives, exports, runs"

if ! acceptance_make_prefix "$work/wineboot.log"; then
    exit 1
fi
drive="$WINEPREFIX/drive_c"
# The prefix's user: the profile folder that is not Public.
user=
for folder in "$drive"/users/*; do
    case ${folder##*/} in
        [Pp]ublic) ;;
        *) [ -d "$folder" ] && user=${folder##*/} && break ;;
    esac
done
if [ -z "$user" ]; then
    echo "the prefix has no user profile folder" >&2
    exit 1
fi

# The host path of a Windows path on drive C.
host() {
    printf '%s\n' "$1" | sed -e 's/^[Cc]://' -e 's|\\|/|g' -e "s|^|$drive|"
}
# put SOURCE WINDOWS-PATH: a copy of the host file SOURCE (or "text", a file that is no image
# and no library) at that path.
put() {
    target=$(host "$2")
    mkdir -p "$(dirname "$target")"
    if [ "$1" = text ]; then
        printf 'not a library\r\n' > "$target"
    else
        cp "$1" "$target"
    fi
}
# A Windows path as Wine's programs on drive Z: see a host path.
zpath() {
    printf 'Z:%s\n' "$1" | tr / '\\'
}
# Writes the project file C:\proyectos\$1 from standard input (UTF-8, one line a line) as
# Visual Basic writes it: windows-1252, CR LF.
vbp() {
    target=$(host "C:\\proyectos\\$1")
    mkdir -p "$(dirname "$target")"
    sed 's/$/\r/' | iconv -f UTF-8 -t WINDOWS-1252 > "$target"
}
# The .reg form of a REG_EXPAND_SZ value: hex(2) and its UTF-16LE bytes with the ending NUL.
expandable() {
    printf 'hex(2):%s\n' "$({ printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE; printf '\000\000'; } \
        | od -An -v -tx1 | tr -s ' \n' ',,' | sed -e 's/^,//' -e 's/,$//')"
}

# The libraries, where the registrations below say they are.
tests='C:\Program Files (x86)\Pruebas Zantrel'
put "$typelibs/facturacion.tlb" "$tests\\facturacion.tlb"
put "$typelibs/inventario.tlb" "$tests\\inventario.tlb"
put "$typelibs/controles.tlb" "$tests\\controles.tlb"
put text "$tests\\leeme.txt"
put "$typelibs/facturacion32.dll" "C:\\users\\$user\\bibliotecas\\facturacion32.dll"
put "$typelibs/nominas.tlb" 'C:\Programas\Nóminas\nominas.tlb'
# A 32-bit program asking for system32 is given syswow64: the OCX is only there.
put "$typelibs/controles32.ocx" 'C:\windows\syswow64\controles32.ocx'
put "$typelibs/nominas64.ocx" 'C:\windows\system32\nominas64.ocx'
put "$typelibs/pe32-nominas.tlb" 'C:\windows\system32\solo64.tlb'
put "$typelibs/controles.tlb" 'C:\windows\bibliotecas\controles.tlb'
put "$typelibs/controles.tlb" 'C:\Pruebas Zantrel\controles.tlb'
put "$typelibs/controles.tlb" "C:\\users\\$user\\bibliotecas\\controles.tlb"
put "$typelibs/controles.tlb" 'C:\bibliotecas\controles.tlb'

# The registrations, imported by Wine's regedit. Fixture libraries: facturacion, inventario
# (2.5), nominas (1.10, written 1.a), controles (3.0); the 0B5E1F20-... GUIDs are made up.
factura='{3F2A9C10-5B7E-4D21-9A6C-0E8B1F4D7A21}'
inventario='{A7C1E5D2-0F3B-4C8E-B2D4-6E9F1A3C5B70}'
nominas='{5D0B7E3A-9C41-4F2E-8A17-C3E6B0D92F48}'
controles='{C4E8A1F6-2B7D-4A93-9E05-D1F3B6A8C2E9}'
made() { printf '{0B5E1F20-3A4C-4D6E-8F10-2A3B4C5D6E%s}' "$1"; }
machine='HKEY_LOCAL_MACHINE\Software\Classes\TypeLib'
mine='HKEY_CURRENT_USER\Software\Classes\TypeLib'
environment='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Session Manager\Environment'
system_path=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH 2> /dev/null \
    | tr -d '\r' | sed -n 's/^ *PATH *REG_EXPAND_SZ *//p')
if [ -z "$system_path" ]; then
    echo "the prefix has no system PATH" >&2
    exit 1
fi
# escaped TEXT: TEXT as a .reg string holds it.
escaped() {
    printf '%s' "$1" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g'
}
# library KEY-ROOT GUID VERSION LOCALE PLATFORM VALUE [TITLE]: one registration; VALUE is the
# .reg form of the file's path.
library() {
    printf '[%s\\%s\\%s]\n@="%s"\n\n[%s\\%s\\%s\\%s\\%s]\n@=%s\n\n' "$1" "$2" "$3" "${7:-Biblioteca de pruebas}" \
        "$1" "$2" "$3" "$4" "$5" "$6"
}
plain() { printf '"%s"' "$(escaped "$1")"; }
{
    printf 'Windows Registry Editor Version 5.00\n\n'
    # The path in another case than on disk.
    library "$machine" "$factura" 1.0 0 win32 "$(plain 'C:\PROGRAM FILES (X86)\pruebas zantrel\FACTURACION.TLB')"
    # The user's own registration of another file wins over the machine's.
    library "$machine" "$inventario" 2.5 0 win32 "$(expandable '%ProgramFiles%\Pruebas Zantrel\inventario.tlb')"
    library "$mine" "$inventario" 2.5 0 win32 "$(plain "C:\\users\\$user\\bibliotecas\\facturacion32.dll\\2")"
    # A folder of non-ASCII letters; also registered for win64.
    library "$machine" "$nominas" 1.a 0 win32 "$(plain 'C:\Programas\Nóminas\nominas.tlb')" 'Cálculo de nóminas'
    library "$machine" "$nominas" 1.a 0 win64 "$(plain 'C:\windows\system32\nominas64.ocx')" 'Cálculo de nóminas'
    library "$machine" "$controles" 3.0 0 win32 "$(plain 'C:\windows\system32\controles32.ocx')"
    # Those that cannot be used.
    library "$machine" "$(made 02)" 1.0 0 win64 "$(plain 'C:\windows\system32\nominas64.ocx')"
    library "$machine" "$(made 03)" 1.0 0 win32 "$(plain "$tests\\perdido.tlb")"
    library "$machine" "$(made 04)" 1.0 409 win32 "$(plain "$tests\\controles.tlb")"
    library "$machine" "$(made 05)" 1.0 0 win32 "$(plain 'C:\windows\system32\solo64.tlb')"
    library "$machine" "$(made 06)" 1.0 0 win32 "$(plain "$tests\\leeme.txt")"
    # Paths through the environment a program is given.
    library "$machine" "$(made 07)" 1.0 0 win32 "$(expandable '%SystemRoot%\bibliotecas\controles.tlb')"
    library "$machine" "$(made 0F)" 1.0 0 win32 "$(expandable '%ProgramFiles%\Pruebas Zantrel\controles.tlb')"
    library "$machine" "$(made 08)" 1.0 0 win32 "$(expandable '%SystemDrive%\Pruebas Zantrel\controles.tlb')"
    library "$machine" "$(made 09)" 1.0 0 win32 "$(expandable 'C:\users\%USERNAME%\bibliotecas\controles.tlb')"
    library "$machine" "$(made 0E)" 1.0 0 win32 "$(expandable '%USERPROFILE%\bibliotecas\controles.tlb')"
    # Only the user's.
    library "$mine" "$(made 0A)" 1.0 0 win32 "$(plain "$tests\\controles.tlb")"
    # The system PATH gets C:\sendero, the user's PATH C:\camino and %SystemDrive%\vereda, and
    # psapi.dll is a KnownDLL.
    printf '[%s]\n"PATH"=%s\n\n' "$environment" "$(expandable "$system_path;C:\\sendero")"
    printf '[HKEY_CURRENT_USER\\Environment]\n"PATH"=%s\n\n' "$(expandable 'C:\camino;%SystemDrive%\vereda')"
    printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs]\n'
    printf '"psapi"="psapi.dll"\n"DllDirectory"=%s\n\n' "$(expandable '%SystemRoot%\system32')"
} | sed 's/$/\r/' > "$work/registro.utf8"
{ printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$work/registro.utf8"; } > "$work/registro.reg"
if ! wine regedit /S "$(zpath "$work/registro.reg")" > "$work/regedit.log" 2>&1; then
    echo "regedit could not import the registrations:" >&2
    cat "$work/regedit.log" >&2
    exit 1
fi

# The projects.
vbp Facturas.vbp <<EOF
Type=Exe
Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\\Windows\\SysWOW64\\stdole2.tlb#OLE Automation
Reference=*\\G$factura#1.0#0#C:\\Archivos\\facturacion.tlb#Facturación
Reference=*\\G$inventario#2.5#0#inventario.tlb#Inventario
Reference=*\\G$nominas#1.a#0#C:\\Programas\\Nóminas\\nominas.tlb#Nóminas
Object=$controles#3.0#0; controles32.ocx
Name="Facturas"
Title="Facturación"
ExeName32="Facturas.exe"
EOF
vbp Fallos.vbp <<EOF
Type=OleDll
Reference=*\\G$(made 01)#1.0#0#C:\\nada\\nada.tlb#no registrada
Reference=*\\G$factura#2.0#0#facturacion.tlb#otra versión
Reference=*\\G$(made 02)#1.0#0#nominas64.ocx#solo para 64 bits
Reference=*\\G$(made 03)#1.0#0#perdido.tlb#archivo perdido
Reference=*\\G$(made 04)#1.0#0#controles.tlb#otro idioma
Reference=*\\G$(made 05)#1.0#0#solo64.tlb#solo en system32
Reference=*\\G$(made 06)#1.0#0#leeme.txt#no es una biblioteca
Reference=*\\G$(made 0C)#1.0#0#..\\nada\\nada.tlb#ruta escrita perdida
Reference=*\\A..\\otros\\NoEsta.vbp
Object=$(made 0D)#1.0#0; nada.ocx
Object={ esto no es una línea
Name="Fallos"
EOF
vbp Caminos.vbp <<EOF
Type=Exe
Reference=*\\G$(made 0B)#1.0#0#..\\bibliotecas\\controles.tlb#ruta escrita
Reference=*\\G$(made 0A)#1.0#0#controles.tlb#del usuario
Reference=*\\Aotros\\Otro.vbp
Name="Caminos"
EOF
vbp otros/Otro.vbp <<EOF
Type=OleDll
Reference=*\\G$factura#1.0#0#facturacion.tlb#Facturación
Name="Otro"
EOF
vbp Entorno.vbp <<EOF
Type=Exe
Reference=*\\G$(made 07)#1.0#0#controles.tlb#SystemRoot
Reference=*\\G$(made 0F)#1.0#0#controles.tlb#ProgramFiles
Reference=*\\G$(made 08)#1.0#0#controles.tlb#SystemDrive
Reference=*\\G$(made 09)#1.0#0#controles.tlb#USERNAME
Reference=*\\G$(made 0E)#1.0#0#controles.tlb#USERPROFILE
Name="Entorno"
EOF
# Programs whose imports are looked for (closure, missing --deep): NAME FOLDER FIXTURE.
program() {
    put "$imports/$3" "$2\\$3"
    vbp "$1.vbp" <<EOF
Type=Exe
Name="$1"
ExeName32="$3"
Path32="..${2#?:}"
EOF
}
put "$imports/comun64.dll" 'C:\sendero\sendero64.dll'
put "$imports/comun64.dll" 'C:\camino\camino64.dll'
program Conocida 'C:\casos\conocida' usaconocida64.dll   # a KnownDLL's name beside it
put "$imports/comun64.dll" 'C:\casos\conocida\psapi.dll'
program Sendero 'C:\casos\sendero' usasendero64.dll      # found in the system PATH
program Camino 'C:\casos\camino' usacamino64.dll         # found in the user's PATH
put "$imports/comun64.dll" 'C:\vereda\actual64.dll'
program Vereda 'C:\casos\vereda' usaactual64.dll         # found in the user's PATH, through %SystemDrive%
program Solo 'C:\casos\solo' cliente64.dll               # its import nowhere
mkdir -p "$(host 'C:\proyectos\corpus')"
cp "$corpus"/*.vbp "$(host 'C:\proyectos\corpus')/"

# Wine's own regedit writes out the registry; the server then ends, writing the prefix's files.
# Its export is UTF-16LE with a byte-order mark; hivexregedit reads the local encoding, UTF-8.
mkdir -p "$work/exports"
export_key() {
    if ! wine regedit /E "$(zpath "$work/exports/$1.utf16")" "$2" > "$work/exports/$1.log" 2>&1 \
        || ! iconv -f UTF-16 -t UTF-8 "$work/exports/$1.utf16" > "$work/exports/$1.reg" 2>> "$work/exports/$1.log" \
        || ! head -n 1 "$work/exports/$1.reg" | grep -q '^Windows Registry Editor Version 5.00'; then
        echo "regedit could not export $2:" >&2
        cat "$work/exports/$1.log" >&2
        return 1
    fi
}
export_key software 'HKEY_LOCAL_MACHINE\Software' && export_key system 'HKEY_LOCAL_MACHINE\System' \
    && export_key user 'HKEY_CURRENT_USER' || exit 1
wineserver -w

# What the export needs before hivexregedit takes it, from the prefix's own file (system.reg,
# user.reg) and the export (UTF-8), printed as the export to merge:
#  - A link key (Software\Wow6432Node\Classes, Software\Classes\Wow6432Node\TypeLib, ...) is
#    followed by regedit, which writes a full copy of its target in its place. A Windows hive
#    stores such a key as itself, a key holding its SymbolicLinkValue; so does the prefix's file,
#    where the key is marked #link. The key is written so and the copy below it left out.
#  - hivexregedit reads the file as bytes and encodes each byte of a string value as a UTF-16
#    character of its own, so "Nóminas" would be stored as "NÃ³minas"; under PERL_UNICODE=SD
#    Perl reads the file as the UTF-8 text it is (key names, which hivex takes as UTF-8, come
#    out the same either way).
#  - hivexregedit takes the character after any backslash in a quoted string as itself, so the
#    \n and \0 regedit writes for a line feed or a NUL would turn into "n" and "0": a string
#    holding another escape than \\ and \" stops the script rather than store another text.
#    (Nothing else needs changing: hivexregedit reads hex(N): of any type, dword:, strings, and
#    lines continued with a backslash, and matches the --prefix ignoring case. A prefix made by
#    Wine 8 keeps CurrentControlSet as a key of its own, without ControlSet001, and so does the
#    SYSTEM hive made from it: the set Select names is missing there, and the hive's reader
#    takes CurrentControlSet, as it does for any hive made from an export. Keys Wine keeps in
#    memory only, as Software\Wine\Fonts\Cache, are written to the hive as they are exported.)
cat > "$work/links.awk" <<'AWK'
FILENAME == ARGV[1] {
    if (/^\[/) {
        key = $0; sub(/^\[/, "", key); sub(/\] [0-9]+$/, "", key); gsub(/\\\\/, "\\", key)
        key = tolower(key); inLink = 0
        next
    }
    if ($0 == "#link") { links[key] = ""; inLink = 1; next }
    if (inLink && /^"SymbolicLinkValue"=/) { links[key] = $0; continuing = /\\$/; next }
    if (inLink && continuing) { links[key] = links[key] "\n" $0; continuing = /\\$/; next }
    next
}
{ sub(/\r$/, "") }
/^\[/ {
    key = $0; sub(/^\[/, "", key); sub(/\]$/, "", key)
    # The name as the prefix's file has it: below HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER.
    name = tolower(key); sub(/^[^\\]*\\/, "", name)
    dropping = 0
    for (link in written) if (index(name, link "\\") == 1) dropping = 1
    if (dropping) next
    print
    if (name in links) {
        written[name] = 1; found++
        if (links[name] != "") print links[name]
        print ""
        dropping = 1
    }
    next
}
dropping { next }
/^("|@=)/ {
    line = $0
    if (line ~ /=hex/) sub(/\\$/, "", line)
    gsub(/\\\\|\\"/, "", line)
    if (index(line, "\\")) {
        printf "a string of the export holds an escape hivexregedit does not read: %s\n", $0 > "/dev/stderr"
        bad = 1
    }
}
{ print }
END {
    # Every link key of the exported branch ("scope", as the prefix's file names it) is met.
    count = 0
    for (link in links) if (scope == "" || index(link, scope "\\") == 1) count++
    if (found != count) printf "the export holds %d of the %d link keys of the registry file\n", found, count > "/dev/stderr"
    exit bad || found != count
}
AWK

# hivex cannot make a hive from nothing: an empty one is written first, as the format is
# documented: a base block ("regf", sequence numbers 1 and 1, version 1.3, the root cell's
# offset, the bins' size, the file's name, the XOR checksum of its first 508 bytes) and one bin
# ("hbin", 4096 bytes) holding the root key ("nk", no subkey, value or class, its name "ROOT"),
# its security cell ("sk", alone in its list, an empty self-relative descriptor) and one free
# cell for the rest.
cat > "$work/empty-hive.py" <<'PY'
import struct
import sys


def cell(record):
    size = (4 + len(record) + 7) & ~7
    return struct.pack("<i", -size) + record + bytes(size - 4 - len(record))


root, security = 0x20, 0x20 + 0x58  # offsets from the first bin
key = bytearray(b"nk\x2c\x00" + bytes(0x48) + b"ROOT")
for at in (0x1C, 0x20, 0x28, 0x30):  # subkeys, volatile subkeys, values, class name: none
    struct.pack_into("<I", key, at, 0xFFFFFFFF)
struct.pack_into("<I", key, 0x2C, security)
key[0x48] = 4
descriptor = b"\x01\x00\x00\x80" + bytes(16)
shared = bytearray(b"sk\x00\x00" + bytes(16)) + descriptor
struct.pack_into("<IIII", shared, 4, security, security, 1, len(descriptor))
hbin = bytearray(b"hbin" + bytes(0x1C)) + cell(bytes(key)) + cell(bytes(shared))
struct.pack_into("<I", hbin, 8, 0x1000)
rest = 0x1000 - len(hbin)
hbin += struct.pack("<I", rest) + bytes(rest - 4)
base = bytearray(0x1000)
base[0:4] = b"regf"
for at, value in ((0x04, 1), (0x08, 1), (0x14, 1), (0x18, 3), (0x20, 1), (0x24, root), (0x28, 0x1000), (0x2C, 1)):
    struct.pack_into("<I", base, at, value)
base[0x30:0x38] = "ROOT".encode("utf-16-le")
checksum = 0
for at in range(0, 0x1FC, 4):
    checksum ^= struct.unpack_from("<I", base, at)[0]
struct.pack_into("<I", base, 0x1FC, checksum)
with open(sys.argv[1], "wb") as out:
    out.write(bytes(base + hbin))
PY
if ! python3 "$work/empty-hive.py" "$work/empty.hive" || [ -n "$(printf 'ls\nlsval\n' | hivexsh "$work/empty.hive" 2>&1)" ]; then
    echo "hivexsh does not read the empty hive as an empty root key" >&2
    exit 1
fi

config="$drive/windows/system32/config"
mkdir -p "$config"
# hive NAME WINE-FILE EXPORT SCOPE PREFIX HIVE-PATH: SCOPE is the exported branch as WINE-FILE
# names its keys (software, system, or empty for the whole file).
hive() {
    awk -v scope="$4" -f "$work/links.awk" "$WINEPREFIX/$2" "$work/exports/$3.reg" > "$work/exports/$3.merged.reg" \
        && cp "$work/empty.hive" "$6" \
        && PERL_UNICODE=SD hivexregedit --merge --prefix "$5" "$6" "$work/exports/$3.merged.reg" > "$work/exports/$3.merge.log" 2>&1 \
        || { echo "cannot make the $1 hive:" >&2; cat "$work/exports/$3.merge.log" >&2 2> /dev/null; return 1; }
}
hive SOFTWARE system.reg software software 'HKEY_LOCAL_MACHINE\Software' "$config/SOFTWARE" \
    && hive SYSTEM system.reg system system 'HKEY_LOCAL_MACHINE\System' "$config/SYSTEM" \
    && hive NTUSER.DAT user.reg user '' 'HKEY_CURRENT_USER' "$drive/users/$user/NTUSER.DAT" || exit 1
# The hives hold what was registered, as hivex reads them back.
checks_passed=0 checks_failed=0
check() {
    if [ "$2" = 0 ]; then
        checks_passed=$((checks_passed + 1))
        printf 'confirmed: %s\n' "$1"
    else
        checks_failed=$((checks_failed + 1))
        printf 'NOT confirmed: %s\n' "$1"
    fi
}
printf 'cd Classes\\TypeLib\\%s\\1.a\\0\\win32\nlsval\n' "$nominas" | hivexsh "$config/SOFTWARE" 2>&1 \
    | grep -qxF '"@"="C:\\Programas\\Nóminas\\nominas.tlb"'
check "hivexsh reads the SOFTWARE hive's registration of a folder of non-ASCII letters" $?
printf 'cd Classes\\Wow6432Node\\TypeLib\nlsval\n' | hivexsh "$config/SOFTWARE" 2>&1 | grep -q '^"SymbolicLinkValue"=' \
    && [ -z "$(printf 'cd Classes\\Wow6432Node\\TypeLib\nls\n' | hivexsh "$config/SOFTWARE" 2>&1)" ]
check "the SOFTWARE hive keeps Classes\\Wow6432Node\\TypeLib as a link, without regedit's copy below it" $?
printf 'cd CurrentControlSet\\Control\\Session Manager\\KnownDLLs\nlsval\n' | hivexsh "$config/SYSTEM" 2>&1 \
    | grep -qF '"psapi"="psapi.dll"'
check "hivexsh reads the SYSTEM hive's KnownDLLs" $?
printf 'cd Environment\nlsval\n' | hivexsh "$drive/users/$user/NTUSER.DAT" 2>&1 | grep -q '^"PATH"=str(2):"C:.*camino;%SystemDrive%.*vereda"$'
check "hivexsh reads the user's PATH from NTUSER.DAT" $?

# Both worlds run under the same clean environment: Wine hands the host's variables to its
# programs, and so does Zantrel in a prefix, while a Windows disk has none of them. The
# settings and documents go to the work folder; the sanitizers' options pass through.
mkdir -p "$work/home" "$work/runs"
run() {
    env -i PATH="$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LANG=C.UTF-8 LC_ALL=C.UTF-8 \
        QT_QPA_PLATFORM=offscreen ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} \
        ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"} ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} "$@"
}
# The state of drive_c: every name with its size, time and link target, and every file's sum.
snapshot() {
    (cd "$drive" && find . -printf '%p %s %T@ %l\n' | LC_ALL=C sort && find . -type f -print0 | LC_ALL=C sort -z \
        | xargs -0 md5sum) > "$1"
}

# Each verb: its options (before the folder) and the folder, as both worlds are asked.
cat > "$work/verbs.txt" <<EOF
catalogue -r	C:\\proyectos\\
missing -r	C:\\proyectos\\
libraries -r	C:\\proyectos\\
closure -r	C:\\proyectos\\
missing --deep -r	C:\\proyectos\\
closure --arch amd64 -r	C:\\proyectos\\
libraries --deep --arch amd64 -r	C:\\proyectos\\
catalogue -r --format json	$drive/proyectos
EOF
tab=$(printf '\t')
n=0
while IFS=$tab read -r options folder; do
    n=$((n + 1))
    # shellcheck disable=SC2086 # the options are words
    run WINEPREFIX="$WINEPREFIX" "$cli" $options "$folder" > "$work/runs/$n.prefix.out" 2> "$work/runs/$n.prefix.err"
    echo $? > "$work/runs/$n.prefix.status"
done < "$work/verbs.txt"

# What the prefix answers must be worth comparing: references that resolve and some that do not.
grep -qi 'pruebas zantrel\\\\facturacion.tlb' "$work/runs/1.prefix.out"
check "in the prefix, the fixture libraries resolve" $?
grep -q 'not registered' "$work/runs/2.prefix.out" && [ "$(cat "$work/runs/2.prefix.status")" = 3 ]
check "in the prefix, some references are missing" $?

snapshot "$work/drive-before.txt"
elsewhere="$work/no-prefix"
passed=0 failed=0
n=0
while IFS=$tab read -r options folder; do
    n=$((n + 1))
    # The last verb reads the system from $ZANTREL_WINDOWS instead of --windows.
    if [ "$n" = "$(wc -l < "$work/verbs.txt")" ]; then
        # shellcheck disable=SC2086
        run WINEPREFIX="$elsewhere" ZANTREL_WINDOWS="$drive" "$cli" $options "$folder" \
            > "$work/runs/$n.root.out" 2> "$work/runs/$n.root.err"
    else
        # shellcheck disable=SC2086
        run WINEPREFIX="$elsewhere" "$cli" $options --windows "$drive" "$folder" \
            > "$work/runs/$n.root.out" 2> "$work/runs/$n.root.err"
    fi
    echo $? > "$work/runs/$n.root.status"
    said="$options $folder"
    bad=
    if [ "$(cat "$work/runs/$n.prefix.status")" != "$(cat "$work/runs/$n.root.status")" ]; then
        bad=1
        printf '%s: exit status %s in the prefix, %s from the Windows disk\n' "$said" \
            "$(cat "$work/runs/$n.prefix.status")" "$(cat "$work/runs/$n.root.status")"
    fi
    if ! [ -s "$work/runs/$n.prefix.out" ]; then
        bad=1
        printf '%s: nothing on standard output in the prefix:\n' "$said"
        sed 's/^/    | /' "$work/runs/$n.prefix.err"
    elif ! cmp -s "$work/runs/$n.prefix.out" "$work/runs/$n.root.out"; then
        bad=1
        printf '%s: the outputs differ (< prefix, > Windows disk):\n' "$said"
        diff "$work/runs/$n.prefix.out" "$work/runs/$n.root.out" | head -n 60 | sed 's/^/    /'
    fi
    if ! grep -qF "reading the Windows system at $drive as drive C:" "$work/runs/$n.root.err"; then
        bad=1
        printf '%s: standard error does not name the Windows system read:\n' "$said"
        sed 's/^/    | /' "$work/runs/$n.root.err"
    fi
    if [ -n "$bad" ]; then
        failed=$((failed + 1))
        printf '%s: DIFFERS\n' "$said"
    else
        passed=$((passed + 1))
        printf '%s: same answer (%s lines, exit status %s)\n' "$said" "$(wc -l < "$work/runs/$n.root.out")" \
            "$(cat "$work/runs/$n.root.status")"
    fi
done < "$work/verbs.txt"

snapshot "$work/drive-after.txt"
if cmp -s "$work/drive-before.txt" "$work/drive-after.txt"; then
    check "nothing under drive_c changed through the runs on the Windows disk" 0
else
    check "nothing under drive_c changed through the runs on the Windows disk" 1
    diff "$work/drive-before.txt" "$work/drive-after.txt" | head -n 20 | sed 's/^/    /'
fi
[ ! -e "$elsewhere" ]
check "the folder WINEPREFIX named was not made" $?

printf '%d passed, %d failed\n' $((passed + checks_passed)) $((failed + checks_failed))
echo "windows root acceptance: $(($(date +%s) - started)) s"
[ $((failed + checks_failed)) -eq 0 ]

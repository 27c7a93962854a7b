#!/bin/sh
# Acceptance of registration-free COM under Wine: a program finds the classes of an in-process
# server lying in its own folder through the manifest beside it (<program>.exe.manifest), with
# nothing registered. It proves what such a manifest needs with the fixtures of
# tests/fixtures/com (relojNN.dll: two apartment-threaded classes, Reloj and Alarma, and their
# type library; clienteNN.exe: makes them and says for each whether it got it), and judges the
# manifest zantrel-cli manifest writes from the registered prefix (a reference written by hand
# when no zantrel-cli is given).
#
# Before Wine is asked, the manifest must be well-formed XML (xmllint) and keep the rules of its
# format (check-manifest.py); and check-manifest.py itself must catch each of those rules broken
# in a copy of the reference manifest.
#
# Then two fresh prefixes, the server and the program in C:\programa in each:
#   registered:    regsvr32 registers the server; the keys it wrote must be the ones expected
#                  (CLSID\{clsid}\InprocServer32 and its ThreadingModel, ProgID,
#                  VersionIndependentProgID, TypeLib, the ProgIDs' keys, TypeLib\{libid}\1.0\0\
#                  win64 or win32, the interfaces' proxy/stub), the program gets both classes
#                  without a manifest, and the manifest must say what that registry says (the
#                  file, each class's threading model, type library and ProgIDs, the type
#                  library's version, each interface's proxy/stub). This is the registry a
#                  manifest writer reads.
#   unregistered:  nothing registered. Without a manifest every class fails with
#                  REGDB_E_CLASSNOTREG, every ProgID with CO_E_CLASSSTRING and the type library
#                  with TYPE_E_LIBNOTREGISTERED; with the manifest all of them are found, and
#                  nothing of them is in the registry afterwards. A manifest without one class's
#                  comClass loses that class alone, one without the typelib element the type
#                  library alone: the manifest is what is read. A program that carries a
#                  manifest resource of its own (clientepropioNN.exe) reads that one and never
#                  the one beside it, whatever it says. In the multithreaded apartment the
#                  objects live in an apartment of their own: without the manifest's
#                  comInterfaceExternalProxyStub elements, or with them but without their tlbid,
#                  the interfaces cannot reach the program (E_NOINTERFACE); with them they do.
#
# The manifest form that works under Wine 8 was found by trying; where Wine differs from what
# the format documents, the rule checker stands for Windows:
#   - the manifest is a file beside the program named after it; the program carries no manifest
#     resource, which Wine (as Windows) would read instead;
#   - <file name="relojNN.dll"> holds the typelib and comClass elements; the name is looked for
#     from the program's folder (a relative path such as "sub\relojNN.dll" works too);
#   - every GUID is written in braces. A comClass clsid without them leaves the class unfound
#     and crashes the program in CLSIDFromProgID (Wine reads a null record);
#   - the typelib element has helpdir (helpdir="" when there is none): without it Wine 8 crashes
#     the program in LoadRegTypeLib (ntdll's build_tlib_section reads the missing string);
#   - the typelib version is "major.minor" in decimal. The registry's key spells the version in
#     hexadecimal (1.a for 1.10); "1.a" in a manifest makes Wine drop the whole manifest;
#   - without manifestVersion="1.0" or the asm.v1 namespace Wine drops the whole manifest and the
#     program runs without it (every class REGDB_E_CLASSNOTREG), where Windows refuses to start
#     it. Wine also takes what the format documents otherwise: a three-part assemblyIdentity
#     version, no type="win32", no assemblyIdentity at all, a CLSID or ProgID declared twice (the
#     first one wins), an empty or unknown threadingModel;
#   - threadingModel is written Apartment: Windows reads the values in any letter case, Wine
#     compares them exactly and makes a class whose model it does not know main-threaded;
#   - Wine does not compare the processorArchitecture of the program's assemblyIdentity with the
#     program (x86, amd64, ia64, * and none all work); the program's own is written;
#   - in an activation context CLSIDFromProgID answers an alias CLSID the context made for the
#     class, different in every process, not the manifest's clsid (CoCreateInstance takes it):
#     the client judges a ProgID by the interface its object answers, not by the CLSID;
#   - an apartment-threaded object made from the multithreaded apartment is reached through a
#     proxy, here the type library's marshaler ({00020424-0000-0000-C000-000000000046}): the
#     manifest then needs a comInterfaceExternalProxyStub per interface, with the tlbid the
#     format calls optional (without it Wine finds no description of the interface), and the
#     typelib element. While marshalling, Wine registers the type library and its interfaces in the prefix
#     (HKCR\TypeLib, HKCR\Interface), so the registry is judged before that, and what Wine
#     wrote is said as a note.
#
# Usage: manifest-acceptance.sh [PATH-TO-zantrel-cli]
# The 32-bit fixtures are used where this Wine runs 32-bit programs (as a Visual Basic program
# is), else the 64-bit ones. Prints each check, a few notes of what Wine does with manifests
# that break a rule, then "N passed, N failed" and the seconds it took; exits 1 when a check
# fails, 0 otherwise. Without wine, or when Wine runs neither fixture, it prints "skipped: ..."
# and exits 0. With ZANTREL_ACCEPTANCE_KEEP set, the work folder (both prefixes, the manifest) is
# kept and named at the end.
set -u

here=$(cd "$(dirname "$0")" && pwd)
fixtures="$here/../fixtures/com"
started=$(date +%s)

if ! command -v wine > /dev/null 2>&1 || ! command -v wineboot > /dev/null 2>&1; then
    echo "skipped: wine is not installed"
    exit 0
fi
[ $# -le 1 ] || { echo "usage: $0 [PATH-TO-zantrel-cli]" >&2; exit 2; }
cli=${1:-}
if [ -n "$cli" ] && [ ! -x "$cli" ]; then
    echo "usage: $0 [PATH-TO-zantrel-cli]" >&2
    exit 2
fi
# shellcheck source=acceptance-common.sh
. "$here/acceptance-common.sh"
# shellcheck source=manifest-common.sh
. "$here/manifest-common.sh"

work=$(mktemp -d)
unregistered="$work/sin-registro"
registered="$work/registrado"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY LANGUAGE ZANTREL_CODEPAGE WINEPATH
cleanup() {
    for prefix in "$unregistered" "$registered"; do
        [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k > /dev/null 2>&1
    done
    if [ -n "${ZANTREL_ACCEPTANCE_KEEP:-}" ]; then
        echo "kept: $work (manifest files; sin-registro, the prefix with nothing registered;" \
            "registrado, the prefix regsvr32 registered the server in: $registered)"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# The fixtures' GUIDs (reloj.idl) and the type library marshaler's CLSID.
RELOJ='{EE9C1D19-7B2C-4589-8060-A8F1EE98A0E3}'
ALARMA='{CC166B3A-1FE6-49D4-9E8D-64871024F4BF}'
LIBID='{B93E2C91-8ACC-46BC-8E15-BCA4A3DEE7E7}'
IRELOJ='{010AA79A-CACD-4BE5-8833-A9E8DEB97021}'
IALARMA='{4B330FE7-622C-44F2-AFBB-26978CBA7669}'
MARSHALER='{00020424-0000-0000-C000-000000000046}'
# What the client is asked for: both classes by CLSID and by both ProgIDs, and the library.
everything="--typelib $LIBID 1.0 $RELOJ $ALARMA Relojeria.Reloj Relojeria.Reloj.1 Relojeria.Alarma Relojeria.Alarma.1"

passed=0 failed=0
# judge TEXT STATUS [DETAIL]: counts one check, passed when STATUS is 0; DETAIL is printed
# under a failed one.
judge() {
    if [ "$2" -eq 0 ]; then
        passed=$((passed + 1))
        printf 'ok: %s\n' "$1"
    else
        failed=$((failed + 1))
        printf 'FAILED: %s\n' "$1"
        [ -n "${3:-}" ] && printf '%s\n' "$3" | sed 's/^/    | /'
    fi
    return 0
}

# The fixtures to use: the 32-bit ones where Wine runs them, else the 64-bit ones; none when
# Wine runs neither (Debian's wine64 alone starts a 32-bit program and exits 0 without running
# it, so only an answer counts). Sets bits, architecture, syskind and view (the registry view
# `wine reg` reads for the program); needs WINEPREFIX made.
choose_fixtures() {
    for bits in 32 64; do
        mkdir -p "$WINEPREFIX/drive_c/prueba"
        cp "$fixtures/cliente$bits.exe" "$WINEPREFIX/drive_c/prueba/"
        if wine "C:\\prueba\\cliente$bits.exe" "$RELOJ" 2> /dev/null | tr -d '\r' \
            | grep -qx "FAIL $RELOJ 0x80040154"; then
            rm -rf "$WINEPREFIX/drive_c/prueba"
            # A 32-bit program sees the registry's 32-bit view, which `wine reg` is told to read.
            case $bits in
                32) architecture=x86 syskind=win32 view=/reg:32 ;;
                *) architecture=amd64 syskind=win64 view= ;;
            esac
            return 0
        fi
    done
    rm -rf "$WINEPREFIX/drive_c/prueba"
    return 1
}

# Puts the server and the program in C:\programa of the prefix at WINEPREFIX.
install_program() {
    mkdir -p "$WINEPREFIX/drive_c/programa"
    cp "$fixtures/reloj$bits.dll" "$fixtures/cliente$bits.exe" "$WINEPREFIX/drive_c/programa/"
}

# The manifest the program is judged with, at $1, for the program as the registered prefix has
# it (C:\programa\clienteNN.exe, the server registered beside it).
make_manifest() {
    # zantrel-cli writes it from the project in the registered prefix (C:\proyectos\Cliente.vbp,
    # written below) and that prefix's registry; without a zantrel-cli the reference is judged.
    if [ -z "$cli" ]; then
        reference_manifest "$1"
        return
    fi
    mkdir -p "$work/escrito"
    # Wine's server keeps the registry's changes in memory until it ends; then the prefix's
    # files hold what regsvr32 registered.
    WINEPREFIX=$registered wineserver -w
    WINEPREFIX=$registered "$cli" manifest --arch "$architecture" -o "$work/escrito" 'C:\proyectos' \
        > "$work/manifest.out" 2> "$work/manifest.err"
    status=$?
    judge "zantrel-cli manifest writes the program's manifest, leaving nothing out" \
        "$([ $status -eq 0 ] && [ -f "$work/escrito/cliente$bits.exe.manifest" ]; echo $?)" \
        "exit $status: $(cat "$work/manifest.err")"
    cp "$work/escrito/cliente$bits.exe.manifest" "$1" 2>/dev/null || reference_manifest "$1"
}

# The reference manifest, written by hand from the registry regsvr32 leaves: the program's
# identity, the server's file with its type library and both classes (each with its ProgID and
# its version-independent ProgID), and the two interfaces' proxy/stub, the type library's
# marshaler.
reference_manifest() {
    cat > "$1" <<EOF
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="Cliente" version="1.0.0.0" processorArchitecture="$architecture"/>
  <file name="reloj$bits.dll">
    <typelib tlbid="$LIBID" version="1.0" helpdir=""/>
    <comClass clsid="$RELOJ" threadingModel="Apartment" progid="Relojeria.Reloj.1" tlbid="$LIBID" description="Reloj">
      <progid>Relojeria.Reloj</progid>
    </comClass>
    <comClass clsid="$ALARMA" threadingModel="Apartment" progid="Relojeria.Alarma.1" tlbid="$LIBID" description="Alarma">
      <progid>Relojeria.Alarma</progid>
    </comClass>
  </file>
  <comInterfaceExternalProxyStub name="IReloj" iid="$IRELOJ" proxyStubClsid32="$MARSHALER" tlbid="$LIBID"/>
  <comInterfaceExternalProxyStub name="IAlarma" iid="$IALARMA" proxyStubClsid32="$MARSHALER" tlbid="$LIBID"/>
</assembly>
EOF
}

# client ARGUMENTS...: runs C:\programa\clienteNN.exe in the prefix at WINEPREFIX; sets said
# (its lines, without CRs) and status (its exit status).
client() {
    wine "C:\\programa\\cliente$bits.exe" "$@" > "$work/cliente.out" 2> "$work/cliente.err"
    status=$?
    said=$(tr -d '\r' < "$work/cliente.out")
}

# expect TEXT EXPECTED-LINES [ARGUMENTS...]: the client, run with ARGUMENTS, must print exactly
# EXPECTED-LINES, and exit 0 exactly when every line is OK.
expect() {
    text=$1 expected=$2
    shift 2
    client "$@"
    wanted=1
    printf '%s\n' "$expected" | grep -q '^FAIL' || wanted=0
    if [ "$said" = "$expected" ] && [ "$status" -eq "$wanted" ]; then
        judge "$text" 0
    else
        judge "$text" 1 "$(printf 'expected (exit %s):\n%s\nthe client said (exit %s):\n%s\n%s' \
            "$wanted" "$expected" "$status" "$said" "$(head -n 3 "$work/cliente.err")")"
    fi
}

# The lines the client prints for $everything: with each of Reloj, Alarma and the library
# found (1) or not (0): lines RELOJ ALARMA LIBRARY.
lines() {
    if [ "$1" = 1 ]; then echo "OK $RELOJ"; else echo "FAIL $RELOJ 0x80040154"; fi
    if [ "$2" = 1 ]; then echo "OK $ALARMA"; else echo "FAIL $ALARMA 0x80040154"; fi
    for progid in Relojeria.Reloj Relojeria.Reloj.1; do
        if [ "$1" = 1 ]; then echo "OK $progid IReloj"; else echo "FAIL $progid 0x800401F3"; fi
    done
    for progid in Relojeria.Alarma Relojeria.Alarma.1; do
        if [ "$2" = 1 ]; then echo "OK $progid IAlarma"; else echo "FAIL $progid 0x800401F3"; fi
    done
    if [ "$3" = 1 ]; then echo "OK typelib $LIBID 1.0"; else echo "FAIL typelib $LIBID 1.0 0x8002801D"; fi
}

# The keys a registration of the server makes, in the view of the program's bits.
server_keys="HKCR\\CLSID\\$RELOJ HKCR\\CLSID\\$ALARMA HKCR\\Relojeria.Reloj HKCR\\Relojeria.Reloj.1
HKCR\\Relojeria.Alarma HKCR\\Relojeria.Alarma.1 HKCR\\TypeLib\\$LIBID HKCR\\Interface\\$IRELOJ
HKCR\\Interface\\$IALARMA"
# Prints those of server_keys that `wine reg query` finds in the prefix at WINEPREFIX.
present_keys() {
    for key in $server_keys; do
        # shellcheck disable=SC2086 # view is one word or none
        wine reg query "$key" $view > /dev/null 2>&1 && echo "$key"
    done
}

# registry_is KEY NAME EXPECTED: adds a line to wrong when the value read into registry.tsv is
# not EXPECTED (compared ignoring letter case when EXPECTED is a path).
registry_is() {
    got=$(registry_value "$work/registry.tsv" "$1" "$2") || got="(missing)"
    case $3 in
        ?:\\*) [ "$(upper "$got")" = "$(upper "$3")" ] ;;
        *) [ "$got" = "$3" ] ;;
    esac || wrong="${wrong}$1 [$2]: $got, expected $3
"
}

if ! command -v xmllint > /dev/null 2>&1; then
    echo "xmllint is missing (package libxml2-utils: tools/install-deps test)" >&2
    exit 1
fi

# The registered prefix first: the manifest is made from its registry.
export WINEPREFIX="$registered"
if ! acceptance_make_prefix "$work/wineboot-registrado.log"; then
    exit 1
fi
if ! choose_fixtures; then
    echo "skipped: this Wine runs neither cliente32.exe nor cliente64.exe"
    exit 0
fi
echo "judging the ${bits}-bit fixtures (reloj$bits.dll, cliente$bits.exe)"
install_program
server="C:\\programa\\reloj$bits.dll"
case $bits in
    32) regsvr32='C:\windows\syswow64\regsvr32.exe'
        [ -e "$WINEPREFIX/drive_c/windows/syswow64/regsvr32.exe" ] || regsvr32=regsvr32 ;;
    *) regsvr32=regsvr32 ;;
esac
wine "$regsvr32" /s "$server" > "$work/regsvr32.log" 2>&1
judge "regsvr32 registers reloj$bits.dll" $? "$(cat "$work/regsvr32.log")"
# The project whose program this is, for the manifest's writer to start from.
mkdir -p "$WINEPREFIX/drive_c/proyectos"
printf 'Type=Exe\r\nReference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\\windows\\system32\\stdole2.tlb#OLE Automation\r\nReference=*\\G%s#1.0#0#%s#Relojeria de prueba\r\nName="Cliente"\r\nExeName32="cliente%s.exe"\r\nPath32="..\\programa"\r\nMajorVer=1\r\nMinorVer=0\r\nRevisionVer=0\r\n' \
    "$LIBID" "$server" "$bits" > "$WINEPREFIX/drive_c/proyectos/Cliente.vbp"

# shellcheck disable=SC2086 # the keys are words
registry_tree "$work/registry.tsv" "$view" $server_keys
for class in Reloj Alarma; do
    case $class in Reloj) clsid=$RELOJ ;; *) clsid=$ALARMA ;; esac
    wrong=
    registry_is "HKCR\\CLSID\\$clsid\\InprocServer32" '(Default)' "$server"
    registry_is "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
    registry_is "HKCR\\CLSID\\$clsid\\ProgID" '(Default)' "Relojeria.$class.1"
    registry_is "HKCR\\CLSID\\$clsid\\VersionIndependentProgID" '(Default)' "Relojeria.$class"
    registry_is "HKCR\\CLSID\\$clsid\\TypeLib" '(Default)' "$LIBID"
    registry_is "HKCR\\Relojeria.$class.1\\CLSID" '(Default)' "$clsid"
    registry_is "HKCR\\Relojeria.$class\\CLSID" '(Default)' "$clsid"
    registry_is "HKCR\\Relojeria.$class\\CurVer" '(Default)' "Relojeria.$class.1"
    judge "the registration of $class: InprocServer32 ($server, Apartment), ProgID, VersionIndependentProgID, TypeLib and both ProgIDs' keys" \
        "$([ -z "$wrong" ]; echo $?)" "$wrong"
done
wrong=
registry_is "HKCR\\TypeLib\\$LIBID\\1.0\\0\\$syskind" '(Default)' "$server"
for iid in "$IRELOJ" "$IALARMA"; do
    registry_is "HKCR\\Interface\\$iid\\ProxyStubClsid32" '(Default)' "$MARSHALER"
    registry_is "HKCR\\Interface\\$iid\\TypeLib" '(Default)' "$LIBID"
done
judge "RegisterTypeLib wrote TypeLib\\$LIBID\\1.0\\0\\$syskind and both interfaces with the type library's marshaler" \
    "$([ -z "$wrong" ]; echo $?)" "$wrong"
found=$(present_keys)
judge "wine reg query finds every key of the registration (the query that finds none in the other prefix)" \
    "$([ "$found" = "$(printf '%s\n' $server_keys)" ]; echo $?)" "found only: $found"
expect "registered, the program gets both classes by CLSID and ProgID, and the type library, without a manifest" \
    "$(lines 1 1 1)" $everything

# The manifest, as the program's folder will have it.
manifest="$work/cliente$bits.exe.manifest"
make_manifest "$manifest"
xmllint --noout "$manifest" > "$work/xmllint.log" 2>&1
judge "the manifest is well-formed XML (xmllint)" $? "$(cat "$work/xmllint.log")"
/usr/bin/python3 "$here/check-manifest.py" "$manifest" > "$work/rules.log" 2>&1
judge "the manifest keeps the format's rules (check-manifest.py)" $? "$(cat "$work/rules.log")"

# The manifest says what the registry says.
for clsid in "$RELOJ" "$ALARMA"; do
    wrong=$(manifest_class_agrees "$manifest" "$work/registry.tsv" "$clsid")
    judge "the manifest's comClass $clsid says what the registry says (file, threadingModel, tlbid, ProgIDs)" $? "$wrong"
done
wrong=$(manifest_typelib_agrees "$manifest" "$work/registry.tsv" "$LIBID" "$syskind")
judge "the manifest's typelib says what the registry says (file, version in decimal)" $? "$wrong"
for iid in "$IRELOJ" "$IALARMA"; do
    wrong=$(manifest_interface_agrees "$manifest" "$work/registry.tsv" "$iid")
    judge "the manifest's comInterfaceExternalProxyStub $iid says what the registry says (proxyStubClsid32, tlbid)" $? "$wrong"
done

# The rule checker catches each rule broken in a copy of the reference manifest.
reference_manifest "$work/reference.manifest"
# breaks TEXT WORDS SED-EXPRESSION: the copy changed by SED-EXPRESSION must be refused with a
# message holding WORDS.
breaks() {
    sed "$3" "$work/reference.manifest" > "$work/broken.manifest"
    /usr/bin/python3 "$here/check-manifest.py" "$work/broken.manifest" > "$work/rules.log" 2>&1
    checker=$?
    judge "check-manifest.py refuses $1" "$([ $checker -eq 1 ] && grep -q "$2" "$work/rules.log"; echo $?)" \
        "exit $checker, wanted 1 with a message holding \"$2\": $(cat "$work/rules.log")"
}
breaks "a manifest without manifestVersion" 'manifestVersion' 's/ manifestVersion="1.0"//'
breaks "another namespace" 'not assembly in the namespace' 's/asm[.]v1/asm.v3/'
breaks "assemblyIdentity after a file" 'first child of assembly' \
    '/<assemblyIdentity/{h;d}; /<\/assembly>/{H;x}'
breaks "a three-part version" 'four numbers' 's/version="1[.]0[.]0[.]0"/version="1.0.0"/'
breaks "no type=\"win32\"" 'type' 's/ type="win32"//'
breaks "a clsid without braces" 'not a GUID in braces' "s/clsid=\"{\\([^}]*\\)}\"/clsid=\"\\1\"/"
breaks "a typelib without helpdir" 'no helpdir' 's/ helpdir=""//'
breaks "a typelib version in hexadecimal" 'in decimal' 's/ version="1[.]0" helpdir/ version="1.a" helpdir/'
breaks "a threadingModel in lower case" 'threadingModel' 's/"Apartment"/"apartment"/'
breaks "a misspelt comClass" 'unknown element' 's/comClass/comclass/g'
breaks "a class declared twice" 'declared twice' "s/$ALARMA/$RELOJ/"
breaks "a comClass tlbid no typelib declares" 'no typelib of this manifest' '/<typelib/s/{B93E2C91/{B93E2C92/'
breaks "XML that is not well-formed" 'well-formed' 's|</file>|</fil>|'
breaks "an interface for the type library's marshaler without tlbid" 'names none' \
    '/<comInterfaceExternalProxyStub/s/ tlbid="[^"]*"//'

# The unregistered prefix.
export WINEPREFIX="$unregistered"
if ! acceptance_make_prefix "$work/wineboot-sin-registro.log"; then
    exit 1
fi
install_program
placed="$WINEPREFIX/drive_c/programa/cliente$bits.exe.manifest"
expect "nothing registered and no manifest: every class REGDB_E_CLASSNOTREG, ProgID CO_E_CLASSSTRING, the library TYPE_E_LIBNOTREGISTERED" \
    "$(lines 0 0 0)" $everything
cp "$manifest" "$placed"
expect "with the manifest beside the program: both classes by CLSID and ProgID, and the type library" \
    "$(lines 1 1 1)" $everything
found=$(present_keys)
judge "and nothing of the server is in the registry (wine reg query)" "$([ -z "$found" ]; echo $?)" "found: $found"
manifest_without "$manifest" "$placed" "comClass[clsid=$RELOJ]"
expect "a manifest without Reloj's comClass: Reloj is not found, Alarma is" "$(lines 0 1 1)" $everything
manifest_without "$manifest" "$placed" typelib
expect "a manifest without the typelib element: the type library is not found, the classes are" "$(lines 1 1 0)" $everything
# A program that carries a manifest of its own reads that one, never the one beside it.
cp "$fixtures/clientepropio$bits.exe" "$WINEPREFIX/drive_c/programa/"
cp "$manifest" "$WINEPREFIX/drive_c/programa/clientepropio$bits.exe.manifest"
wine "C:\\programa\\clientepropio$bits.exe" "$RELOJ" "$ALARMA" > "$work/cliente.out" 2> "$work/cliente.err"
said=$(tr -d '\r' < "$work/cliente.out")
judge "a program carrying a manifest of its own does not read the one beside it" \
    "$([ "$said" = "$(lines 0 0 0 | head -n 2)" ]; echo $?)" "the client said: $said"
found=$(present_keys)
judge "still nothing of the server in the registry" "$([ -z "$found" ]; echo $?)" "found: $found"

# What Wine does with a manifest that breaks a rule, said and not judged.
# note TEXT SED-EXPRESSION ARGUMENTS...: the client's answer, or its crash, with that manifest.
note() {
    text=$1
    sed "$2" "$work/reference.manifest" > "$placed"
    shift 2
    client "$@"
    if grep -q 'Unhandled' "$work/cliente.err"; then
        answer="the program crashed: $(grep -m 1 'Unhandled' "$work/cliente.err")"
    else
        answer=$(printf '%s' "$said" | tr '\n' ';')
    fi
    printf 'note: %s: %s\n' "$text" "$answer"
}
note "a typelib without helpdir, LoadRegTypeLib" 's/ helpdir=""//' --typelib "$LIBID" 1.0
note "a typelib version in hexadecimal (1.a), the classes" 's/ version="1[.]0" helpdir/ version="1.a" helpdir/' \
    "$RELOJ" "$ALARMA"
note "a comClass clsid without braces, CLSIDFromProgID" "s/clsid=\"{\\([^}]*\\)}\"/clsid=\"\\1\"/" Relojeria.Reloj

# The multithreaded apartment, last: marshalling registers the type library.
manifest_without "$manifest" "$placed" comInterfaceExternalProxyStub
unreached=$(printf 'FAIL %s 0x80004002\nFAIL %s 0x80004002' "$RELOJ" "$ALARMA")
expect "in the multithreaded apartment without comInterfaceExternalProxyStub: the interfaces cannot reach the program" \
    "$unreached" --mta "$RELOJ" "$ALARMA"
# The same elements without their tlbid (the format lets it out).
manifest_without "$manifest" "$placed" comInterfaceExternalProxyStub@tlbid
expect "nor with them when they name no tlbid" "$unreached" --mta "$RELOJ" "$ALARMA"
cp "$manifest" "$placed"
expect "in the multithreaded apartment with them: both classes answer through the type library's marshaler" \
    "$(printf 'OK %s\nOK %s' "$RELOJ" "$ALARMA")" --mta "$RELOJ" "$ALARMA"
printf 'note: marshalling, Wine registered in the prefix:%s\n' "$(present_keys | sed 's/^/ /' | tr -d '\n')"

printf '%d passed, %d failed\n' "$passed" "$failed"
echo "manifest acceptance: $(($(date +%s) - started)) s"
[ "$failed" -eq 0 ]
exit $?

#!/bin/sh
# Acceptance against Wine's DLL loader: zantrel-cli closure says, for each project, which files
# its program needs and which of them cannot be had; the loader, asked to load the same library
# the same way, must fail for exactly the projects whose closure has a problem, and, where it
# loads, bring in the same files from the same folders.
#
# In one fresh prefix the 64-bit DLLs of tests/fixtures/imports are laid out so that some load
# and some cannot: an import beside the library or missing there, one found only in the system
# folder, C:\windows\system, C:\windows, a folder of the system PATH or of the user's PATH, a
# loop, a delay import missing or beside it (either way the library loads), an import of the
# wrong machine (alone, or with a right one further on) or no image at all, a library that is
# itself 32-bit, a copy of a system DLL beside the library, an API set. The judge is
# load_judge64.exe and the closure is asked with --arch amd64 (load_judge32.exe, built beside
# it, is for trying 32-bit libraries by hand under a Wine with its 32-bit half, which Debian's
# wine64 alone is not). Each library is the start of one project file in C:\proyectos:
#   - as its compiled program (ExeName32 naming it, Path32 its folder): the closure searches its
#     imports from that folder first, as COM searches an in-process server's (LoadLibraryEx with
#     LOAD_WITH_ALTERED_SEARCH_PATH), the judge loads it so with the same current folder;
#   - as the full path of a module's Declare, with Path32 naming another folder: the closure
#     searches from the program's folder, as Visual Basic's run-time loads a Declare's library
#     (LoadLibrary); the judge is copied into that folder and loads it with --plain from there.
# A project "fails" on the closure's side when a record has a reason and is not a delay import;
# where both load, the files the loader brought in (less Wine's own built-ins) must be the
# closure's found files (less the system's and the delay imports).
#
# Before that, each search-order rule the closure relies on is tried on the loader alone, and
# two places where Wine is known to go its own way are said as notes.
#
# Usage: loader-acceptance.sh PATH-TO-zantrel-cli
# Prints each rule, each project's two answers and every difference, then "N passed, N failed"
# and the seconds it took; exits 1 when a rule is not confirmed or a project differs, 0
# otherwise. Without wine it prints "skipped: ..." and exits 0. With ZANTREL_ACCEPTANCE_KEEP set,
# the work folder (prefix, closure.tsv, judge.tsv) is kept and named at the end.
set -u

here=$(cd "$(dirname "$0")" && pwd)
fixtures="$here/../fixtures/imports"
started=$(date +%s)

if ! command -v wine > /dev/null 2>&1 || ! command -v wineboot > /dev/null 2>&1; then
    echo "skipped: wine is not installed"
    exit 0
fi
[ $# -eq 1 ] && [ -x "$1" ] || { echo "usage: $0 PATH-TO-zantrel-cli" >&2; exit 2; }
cli=$1
# shellcheck source=acceptance-common.sh
. "$here/acceptance-common.sh"

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# WINEPATH would add folders to the PATH of every Wine program, and not to the closure's.
unset DISPLAY WAYLAND_DISPLAY LANGUAGE ZANTREL_CODEPAGE WINEPATH
acceptance_cleanup_on_exit "closure.tsv, judge.tsv, prefix"

if ! acceptance_make_prefix "$work/wineboot.log"; then
    exit 1
fi
drive="$WINEPREFIX/drive_c"

# The host path of a Windows path on drive C.
host() {
    printf '%s\n' "$1" | sed -e 's/^[Cc]://' -e 's|\\|/|g' -e "s|^|$drive|"
}
# put FIXTURE WINDOWS-PATH: a fixture DLL (or "text", a file that is no image) at that path.
put() {
    target=$(host "$2")
    mkdir -p "$(dirname "$target")"
    if [ "$1" = text ]; then
        printf 'not a program\r\n' > "$target"
    else
        cp "$fixtures/$1" "$target"
    fi
}

# Where the loader's search has to go to find an import: each of these names is comun64.dll
# under another name, and lies in the folder it is meant for and in every later one, so the
# folder the loader takes it from shows which it looks in first.
put comun64.dll 'C:\windows\system32\sistema64.dll'
for name in sistema64 viejo64; do put comun64.dll "C:\\windows\\system\\$name.dll"; done
for name in sistema64 viejo64 raiz64; do put comun64.dll "C:\\windows\\$name.dll"; done
put comun64.dll 'C:\sendero\sendero64.dll'
for name in sistema64 viejo64 raiz64 actual64 camino64 sendero64; do put comun64.dll "C:\\camino\\$name.dll"; done
# The system PATH gets C:\sendero, the user's C:\camino (Windows appends the user's), and
# psapi.dll is listed under KnownDLLs as on Windows.
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
system_path=$(wine reg query "$environment" /v PATH 2> /dev/null | tr -d '\r' | sed -n 's/^ *PATH *REG_EXPAND_SZ *//p')
if [ -z "$system_path" ]; then
    echo "the prefix has no system PATH" >&2
    exit 1
fi
if ! wine reg add "$environment" /v PATH /t REG_EXPAND_SZ /d "$system_path;C:\\sendero" /f > "$work/reg.log" 2>&1 \
    || ! wine reg add 'HKCU\Environment' /v PATH /d 'C:\camino' /f >> "$work/reg.log" 2>&1 \
    || ! wine reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs' /v psapi /d psapi.dll /f \
        >> "$work/reg.log" 2>&1; then
    echo "cannot set the prefix's registry:" >&2
    cat "$work/reg.log" >&2
    exit 1
fi
# zantrel-cli reads the registry files, which the server writes when it ends.
wineserver -w

put_judge() {
    target=$(host "$1")
    mkdir -p "$target"
    cp "$here/load_judge64.exe" "$target/"
}
put_judge 'C:\juez'

# The projects. cases.txt: name, how the judge loads (program or declare), the library, the
# folder the judge is run from and made current.
: > "$work/cases.txt"
# program NAME FOLDER FIXTURE [FILE]: FOLDER\FILE (FILE defaults to FIXTURE) is NAME.vbp's program;
# FOLDER (on C:) is written in Path32 from the project's folder, as Visual Basic writes it.
program() {
    file=${4:-$3}
    put "$3" "$2\\$file"
    printf 'Type=Exe\r\nName="%s"\r\nExeName32="%s"\r\nPath32="..%s"\r\n' "$1" "$file" "${2#?:}" \
        > "$(host "C:\\proyectos\\$1.vbp")"
    printf '%s\tprogram\t%s\\%s\t%s\n' "$1" "$2" "$file" "$2" >> "$work/cases.txt"
}
# declared NAME PROGRAM-FOLDER LIBRARY: NAME.vbp's module declares a function of LIBRARY (a full
# path); the program lies in PROGRAM-FOLDER.
declared() {
    printf 'Type=Exe\r\nModule=%s; %s.bas\r\nName="%s"\r\nPath32="%s"\r\n' "$1" "$1" "$1" "$2" > "$(host "C:\\proyectos\\$1.vbp")"
    printf 'Attribute VB_Name = "%s"\r\nPublic Declare Function Usa Lib "%s" () As Long\r\n' "$1" "$3" \
        > "$(host "C:\\proyectos\\$1.bas")"
    put_judge "$2"
    printf '%s\tdeclare\t%s\t%s\n' "$1" "$3" "$2" >> "$work/cases.txt"
}
mkdir -p "$(host 'C:\proyectos')"

program Junto 'C:\casos\junto' cliente64.dll             # its import beside it
put comun64.dll 'C:\casos\junto\comun64.dll'
program Solo 'C:\casos\solo' cliente64.dll               # the same, its import nowhere
program Diferido 'C:\casos\diferido' informes64.dll      # only a delay import missing
program DiferidoJunto 'C:\casos\diferidojunto' informes64.dll # the delay import beside it, not loaded yet
put comun64.dll 'C:\casos\diferidojunto\comun64.dll'
program Lazo 'C:\casos\lazo' ida64.dll                   # two libraries importing each other
put vuelta64.dll 'C:\casos\lazo\vuelta64.dll'
program Huerfano 'C:\casos\huerfano' huerfano64.dll      # an import no one ships
program Propia 'C:\casos\propia' usasistema64.dll        # its own folder before the system folder
put comun64.dll 'C:\casos\propia\sistema64.dll'
program Sistema 'C:\casos\sistema' usasistema64.dll      # the system folder
program Viejo 'C:\casos\viejo' usaviejo64.dll            # C:\windows\system
program Raiz 'C:\casos\raiz' usaraiz64.dll               # C:\windows
program Sendero 'C:\casos\sendero' usasendero64.dll      # the system PATH before the user's
program Camino 'C:\casos\camino' usacamino64.dll         # the user's PATH
program Actual 'C:\casos\actual' usaactual64.dll         # PATH (the current folder has none)
program Ajena 'C:\casos\ajena' cliente64.dll             # its import is a 32-bit image
put comun32.dll 'C:\casos\ajena\comun64.dll'
program Mezcla 'C:\casos\mezcla' usaraiz64.dll           # a 32-bit copy beside, a 64-bit one in C:\windows
put comun32.dll 'C:\casos\mezcla\raiz64.dll'
program Texto 'C:\casos\texto' cliente64.dll             # its import is no image
put text 'C:\casos\texto\comun64.dll'
program Treinta 'C:\casos\treinta' comun32.dll treinta.dll # the library itself is 32-bit
program Conocida 'C:\casos\conocida' usaconocida64.dll   # a KnownDLL's name beside it
put comun64.dll 'C:\casos\conocida\psapi.dll'
program Conjunto 'C:\casos\conjunto' usaapiset64.dll     # an API set's name beside it
put comun64.dll 'C:\casos\conjunto\api-ms-win-core-sysinfo-l1-1-0.dll'
# A Declare's library: its imports from the program's folder, never from the library's own.
put cliente64.dll 'C:\casos\declarada\cliente64.dll'
put comun64.dll 'C:\casos\declarada\comun64.dll'
declared Declarada 'C:\programa\solo' 'C:\casos\declarada\cliente64.dll'
put comun64.dll 'C:\programa\propio\comun64.dll'
declared DeclaradaConPrograma 'C:\programa\propio' 'C:\casos\solo\cliente64.dll'

# load_judge with ARGUMENTS, from the judge in FOLDER: prints its output without CRs.
judge() {
    folder=$1
    shift
    wine "$folder\\load_judge64.exe" "$@" 2> "$work/judge.err" | tr -d '\r'
}

# The rules the closure's search relies on, each tried on the loader alone:
# rule TEXT EXPECTED-LINE -- JUDGE-FOLDER JUDGE-ARGUMENTS...: the judge's output must hold the line.
rules_passed=0 rules_failed=0
rule() {
    text=$1 expected=$2
    shift 3
    said=$(judge "$@")
    if printf '%s\n' "$said" | grep -qxF "$expected"; then
        rules_passed=$((rules_passed + 1))
        printf 'rule confirmed: %s\n' "$text"
    else
        rules_failed=$((rules_failed + 1))
        printf 'rule NOT confirmed: %s\n    expected the line [%s]; the loader said:\n' "$text" "$expected"
        printf '%s\n' "$said" | sed 's/^/    | /'
    fi
}
put usasistema64.dll 'C:\reglas\propia\usasistema64.dll'
put comun64.dll 'C:\reglas\propia\sistema64.dll'
for name in usasistema64 usaviejo64 usaraiz64 usaactual64 usacamino64; do
    put $name.dll "C:\\reglas\\lejos\\$name.dll"
done
for name in raiz64 actual64; do put comun64.dll "C:\\reglas\\actual\\$name.dll"; done
put usaapiset64.dll 'C:\reglas\conjunto\usaapiset64.dll'
put comun64.dll 'C:\reglas\conjunto\api-ms-win-core-sysinfo-l1-1-0.dll'
put usaraiz64.dll 'C:\reglas\mezcla\usaraiz64.dll'
put comun32.dll 'C:\reglas\mezcla\raiz64.dll'
put cliente64.dll 'C:\reglas\biblioteca\cliente64.dll'
put comun64.dll 'C:\reglas\biblioteca\comun64.dll'
put_judge 'C:\reglas\programa'
put comun64.dll 'C:\reglas\programa\comun64.dll'

rule "LOAD_WITH_ALTERED_SEARCH_PATH looks in the library's own folder before the system folder" \
    '	C:\reglas\propia\sistema64.dll' -- 'C:\juez' --modules 'C:\reglas\propia\usasistema64.dll'
rule "then in the system folder, before C:\\windows\\system, C:\\windows, the current folder and PATH" \
    '	C:\windows\system32\sistema64.dll' -- 'C:\juez' --modules --current 'C:\reglas\actual' 'C:\reglas\lejos\usasistema64.dll'
rule "then in C:\\windows\\system, before C:\\windows" \
    '	C:\windows\system\viejo64.dll' -- 'C:\juez' --modules 'C:\reglas\lejos\usaviejo64.dll'
rule "then in C:\\windows, before the current folder (SafeDllSearchMode)" \
    '	C:\windows\raiz64.dll' -- 'C:\juez' --modules --current 'C:\reglas\actual' 'C:\reglas\lejos\usaraiz64.dll'
rule "then in the current folder, before PATH" \
    '	C:\reglas\actual\actual64.dll' -- 'C:\juez' --modules --current 'C:\reglas\actual' 'C:\reglas\lejos\usaactual64.dll'
rule "then in PATH, the system's folders before the user's" \
    '	C:\sendero\sendero64.dll' -- 'C:\juez' --modules 'C:\casos\sendero\usasendero64.dll'
rule "and PATH holds the user's folders too" \
    '	C:\camino\camino64.dll' -- 'C:\juez' --modules 'C:\reglas\lejos\usacamino64.dll'
rule "an API set is the system's: a file of its name beside the library is never loaded" \
    'C:\reglas\conjunto\usaapiset64.dll	ok' -- 'C:\juez' --modules 'C:\reglas\conjunto\usaapiset64.dll'
# ($said holds what the loader answered for that rule.)
if printf '%s\n' "$said" | grep -qi 'api-ms-win-core-sysinfo-l1-1-0.dll$'; then
    rules_failed=$((rules_failed + 1))
    echo "rule NOT confirmed: the API set's file beside the library was loaded"
fi
rule "an image for another machine is passed over: the search goes on to the next folder" \
    '	C:\windows\raiz64.dll' -- 'C:\juez' --modules 'C:\reglas\mezcla\usaraiz64.dll'
rule "LoadLibrary without the flag (a Declare's library) looks in the program's folder, not the library's" \
    '	C:\reglas\programa\comun64.dll' -- 'C:\reglas\programa' --plain --modules --current 'C:\reglas\programa' \
    'C:\reglas\biblioteca\cliente64.dll'

# The closure of every project.
if ! "$cli" closure --arch amd64 --format tsv 'C:\proyectos\' > "$work/closure.tsv" 2> "$work/closure.err"; then
    echo "zantrel-cli closure failed:" >&2
    cat "$work/closure.err" >&2
    exit 1
fi
# The loader's answer for each project: "NAME<TAB>ok" or "NAME<TAB>failed<TAB>error", then
# "NAME<TAB>module<TAB>path" per file it brought in that is not one of Wine's built-ins.
: > "$work/judge.tsv"
while IFS="$(printf '\t')" read -r name how library folder; do
    case $how in
        program) said=$(judge 'C:\juez' --modules --current "$folder" "$library") ;;
        *) said=$(judge "$folder" --plain --modules --current "$folder" "$library") ;;
    esac
    case $(printf '%s\n' "$said" | head -n 1 | cut -f 2) in
        ok | failed) ;;
        *)
            printf 'the judge gave no answer for %s:\n' "$name" >&2
            cat "$work/judge.err" >&2
            continue
            ;;
    esac
    printf '%s\n' "$said" | awk -F '\t' -v name="$name" '
        NR == 1 { print name "\t" $2 (NF > 2 ? "\t" $3 : ""); next }
        $1 == "" && $3 != "builtin" { print name "\tmodule\t" $2 }' >> "$work/judge.tsv"
done < "$work/cases.txt"

# Where Wine goes its own way, said and not judged (the closure follows Windows there). Wine reads
# no KnownDLLs: a name listed there is looked for as any other (Windows takes the system
# folder's copy without a search). It is tried last, listing sistema64.dll, whose copy lies
# beside C:\reglas\propia\usasistema64.dll; the closure has been asked already.
wine reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs' /v sistema64 /d sistema64.dll /f \
    > /dev/null 2>&1
printf 'note: with sistema64.dll listed under KnownDLLs, Wine loaded%s (Windows: the system folder'"'"'s)\n' \
    "$(judge 'C:\juez' --modules 'C:\reglas\propia\usasistema64.dll' | grep -i '[\\]sistema64[.]dll$' | tr '\t' ' ')"
# For a name it has a built-in of, Wine loads that built-in wherever it found the file, which comes
# to what KnownDLLs give on Windows for a system DLL: psapi.dll beside usaconocida64.dll.
printf 'note: for psapi.dll beside the library, Wine loaded%s\n' \
    "$(judge 'C:\juez' --modules 'C:\casos\conocida\usaconocida64.dll' | grep -i 'psapi.dll' | tr '\t' ' ')"

awk -F '\t' -v rules_passed="$rules_passed" -v rules_failed="$rules_failed" '
function unescape(text) {
    gsub(/\\\\/, "\001", text); gsub(/\\t/, "\t", text); gsub(/\001/, "\\", text)
    return text
}
FILENAME == ARGV[1] {
    order[++cases] = $1
    next
}
FILENAME == ARGV[2] {
    if (FNR == 1) next
    name = unescape($1); sub(/.*\\/, "", name); sub(/\.[Vv][Bb][Pp]$/, "", name)
    file = unescape($2); found = unescape($3); how = $4; via = unescape($5); systems = $6; reason = $7
    # A delay import, and whatever it brings in, is loaded on a first call, never by the load.
    if (how == "delay import") { delayed[name, via " > "] = 1; next }
    for (key in delayed) {
        split(key, part, SUBSEP)
        if (part[1] == name && index(via, part[2]) == 1) next
    }
    if (reason != "") {
        fails[name] = 1
        why[name] = why[name] (why[name] == "" ? "" : "; ") file ": " reason
    } else if (found != "" && systems != "true") {
        ours[name, tolower(found)] = found
    }
    next
}
{
    name = $1
    if ($2 == "module") { theirs[name, tolower($3)] = $3; next }
    loaded[name] = $2 == "ok"
    error[name] = $3
}
END {
    passed = failed = 0
    for (i = 1; i <= cases; i++) {
        name = order[i]
        closure = fails[name] ? "fails (" why[name] ")" : "loads"
        loader = !(name in loaded) ? "no answer" : loaded[name] ? "loads" : "fails (error " error[name] ")"
        printf "%s: closure %s; loader %s\n", name, closure, loader
        bad = !(name in loaded) || (fails[name] ? loaded[name] : !loaded[name])
        if (!bad && loaded[name]) {
            for (key in ours) {
                split(key, part, SUBSEP)
                if (part[1] == name && !(key in theirs)) { bad = 1; printf "    only the closure has %s\n", ours[key] }
            }
            for (key in theirs) {
                split(key, part, SUBSEP)
                if (part[1] == name && !(key in ours)) { bad = 1; printf "    only the loader brought in %s\n", theirs[key] }
            }
        }
        if (bad) { failed++; printf "    DIFFERS\n" } else passed++
    }
    # The rules count too: a rule the loader no longer keeps is a failure of its own.
    printf "%d passed, %d failed\n", passed + rules_passed, failed + rules_failed
    exit failed + rules_failed > 0 || cases == 0
}' "$work/cases.txt" "$work/closure.tsv" "$work/judge.tsv"
status=$?
echo "loader acceptance: $(($(date +%s) - started)) s"
exit $status

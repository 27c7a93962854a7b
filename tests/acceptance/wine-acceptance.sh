#!/bin/sh
# Acceptance against Wine: resolves the reference and component lines of the real-world project
# files twice in one fresh Wine prefix, once with zantrel-cli catalogue and once with the
# system's own registry and type-library functions (resolve_judge, run under Wine), and
# compares the two project by project and entry by entry, in file order: kind, GUID, help
# string, major and minor version, and the file path.
#
# Paths are compared ignoring letter case, and with the SysWOW64 folder taken as System32:
# Wine reports paths in its own case ("C:\windows\system32" against "C:\Windows\System32"), and
# a 32-bit program sees system32 where the registry or a project line says syswow64 (and the
# other way round); both name the same file for the program asking. Everything else must match
# exactly.
#
# Usage: wine-acceptance.sh PATH-TO-zantrel-cli
# Prints every difference, then "N passed, N failed"; exits 1 when any entry differs or a
# project has a different number of entries, 0 otherwise. Without wine it prints
# "skipped: ..." and exits 0. With ZANTREL_ACCEPTANCE_KEEP set, the work folder (prefix and both
# listings) is kept and named at the end.
set -u

here=$(cd "$(dirname "$0")" && pwd)
corpus="$here/../corpus/real-world"

if ! command -v wine > /dev/null 2>&1 || ! command -v wineboot > /dev/null 2>&1; then
    echo "skipped: wine is not installed"
    exit 0
fi
[ $# -eq 1 ] && [ -x "$1" ] || { echo "usage: $0 PATH-TO-zantrel-cli" >&2; exit 2; }
cli=$1

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    wineserver -k > /dev/null 2>&1 || true
    if [ -n "${ZANTREL_ACCEPTANCE_KEEP:-}" ]; then
        echo "kept: $work (judge.tsv, cli.tsv, prefix)"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

if ! wineboot -i > "$work/wineboot.log" 2>&1 || [ ! -d "$WINEPREFIX/drive_c" ]; then
    echo "wineboot failed:" >&2
    cat "$work/wineboot.log" >&2
    exit 1
fi
wineserver -w 2> /dev/null || true
mkdir -p "$WINEPREFIX/drive_c/corpus"
cp "$corpus"/*.vbp "$WINEPREFIX/drive_c/corpus/"

# The 32-bit judge is the faithful one: Zantrel resolves as a 32-bit program does (win32
# registrations, C:\windows\system32 seen as syswow64).
judge="$here/resolve_judge32.exe"
# Debian's wine64 alone starts a 32-bit program and exits 0 without running it, so the prefix's
# 32-bit system folder is what tells: Wine fills it only when its 32-bit half is there.
if [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] || ! wine "$judge" > /dev/null 2>&1; then
    # A Wine without its 32-bit half (no wine32) registers its libraries for win64 only and
    # leaves syswow64 empty, so a 32-bit program would find none of them. The prefix is then
    # given the 32-bit view that a full Wine would have made: every win64 registration also
    # as win32 and every file of system32 also in syswow64 (hard links). The 64-bit judge then
    # finds the same files by the same keys; its LoadRegTypeLib prefers win64, which names the
    # same file.
    judge="$here/resolve_judge64.exe"
    echo "note: this Wine cannot run 32-bit programs (wine32 missing): judging with the 64-bit judge" \
        "in a prefix given a 32-bit view (win64 registrations copied to win32, system32 linked into syswow64)"
    wineserver -w 2> /dev/null || true
    cat > "$work/win32.awk" <<'AWK'
# Prints system.reg, then a win32 copy of every TypeLib ...\win64 key that has no win32 twin.
{ lines[NR] = $0 }
/^\[/ { key = tolower($0); sub(/\] .*/, "]", key); have[key] = 1 }
END {
    for (i = 1; i <= NR; i++) print lines[i]
    for (i = 1; i <= NR; i++) {
        if (lines[i] !~ /^\[[Ss]oftware\\\\[Cc]lasses\\\\[Tt]ype[Ll]ib\\\\.*\\\\win64\]/) continue
        header = lines[i]; at = index(header, "\\win64]")
        header = substr(header, 1, at) "win32]" substr(header, at + 7)
        key = tolower(header); sub(/\] .*/, "]", key)
        if (key in have) continue
        print ""
        print header
        for (j = i + 1; j <= NR && lines[j] != ""; j++) print lines[j]
    }
}
AWK
    awk -f "$work/win32.awk" "$WINEPREFIX/system.reg" > "$work/system.reg" \
        && cat "$work/system.reg" > "$WINEPREFIX/system.reg"
    cp -rln "$WINEPREFIX/drive_c/windows/system32/." "$WINEPREFIX/drive_c/windows/syswow64/" 2> /dev/null || true
fi
set --
for file in "$corpus"/*.vbp; do
    set -- "$@" "c:\\corpus\\$(basename "$file")"
done
if ! wine "$judge" "$@" > "$work/judge.tsv" 2> "$work/judge.err"; then
    echo "the judge failed under Wine:" >&2
    cat "$work/judge.err" >&2
    exit 1
fi

if ! "$cli" catalogue 'c:\corpus\' > "$work/cli.raw" 2> "$work/cli.err"; then
    echo "zantrel-cli catalogue failed:" >&2
    cat "$work/cli.err" >&2
    exit 1
fi
# Project file name (after its last backslash), kind, path, GUID, help string, major, minor;
# projects without entries carry an empty kind and are left out.
awk -F '\t' 'NR > 1 && $6 != "" {
    name = $2; sub(/.*\\/, "", name)
    print name "\t" $6 "\t" $7 "\t" $8 "\t" $10 "\t" $11 "\t" $12
}' "$work/cli.raw" > "$work/cli.tsv"

awk -F '\t' '
function samePath(a, b) {
    a = tolower(a); b = tolower(b)
    gsub(/\\\\syswow64\\\\/, "|system32|", a)
    gsub(/\\\\syswow64\\\\/, "|system32|", b)
    gsub(/\\\\system32\\\\/, "|system32|", a)
    gsub(/\\\\system32\\\\/, "|system32|", b)
    return a == b
}
{
    side = FILENAME == ARGV[1] ? 1 : 2
    p = $1
    if (!(p in seen)) { seen[p] = 1; order[++projects] = p }
    n = ++count[side, p]
    line[side, p, n] = $0
    for (f = 2; f <= 7; f++) field[side, p, n, f] = $f
}
END {
    split("kind path GUID help major minor", names, " ")
    passed = failed = 0
    for (i = 1; i <= projects; i++) {
        p = order[i]
        ours = count[1, p] + 0; wine = count[2, p] + 0
        if (ours != wine)
            printf "%s: zantrel-cli gave %d entries, Wine %d\n", p, ours, wine
        top = ours > wine ? ours : wine
        for (n = 1; n <= top; n++) {
            if (n > ours || n > wine) {
                failed++
                printf("%s entry %d: only %s: %s\n", p, n, (n > ours ? "Wine" : "zantrel-cli"), (n > ours ? line[2, p, n] : line[1, p, n]))
                continue
            }
            bad = ""
            for (f = 2; f <= 7; f++) {
                a = field[1, p, n, f]; b = field[2, p, n, f]
                if (f == 3 ? !samePath(a, b) : a != b)
                    bad = bad sprintf("\n    %s: zantrel-cli [%s] Wine [%s]", names[f - 1], a, b)
            }
            if (bad == "") passed++
            else { failed++; printf "%s entry %d differs:%s\n", p, n, bad }
        }
    }
    printf "%d passed, %d failed\n", passed, failed
    # Nothing resolved on either side means the prefix or the judge is broken, not a pass.
    if (passed + failed == 0) { print "no entry resolved on either side"; exit 1 }
    exit (failed > 0 ? 1 : 0)
}' "$work/cli.tsv" "$work/judge.tsv"

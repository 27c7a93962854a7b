#!/bin/sh
# Acceptance against Wine: reads the real-world project files twice in one fresh Wine prefix,
# once with zantrel-cli catalogue and once with the system's own registry and type-library
# functions (resolve_judge, run under Wine), and compares the two project by project: the
# project's name, and entry by entry, in file order: kind, GUID, help string, major and minor
# version, and the file path (acceptance_compare in acceptance-common.sh says how paths are
# compared; everything else must match exactly).
#
# Usage: wine-acceptance.sh PATH-TO-zantrel-cli
# Prints every difference, then "N passed, N failed"; exits 1 when any name or entry differs or
# a project has a different number of entries, 0 otherwise. Without wine it prints
# "skipped: ..." and exits 0. With ZANTREL_ACCEPTANCE_KEEP set, the work folder (prefix and both
# listings) is kept and named at the end.
set -u

here=$(cd "$(dirname "$0")" && pwd)
corpus="$here/../corpus/real-world"
# shellcheck source=acceptance-common.sh
. "$here/acceptance-common.sh"

if ! command -v wine > /dev/null 2>&1 || ! command -v wineboot > /dev/null 2>&1; then
    echo "skipped: wine is not installed"
    exit 0
fi
[ $# -eq 1 ] && [ -x "$1" ] || { echo "usage: $0 PATH-TO-zantrel-cli" >&2; exit 2; }
cli=$1

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The corpus is windows-1252 text: the prefix is made and used under a locale whose ANSI code
# page is 1252, whatever the caller's, and zantrel-cli takes the page from the prefix.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY LANGUAGE ZANTREL_CODEPAGE
acceptance_cleanup_on_exit "judge.tsv, cli.tsv, prefix"

if ! acceptance_make_prefix "$work/wineboot.log"; then
    exit 1
fi
acp=$(acceptance_prefix_acp)
if [ "$acp" != 1252 ]; then
    echo "the prefix made under LC_ALL=$LC_ALL has ANSI code page ${acp:-(none)}, not 1252" >&2
    exit 1
fi
mkdir -p "$WINEPREFIX/drive_c/corpus"
cp "$corpus"/*.vbp "$WINEPREFIX/drive_c/corpus/"

acceptance_choose_judge "$here" "$work"
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
acceptance_cli_listing "$work/cli.raw" "$work/cli.tsv"
acceptance_compare "$work/cli.tsv" "$work/judge.tsv"

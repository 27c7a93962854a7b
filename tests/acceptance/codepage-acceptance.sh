#!/bin/sh
# Acceptance against Wine for project files written under other Windows ANSI code pages. For
# each of zh_CN (ANSI code page 936), ru_RU (1251) and ja_JP (932) it makes a fresh Wine prefix
# under that locale, places project files written in the page's bytes (project names, titles
# and the folders of written paths in local letters; for ja_JP also a folder whose double-byte
# characters end in 0x5C, the byte of the backslash), and compares zantrel-cli catalogue with
# the judge (resolve_judge, run under Wine in the same locale) as wine-acceptance.sh does: the
# project names exactly, the entries in file order.
#
# zantrel-cli runs under a neutral locale (C.UTF-8) and without ZANTREL_CODEPAGE, so the
# prefix's registry is the only place it can learn the page from. The same listing made with
# ZANTREL_CODEPAGE=1252 must differ from the judge's, which shows that the files tell the pages
# apart (a program reading every page as 1252 would fail here).
#
# The locales are taken from the machine where it has them, else made with localedef into the
# work folder and found through LOCPATH (no root needed). Wine takes the ANSI code page from the
# locale of each program it starts and writes it back into the prefix when it changes, so every
# Wine program in a prefix runs under that prefix's locale; a prefix whose registry does not say
# the expected page, after wineboot or after the judge, fails loudly.
#
# Usage: codepage-acceptance.sh PATH-TO-zantrel-cli
# Prints, per locale, every difference, "N passed, N failed" and the seconds it took; exits 1
# when any name or entry differs, a prefix has another page, or the 1252 listing equals the
# judge's; 0 otherwise. Without wine it prints "skipped: ..." and exits 0. With
# ZANTREL_ACCEPTANCE_KEEP set, the work folder (per locale: prefix, judge.tsv, cli.tsv,
# cli-1252.tsv) is kept and named at the end.
set -u

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=acceptance-common.sh
. "$here/acceptance-common.sh"

if ! command -v wine > /dev/null 2>&1 || ! command -v wineboot > /dev/null 2>&1; then
    echo "skipped: wine is not installed"
    exit 0
fi
[ $# -eq 1 ] && [ -x "$1" ] || { echo "usage: $0 PATH-TO-zantrel-cli" >&2; exit 2; }
cli=$1

work=$(mktemp -d)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY LANGUAGE ZANTREL_CODEPAGE
cleanup() {
    for prefix in "$work"/*/prefix; do
        [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k > /dev/null 2>&1
    done
    if [ -n "${ZANTREL_ACCEPTANCE_KEEP:-}" ]; then
        echo "kept: $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Sets `locpath` for locale $1 (as "zh_CN"): empty where the machine has $1.UTF-8, else the
# folder localedef made it in.
prepare_locale() {
    locpath=
    if [ "$(LC_ALL="$1.UTF-8" locale charmap 2> /dev/null)" = UTF-8 ]; then
        return 0
    fi
    locpath="$work/locales"
    mkdir -p "$locpath"
    # localedef exits 1 for mere warnings; the made locale is what counts.
    localedef -i "$1" -f UTF-8 "$locpath/$1.UTF-8" > "$work/localedef-$1.log" 2>&1
    if [ "$(LOCPATH=$locpath LC_ALL="$1.UTF-8" locale charmap 2> /dev/null)" != UTF-8 ]; then
        echo "cannot make the locale $1.UTF-8 (Debian's package locales holds its sources):" >&2
        cat "$work/localedef-$1.log" >&2
        return 1
    fi
}

# Writes file $1 from standard input (UTF-8 text, one line a line) in the bytes of code page
# $2, each line ending in CR LF as Visual Basic writes them.
write_in_page() {
    sed 's/$/\r/' | iconv -f UTF-8 -t "$2" > "$1"
}

# The projects of one locale: $1 locale, $2 iconv's name of its page, $3 the folder of the
# projects, $4 the folder holding a copy of stdole2.tlb, $5 and $6 the projects' names, $7 a
# title, $8 a description, $9 the name a reference line gives its library. Project $5 writes
# the copy's absolute path, project $6 a path relative to its own folder; both also name
# stdole 2.0 as registered (resolved by the registry, not by the path written). Project $5 also
# names the library "$9.tlb" in $4, which the judge writes with Wine's own functions, its help
# string $9 stored in the page's bytes. The GUIDs of the written paths are registered nowhere,
# so the written path is what resolves. ${10}, when not empty, is one more folder under $4
# holding a copy of stdole2.tlb, written by a line of project $5. Needs `judge`.
library_guid=7C3A5E24-94B0-4F6D-8E13-2A9C5D6B0F41
place_projects() {
    drive="$WINEPREFIX/drive_c"
    mkdir -p "$drive/$3" "$drive/$4"
    cp "$drive/windows/system32/stdole2.tlb" "$drive/$4/"
    if ! wine "$judge" --write-library "C:\\$4\\$9.tlb" "{$library_guid}" "$9" 2> "$work/$1/library.err" \
        || [ ! -s "$drive/$4/$9.tlb" ]; then
        printf '%s\n' "the judge could not write the type library C:\\$4\\$9.tlb:" >&2
        cat "$work/$1/library.err" >&2
        return 1
    fi
    stdole='Reference=*\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\Windows\System32\stdole2.tlb#OLE Automation'
    {
        printf '%s\n' 'Type=Exe' "$stdole" \
            "Reference=*\\G{7C3A5E21-94B0-4F6D-8E13-2A9C5D6B0F41}#1.0#0#C:\\$4\\stdole2.tlb#$9" \
            "Reference=*\\G{$library_guid}#1.0#0#C:\\$4\\$9.tlb#$9"
        if [ -n "${10}" ]; then
            mkdir -p "$drive/$4/${10}"
            cp "$drive/windows/system32/stdole2.tlb" "$drive/$4/${10}/"
            printf '%s\n' "Reference=*\\G{7C3A5E22-94B0-4F6D-8E13-2A9C5D6B0F41}#1.0#0#C:\\$4\\${10}\\stdole2.tlb#$9"
        fi
        printf '%s\n' 'Startup="Sub Main"' "Title=\"$7\"" "ExeName32=\"$5.exe\"" "Name=\"$5\"" "Description=\"$8\""
    } | write_in_page "$drive/$3/$5.vbp" "$2" || return 1
    printf '%s\n' 'Type=OleDll' "Name=\"$6\"" \
        "Reference=*\\G{7C3A5E23-94B0-4F6D-8E13-2A9C5D6B0F41}#1.0#0#..\\$4\\stdole2.tlb#$9" \
        "$stdole" "Title=\"$7\"" "Description=\"$8\"" | write_in_page "$drive/$3/$6.vbp" "$2" || return 1
}

# Runs zantrel-cli catalogue on folder $1 under a neutral locale, with ZANTREL_CODEPAGE=$3 when
# $3 is given, and writes its listing to $2 (its table to $2.raw).
run_cli() {
    (
        unset LOCPATH
        if [ -n "${3:-}" ]; then export ZANTREL_CODEPAGE="$3"; fi
        LANG=C.UTF-8 LC_ALL=C.UTF-8 "$cli" catalogue "$1" > "$2.raw" 2> "$2.err"
    ) || { echo "zantrel-cli catalogue failed:" >&2; cat "$2.err" >&2; return 1; }
    acceptance_cli_listing "$2.raw" "$2"
}

# One locale: $1 as "zh_CN", $2 its ANSI code page, then place_projects' $2.. $10.
judge_locale() {
    loc=$1 acp=$2
    shift 2
    dir="$work/$loc"
    mkdir -p "$dir"
    prepare_locale "$loc" || return 1
    (
        export WINEPREFIX="$dir/prefix" LANG="$loc.UTF-8" LC_ALL="$loc.UTF-8"
        if [ -n "$locpath" ]; then export LOCPATH="$locpath"; fi
        acceptance_make_prefix "$dir/wineboot.log" || exit 1
        got=$(acceptance_prefix_acp)
        if [ "$got" != "$acp" ]; then
            echo "the prefix made under LC_ALL=$LC_ALL has ANSI code page ${got:-(none)}, not $acp" >&2
            exit 1
        fi
        acceptance_choose_judge "$here" "$dir"
        place_projects "$loc" "$@" || exit 1
        folder="c:\\$2\\"
        set -- "$folder$4.vbp" "$folder$5.vbp"
        if ! wine "$judge" "$@" > "$dir/judge.tsv" 2> "$dir/judge.err"; then
            echo "the judge failed under Wine:" >&2
            cat "$dir/judge.err" >&2
            exit 1
        fi
        wineserver -w 2> /dev/null || true
        got=$(acceptance_prefix_acp)
        if [ "$got" != "$acp" ]; then
            echo "after the judge ran, the prefix has ANSI code page ${got:-(none)}, not $acp" >&2
            exit 1
        fi
        run_cli "$folder" "$dir/cli.tsv" || exit 1
        run_cli "$folder" "$dir/cli-1252.tsv" 1252 || exit 1
        status=0
        acceptance_compare "$dir/cli.tsv" "$dir/judge.tsv" || status=1
        if acceptance_compare "$dir/cli-1252.tsv" "$dir/judge.tsv" > "$dir/compare-1252.txt"; then
            echo "with ZANTREL_CODEPAGE=1252 zantrel-cli still agrees with Wine: it ignores ZANTREL_CODEPAGE," \
                "or these files do not tell $acp from 1252"
            status=1
        else
            echo "with ZANTREL_CODEPAGE=1252 zantrel-cli differs from Wine, as it must ($(tail -n 1 "$dir/compare-1252.txt"))"
        fi
        exit $status
    )
}

failed=0
for locale_name in zh_CN ru_RU ja_JP; do
    started=$(date +%s)
    case $locale_name in
    zh_CN)
        echo "== zh_CN.UTF-8, ANSI code page 936 =="
        set -- 936 CP936 '项目' '程序' '工程1' '工程2' '代码页测试' '工程说明：简体中文' '本地类型库' '' ;;
    ru_RU)
        echo "== ru_RU.UTF-8, ANSI code page 1251 =="
        set -- 1251 CP1251 'Проекты' 'Программы' 'Проект1' 'Проект2' 'Проверка кодовой страницы' \
            'Описание проекта: кириллица' 'Библиотека типов' '' ;;
    ja_JP)
        # 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932.
        echo "== ja_JP.UTF-8, ANSI code page 932 =="
        set -- 932 CP932 'プロジェクト' 'プログラム' 'プロジェクト1' 'プロジェクト2' 'コードページの確認' \
            'プロジェクトの説明：日本語' 'タイプ ライブラリ' '表示ソフト' ;;
    esac
    judge_locale "$locale_name" "$@" || failed=1
    echo "$locale_name: $(( $(date +%s) - started )) s"
done
exit $failed

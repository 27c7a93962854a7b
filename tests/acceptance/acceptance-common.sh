# Shared by the acceptance scripts that hold zantrel-cli against Wine (wine-acceptance.sh,
# codepage-acceptance.sh); sourced, plain POSIX sh. Each function works on the prefix named by
# WINEPREFIX and runs Wine with the environment it is given (locale included).

# Makes a fresh prefix at WINEPREFIX and waits until its wineserver has written everything.
# Usage: acceptance_make_prefix LOG. Prints the log and returns 1 when wineboot fails.
acceptance_make_prefix() {
    if ! wineboot -i > "$1" 2>&1 || [ ! -d "$WINEPREFIX/drive_c" ]; then
        echo "wineboot failed:" >&2
        cat "$1" >&2
        return 1
    fi
    wineserver -w 2> /dev/null || true
}

# Prints the "ACP" value of the prefix's System\CurrentControlSet\Control\Nls\CodePage key
# (empty when system.reg has none); read while no wineserver is running.
acceptance_prefix_acp() {
    awk '
    /^\[/ {
        key = tolower($0); sub(/\] .*/, "]", key)
        inside = key == "[system\\\\currentcontrolset\\\\control\\\\nls\\\\codepage]"
        next
    }
    inside && /^"ACP"="/ { value = $0; sub(/^"ACP"="/, "", value); sub(/".*/, "", value); print value; exit }
    ' "$WINEPREFIX/system.reg"
}

# Sets `judge` to the judge that fits this Wine: resolve_judge32.exe where Wine runs 32-bit
# programs, else resolve_judge64.exe in a prefix given the 32-bit view that a full Wine would
# have made. Usage: acceptance_choose_judge ACCEPTANCE-FOLDER WORK-FOLDER
acceptance_choose_judge() {
    # The 32-bit judge is the faithful one: Zantrel resolves as a 32-bit program does (win32
    # registrations, C:\windows\system32 seen as syswow64).
    judge="$1/resolve_judge32.exe"
    # Debian's wine64 alone starts a 32-bit program and exits 0 without running it, so the
    # prefix's 32-bit system folder is what tells: Wine fills it only when its 32-bit half is there.
    if [ -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] && wine "$judge" > /dev/null 2>&1; then
        return 0
    fi
    # A Wine without its 32-bit half (no wine32) registers its libraries for win64 only and
    # leaves syswow64 empty, so a 32-bit program would find none of them. The prefix is then
    # given the 32-bit view that a full Wine would have made: every win64 registration also
    # as win32 and every file of system32 also in syswow64 (hard links). The 64-bit judge then
    # finds the same files by the same keys; its LoadRegTypeLib prefers win64, which names the
    # same file.
    judge="$1/resolve_judge64.exe"
    echo "note: this Wine cannot run 32-bit programs (wine32 missing): judging with the 64-bit judge" \
        "in a prefix given a 32-bit view (win64 registrations copied to win32, system32 linked into syswow64)"
    wineserver -w 2> /dev/null || true
    cat > "$2/win32.awk" <<'AWK'
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
    awk -f "$2/win32.awk" "$WINEPREFIX/system.reg" > "$2/system.reg" \
        && cat "$2/system.reg" > "$WINEPREFIX/system.reg"
    cp -rln "$WINEPREFIX/drive_c/windows/system32/." "$WINEPREFIX/drive_c/windows/syswow64/" 2> /dev/null || true
}

# Turns the table of zantrel-cli catalogue into the judge's listing: per project a name record
# (file name, 0, name, four empty fields), and per entry its file name (after its last
# backslash), kind, path, GUID, help string, major, minor. Usage: acceptance_cli_listing RAW OUT
acceptance_cli_listing() {
    awk -F '\t' 'NR > 1 {
        file = $2; sub(/.*\\/, "", file)
        if ($1 != last) { last = $1; print file "\t0\t" $4 "\t\t\t\t" }
        if ($6 != "") print file "\t" $6 "\t" $7 "\t" $8 "\t" $10 "\t" $11 "\t" $12
    }' "$1" > "$2"
}

# Compares zantrel-cli's listing with the judge's, project by project: the names exactly, and
# the entries in file order (kind, path, GUID, help string, major, minor). Paths are compared
# ignoring letter case, and with the SysWOW64 folder taken as System32: Wine reports paths in
# its own case ("C:\windows\system32" against "C:\Windows\System32"), and a 32-bit program sees
# system32 where the registry or a project line says syswow64 (and the other way round); both
# name the same file for the program asking. Prints every difference, then "N passed, N failed"
# (a name and an entry each count one). Returns 1 when anything differs or nothing resolved
# on either side. Usage: acceptance_compare CLI-LISTING JUDGE-LISTING
acceptance_compare() {
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
    if ($2 == "0") { hasName[side, p] = 1; name[side, p] = $3; next }
    n = ++count[side, p]
    line[side, p, n] = $0
    for (f = 2; f <= 7; f++) field[side, p, n, f] = $f
}
END {
    split("kind path GUID help major minor", names, " ")
    passed = failed = entries = 0
    for (i = 1; i <= projects; i++) {
        p = order[i]
        if (!hasName[1, p] || !hasName[2, p]) {
            failed++
            printf "%s: only %s lists the project\n", p, (hasName[1, p] ? "zantrel-cli" : "Wine")
        } else if (name[1, p] != name[2, p]) {
            failed++
            printf "%s name differs:\n    zantrel-cli [%s] Wine [%s]\n", p, name[1, p], name[2, p]
        } else {
            passed++
        }
        ours = count[1, p] + 0; wine = count[2, p] + 0
        if (ours != wine)
            printf "%s: zantrel-cli gave %d entries, Wine %d\n", p, ours, wine
        top = ours > wine ? ours : wine
        entries += top
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
    if (entries == 0) { print "no entry resolved on either side"; exit 1 }
    exit (failed > 0 ? 1 : 0)
}' "$1" "$2"
}

# Ends Wine's server and removes the work folder $work when the script exits, or keeps it with
# ZANTREL_ACCEPTANCE_KEEP set and names it with what it holds ($1); an interrupt exits with 1.
acceptance_cleanup_on_exit() {
    acceptance_kept=$1
    trap acceptance_cleanup EXIT
    trap 'exit 1' INT TERM
}
acceptance_cleanup() {
    wineserver -k > /dev/null 2>&1 || true
    if [ -n "${ZANTREL_ACCEPTANCE_KEEP:-}" ]; then
        echo "kept: $work ($acceptance_kept)"
    else
        rm -rf "$work"
    fi
}

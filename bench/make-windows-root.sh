#!/bin/sh
# Lays out ROOT as the disk (drive C:) of a Windows machine that holds what a Wine prefix holds,
# for comparing `zantrel-cli VERB --windows ROOT` with `WINEPREFIX=PREFIX zantrel-cli VERB`:
#
#     make-windows-root.sh PREFIX ROOT [SCALE]
#
# The prefix's drive_c is hard-linked into ROOT (cp -al: ROOT must be on the prefix's file system
# and must not exist yet), and its registry becomes the machine's hives in
# ROOT/Windows/System32/config (the folders drive_c already has, matched ignoring case, else new
# ones): SOFTWARE, a synthetic hive of SCALE (make-synthetic-hive.py: 0 for none of its keys, 1.0,
# the default, for about a million keys in 155 MB) with every key of PREFIX/system.reg under
# Software\ merged in, and SYSTEM, that file's System\ keys. A PREFIX/user.reg becomes the
# NTUSER.DAT of the profile folder under drive_c's users folder (the only one but Public, else a
# new one named "user").
#
# Hard links share the files: the project files and libraries are the prefix's, so change
# neither in place while ROOT is in use. Zantrel never writes under a Windows root.
set -eu

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    sed -n '2,/^$/s/^# \{0,1\}//p' "$0" >&2
    exit 2
fi
prefix=$1
root=$2
scale=${3:-1.0}
here=$(dirname "$0")

if [ ! -d "$prefix/drive_c" ] || [ ! -f "$prefix/system.reg" ]; then
    echo "$prefix: not a Wine prefix (no drive_c or system.reg)" >&2
    exit 1
fi
if [ -e "$root" ] || [ -L "$root" ]; then
    echo "$root already exists: remove it first" >&2
    exit 1
fi

# The folder in folder $1 named $2 ignoring case, made when there is none.
folder() {
    found=$(find "$1" -mindepth 1 -maxdepth 1 -type d -iname "$2" -print -quit)
    if [ -z "$found" ]; then
        found=$1/$2
        mkdir "$found"
    fi
    printf '%s\n' "$found"
}

cp -al "$prefix/drive_c" "$root"
config=$(folder "$(folder "$(folder "$root" Windows)" System32)" config)
set -- --wine-registry "$prefix/system.reg" --system-hive "$config/SYSTEM"
if [ -f "$prefix/user.reg" ]; then
    users=$(folder "$root" Users)
    profile=$(find "$users" -mindepth 1 -maxdepth 1 -type d ! -iname Public -print)
    if [ -z "$profile" ] || [ "$(printf '%s\n' "$profile" | wc -l)" -ne 1 ]; then
        profile=$users/user
        mkdir -p "$profile"
    fi
    set -- "$@" --wine-user-registry "$prefix/user.reg" --user-hive "$profile/NTUSER.DAT"
fi
python3 "$here/make-synthetic-hive.py" "$config/SOFTWARE" "$scale" "$@"
rm -f "$config/SOFTWARE.paths"

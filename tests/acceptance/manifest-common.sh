# Shared by the acceptance scripts that judge application manifests for registration-free COM
# (manifest-acceptance.sh); sourced, plain POSIX sh. The registry functions run `wine reg` on the
# prefix named by WINEPREFIX; the manifest functions need xmllint (libxml2-utils) and python3.

# registry_tree TSV VIEW KEY...: appends each KEY's subtree, as `wine reg query KEY /s VIEW`
# lists it, to TSV: one line per value, tab-separated: key (as "HKCR\..."), value name
# ("(Default)" for the default), data. VIEW is /reg:32, /reg:64 or empty. A missing key adds nothing.
registry_tree() {
    tree_tsv=$1 tree_view=$2
    shift 2
    for tree_key in "$@"; do
        # shellcheck disable=SC2086 # VIEW is one word or none
        wine reg query "$tree_key" /s $tree_view 2> /dev/null | tr -d '\r' | awk '
            /^HKEY_CLASSES_ROOT/ { key = "HKCR" substr($0, 18); next }
            /^HKEY_/ { key = $0; next }
            /^    / {
                line = substr($0, 5); at = index(line, "    ")
                name = substr(line, 1, at - 1); line = substr(line, at + 4)
                at = index(line, "    ")
                data = at ? substr(line, at + 4) : ""
                print key "\t" name "\t" data
            }' >> "$tree_tsv"
    done
}

# registry_value TSV KEY [NAME]: prints the data of that value (the default when no NAME) from a
# registry_tree listing, the key compared ignoring letter case; returns 1 when it is not there.
registry_value() {
    # Through the environment: awk -v would take the keys' backslashes for escapes.
    key=$2 name=${3:-(Default)} awk -F '\t' '
        tolower($1) == tolower(ENVIRON["key"]) && $2 == ENVIRON["name"] { print $3; found = 1; exit }
        END { exit !found }' "$1"
}

# registry_subkeys TSV KEY: prints the names of KEY's direct subkeys that hold values of their own
# or deeper down, once each.
registry_subkeys() {
    key="$2\\" awk -F '\t' '
        { key = ENVIRON["key"] }
        index(tolower($1), tolower(key)) == 1 { rest = substr($1, length(key) + 1); sub(/\\.*/, "", rest); print rest }' \
        "$1" | sort -u
}

upper() {
    printf '%s' "$1" | tr '[:lower:]' '[:upper:]'
}

# manifest_xpath MANIFEST EXPRESSION: what xmllint makes of EXPRESSION on MANIFEST.
manifest_xpath() {
    xmllint --xpath "$2" "$1" 2> /dev/null
}

# manifest_named ELEMENT ATTRIBUTE VALUE: the XPath step to the elements of that local name (any
# namespace) whose ATTRIBUTE is VALUE, letter case aside.
manifest_named() {
    printf "*[local-name()='%s'][translate(@%s,'abcdefghijklmnopqrstuvwxyz','ABCDEFGHIJKLMNOPQRSTUVWXYZ')='%s']" \
        "$1" "$2" "$(upper "$3")"
}

# manifest_without MANIFEST OUTPUT WHAT: writes MANIFEST less WHAT to OUTPUT, WHAT being
#   ELEMENT                   every element of that local name, with what it holds;
#   ELEMENT[ATTRIBUTE=VALUE]  those whose ATTRIBUTE is VALUE, letter case aside;
#   ELEMENT@ATTRIBUTE         that attribute of every such element.
# It edits the XML, not the text, so it holds for a manifest laid out in any way.
manifest_without() {
    /usr/bin/python3 - "$@" <<'PY'
import re
import sys
import xml.dom.minidom

source, target, what = sys.argv[1:4]
name, attribute, value, bare = re.fullmatch(r"(\w+)(?:\[(\w+)=([^]]*)\])?(?:@(\w+))?", what).groups()
document = xml.dom.minidom.parse(source)
for element in list(document.getElementsByTagName("*")):
    if element.localName != name:
        continue
    if bare:
        if element.hasAttribute(bare):
            element.removeAttribute(bare)
    elif attribute is None or element.getAttribute(attribute).lower() == value.lower():
        element.parentNode.removeChild(element)
with open(target, "wb") as out:
    out.write(document.toxml(encoding="UTF-8"))
PY
}

# What a manifest must say for a server that regsvr32 registered, read from a registry_tree
# listing TSV of its keys. Each function prints one line per difference and returns 1 when there
# is one; GUIDs and file names are compared ignoring letter case. The variables they set outside
# the differences' subshell are named agree_*, as a sourced function shares its caller's.

# Prints the differences found, if any, and says whether there were.
differ() {
    [ -z "$agree_differences" ] && return 0
    printf '%s\n' "$agree_differences"
    return 1
}

# manifest_class_agrees MANIFEST TSV CLSID: the class is a comClass in the file element named as
# its InprocServer32's file, with its ThreadingModel, its TypeLib as tlbid, and its ProgID and
# VersionIndependentProgID each as the progid attribute or a progid element.
manifest_class_agrees() {
    agree_server=$(registry_value "$2" "HKCR\\CLSID\\$3\\InprocServer32") || agree_server=
    agree_class="//$(manifest_named file name "${agree_server##*\\}")/$(manifest_named comClass clsid "$3")"
    agree_differences=$(
        [ "$(manifest_xpath "$1" "count($agree_class)")" = 1 ] \
            || echo "no comClass $3 in a file named \"${agree_server##*\\}\" (InprocServer32: $agree_server)"
        model=$(registry_value "$2" "HKCR\\CLSID\\$3\\InprocServer32" ThreadingModel)
        written=$(manifest_xpath "$1" "string($agree_class/@threadingModel)")
        [ "$written" = "$model" ] || echo "threadingModel \"$written\", the registry's \"$model\""
        tlbid=$(registry_value "$2" "HKCR\\CLSID\\$3\\TypeLib")
        written=$(manifest_xpath "$1" "string($agree_class/@tlbid)")
        [ "$(upper "$written")" = "$(upper "$tlbid")" ] || echo "tlbid \"$written\", the registry's \"$tlbid\""
        for key in ProgID VersionIndependentProgID; do
            progid=$(registry_value "$2" "HKCR\\CLSID\\$3\\$key") || continue
            [ "$(manifest_xpath "$1" "count(${agree_class}[@progid='$progid' or *[local-name()='progid'][normalize-space(.)='$progid']])")" = 1 ] \
                || echo "no progid \"$progid\" (the registry's $key)"
        done
    )
    differ
}

# manifest_typelib_agrees MANIFEST TSV LIBID SYSKIND: each registered version of the library
# (TypeLib\{libid}\<major.minor in hexadecimal>) is a typelib element with that version in
# decimal, in the file element named as its 0\SYSKIND file.
manifest_typelib_agrees() {
    agree_versions=$(registry_subkeys "$2" "HKCR\\TypeLib\\$3" | grep -E '^[0-9A-Fa-f]+\.[0-9A-Fa-f]+$')
    agree_differences=$(
        [ -n "$agree_versions" ] || echo "the registry has no version of $3"
        for version in $agree_versions; do
            decimal=$(printf '%d.%d' "0x${version%.*}" "0x${version#*.}")
            path=$(registry_value "$2" "HKCR\\TypeLib\\$3\\$version\\0\\$4") || path=
            [ "$(manifest_xpath "$1" "count(//$(manifest_named file name "${path##*\\}")/$(manifest_named typelib tlbid "$3")[@version='$decimal'])")" = 1 ] \
                || echo "no typelib $3 version=\"$decimal\" (the registry's $version) in a file named \"${path##*\\}\""
        done
    )
    differ
}

# manifest_interface_agrees MANIFEST TSV IID: the interface is a comInterfaceExternalProxyStub
# with its ProxyStubClsid32 and its TypeLib as tlbid.
manifest_interface_agrees() {
    agree_stub="//$(manifest_named comInterfaceExternalProxyStub iid "$3")"
    agree_differences=$(
        if [ "$(manifest_xpath "$1" "count($agree_stub)")" != 1 ]; then
            echo "no comInterfaceExternalProxyStub $3"
        else
            for pair in "proxyStubClsid32 ProxyStubClsid32" "tlbid TypeLib"; do
                expected=$(registry_value "$2" "HKCR\\Interface\\$3\\${pair#* }")
                written=$(manifest_xpath "$1" "string($agree_stub/@${pair% *})")
                [ "$(upper "$written")" = "$(upper "$expected")" ] \
                    || echo "$3 ${pair% *} \"$written\", the registry's \"$expected\""
            done
        fi
    )
    differ
}

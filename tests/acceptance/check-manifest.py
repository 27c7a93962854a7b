#!/usr/bin/python3
"""Checks an application manifest for registration-free COM against the rules its format
documents (Microsoft's "Assembly Manifests", "Application Manifests" and "Assembly Versions"
pages), the ones a manifest writer can get wrong while Wine forgives, ignores or crashes on them:

  - the file is well-formed XML; an encoding it declares is UTF-8 or UTF-16;
  - the root is `assembly` in the namespace urn:schemas-microsoft-com:asm.v1, with
    manifestVersion="1.0" (Wine rejects the whole manifest otherwise);
  - its first child element is the one `assemblyIdentity` (or `noInherit`, then
    `assemblyIdentity`), with type="win32" (the one value whose letter case counts), a name, and
    a four-part version of numbers 0-65535 (Wine takes three parts; Windows does not); a
    processorArchitecture, if any, is one Windows knows;
  - `file` elements are children of `assembly` after `assemblyIdentity`, each with a name, no
    name twice (letter case aside);
  - a file holds only typelib, comClass, comInterfaceProxyStub and windowClass elements (Wine
    skips a misspelt one, `comclass`, and with it the class);
  - `typelib` has tlbid, a "major.minor" version in decimal and a helpdir attribute, empty or
    not (Wine 8 crashes the program on a typelib without helpdir; Windows requires it);
    its flags, if any, are RESTRICTED, CONTROL, HIDDEN or HASDISKIMAGE, comma-separated;
  - `comClass` has a clsid; its threadingModel, if any, is written Apartment, Free, Both or
    Neutral: Windows takes them in any letter case and refuses an empty or other value, Wine takes
    only these spellings (it makes "apartment" a main-threaded class); a tlbid it names is the
    tlbid of a typelib in this manifest;
  - `comInterfaceExternalProxyStub` (under assembly) and `comInterfaceProxyStub` (under a file)
    have an iid; the latter a name too. One whose proxyStubClsid32 is the type library's
    marshaler ({00020424-...}, or {00020420-...} for dispatch interfaces) names its library in
    tlbid: the marshaler finds the interface's description there (Wine cannot marshal without);
  - every GUID (clsid, tlbid, iid, proxyStubClsid32, baseInterface) is written in braces,
    {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx} (Wine 8 crashes the program on a clsid without them);
  - no CLSID, type library, interface or ProgID is declared twice (Windows refuses the
    manifest: ERROR_SXS_DUPLICATE_CLSID, _TLBID, _IID, _PROGID).

Usage: check-manifest.py MANIFEST
Prints one line per broken rule, "MANIFEST:LINE: what is wrong", and exits 1 when any rule is
broken, 0 (printing nothing) when none is, 2 on a wrong command line or a file it cannot read.
"""
import re
import sys
import xml.parsers.expat

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
GUID = re.compile(r"\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\}\Z")
ARCHITECTURES = {"x86", "amd64", "ia64", "arm", "arm64", "msil", "*"}
THREADING_MODELS = {"Apartment", "Free", "Both", "Neutral"}
TYPELIB_FLAGS = {"RESTRICTED", "CONTROL", "HIDDEN", "HASDISKIMAGE"}
FILE_CHILDREN = {"typelib", "comClass", "comInterfaceProxyStub", "windowClass"}
# The proxy/stubs that marshal an interface from its type library: PSOAInterface, PSDispatch.
TYPELIB_MARSHALERS = {"{00020424-0000-0000-C000-000000000046}", "{00020420-0000-0000-C000-000000000046}"}


class Element:
    def __init__(self, namespace, name, attributes, line):
        self.namespace = namespace
        self.name = name
        self.attributes = attributes
        self.line = line
        self.children = []
        self.text = ""

    def v1(self, name=None):
        """Whether this is an element of asm.v1 (called NAME, when given)."""
        return self.namespace == ASM_V1 and (name is None or self.name == name)


def parse(data):
    """The element tree of DATA, with the line each element starts on, and the declared
    encoding (None when the XML declaration names none). Raises expat.ExpatError."""
    parser = xml.parsers.expat.ParserCreate(namespace_separator=" ")
    stack, root, declared = [], [], [None]

    def split(qualified):
        namespace, _, name = qualified.rpartition(" ")
        return namespace, name

    def start(qualified, attributes):
        namespace, name = split(qualified)
        # Attributes without a prefix have no namespace, and are the ones the format uses.
        plain = {key: value for key, value in attributes.items() if " " not in key}
        element = Element(namespace, name, plain, parser.CurrentLineNumber)
        (stack[-1].children if stack else root).append(element)
        stack.append(element)

    def end(qualified):
        stack.pop()

    def text(data):
        if stack:
            stack[-1].text += data

    def declaration(version, encoding, standalone):
        declared[0] = encoding

    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = text
    parser.XmlDeclHandler = declaration
    parser.Parse(data, True)
    return root[0], declared[0]


def check(data):
    """The broken rules of the manifest DATA (bytes): (line, message) pairs, in file order."""
    problems = []

    def say(element, message):
        problems.append((element.line if element is not None else 1, message))

    try:
        root, encoding = parse(data)
    except xml.parsers.expat.ExpatError as error:
        return [(error.lineno, "not well-formed XML: %s" % xml.parsers.expat.ErrorString(error.code))]
    if encoding is not None and encoding.upper().replace("_", "-") not in ("UTF-8", "UTF-16"):
        say(None, 'the declared encoding "%s" is neither UTF-8 nor UTF-16' % encoding)

    if root.name != "assembly" or root.namespace != ASM_V1:
        say(root, "the root element is {%s}%s, not assembly in the namespace %s" % (root.namespace, root.name, ASM_V1))
        return problems
    if root.attributes.get("manifestVersion") != "1.0":
        say(root, 'assembly has manifestVersion "%s", not "1.0"' % root.attributes.get("manifestVersion", ""))

    def guid(element, attribute, required):
        value = element.attributes.get(attribute)
        if value is None:
            if required:
                say(element, "%s has no %s" % (element.name, attribute))
            return None
        if not GUID.match(value):
            say(element, '%s %s "%s" is not a GUID in braces' % (element.name, attribute, value))
            return None
        return value.upper()

    def version(text, parts):
        pieces = text.split(".")
        return len(pieces) == parts and all(p.isdigit() and p.isascii() and int(p) <= 65535 for p in pieces)

    children = root.children
    identities = [c for c in children if c.v1("assemblyIdentity")]
    lead = children[1:2] if children and children[0].v1("noInherit") else children[:1]
    if not lead or not lead[0].v1("assemblyIdentity"):
        say(lead[0] if lead else root, "the first child of assembly (after noInherit) is not assemblyIdentity")
    if len(identities) > 1:
        say(identities[1], "assembly has more than one assemblyIdentity")
    if identities:
        identity = identities[0]
        if identity.attributes.get("type") != "win32":
            say(identity, 'assemblyIdentity has type "%s", not "win32"' % identity.attributes.get("type", ""))
        if not identity.attributes.get("name"):
            say(identity, "assemblyIdentity has no name")
        if not version(identity.attributes.get("version", ""), 4):
            say(identity, 'assemblyIdentity version "%s" is not four numbers 0-65535 (major.minor.build.revision)'
                % identity.attributes.get("version", ""))
        architecture = identity.attributes.get("processorArchitecture")
        if architecture is not None and architecture.lower() not in ARCHITECTURES:
            say(identity, 'assemblyIdentity processorArchitecture "%s" is not one of %s'
                % (architecture, ", ".join(sorted(ARCHITECTURES))))
    first_identity = children.index(identities[0]) if identities else -1

    files, classes, typelibs, interfaces, progids = {}, {}, {}, {}, {}
    class_tlbids = []

    def once(seen, key, element, what):
        if key in seen:
            say(element, "%s is declared twice (first on line %d)" % (what, seen[key]))
        else:
            seen[key] = element.line

    def proxy_stub(element):
        iid = guid(element, "iid", True)
        marshaler = guid(element, "proxyStubClsid32", False)
        for attribute in ("tlbid", "baseInterface"):
            guid(element, attribute, False)
        if marshaler in TYPELIB_MARSHALERS and "tlbid" not in element.attributes:
            say(element, "%s %s is marshalled from its type library but names none (tlbid)"
                % (element.name, element.attributes.get("iid", "")))
        if iid:
            once(interfaces, iid, element, "interface %s" % iid)

    for position, child in enumerate(children):
        if child.v1("file"):
            if position < first_identity:
                say(child, "file comes before assemblyIdentity")
            name = child.attributes.get("name", "")
            if not name:
                say(child, "file has no name")
            else:
                once(files, name.lower(), child, 'the file "%s"' % name)
            for element in child.children:
                if element.namespace != ASM_V1:
                    continue
                if element.name not in FILE_CHILDREN:
                    say(element, "file holds an unknown element %s (the names are case-sensitive: %s)"
                        % (element.name, ", ".join(sorted(FILE_CHILDREN))))
                elif element.name == "typelib":
                    tlbid = guid(element, "tlbid", True)
                    if tlbid:
                        once(typelibs, tlbid, element, "type library %s" % tlbid)
                    if "version" not in element.attributes:
                        say(element, "typelib has no version")
                    elif not version(element.attributes["version"], 2):
                        say(element, 'typelib version "%s" is not "major.minor" in decimal' % element.attributes["version"])
                    if "helpdir" not in element.attributes:
                        say(element, 'typelib has no helpdir (write helpdir="" for none)')
                    flags = element.attributes.get("flags")
                    if flags:
                        for flag in flags.split(","):
                            if flag.strip().upper() not in TYPELIB_FLAGS:
                                say(element, 'typelib flag "%s" is not one of %s' % (flag.strip(), ", ".join(sorted(TYPELIB_FLAGS))))
                elif element.name == "comClass":
                    clsid = guid(element, "clsid", True)
                    if clsid:
                        once(classes, clsid, element, "class %s" % clsid)
                    model = element.attributes.get("threadingModel")
                    if model is not None and model not in THREADING_MODELS:
                        say(element, 'comClass threadingModel "%s" is not written as one of %s'
                            % (model, ", ".join(sorted(THREADING_MODELS))))
                    tlbid = guid(element, "tlbid", False)
                    if tlbid:
                        class_tlbids.append((element, tlbid))
                    names = [(element, element.attributes["progid"])] if "progid" in element.attributes else []
                    names += [(p, p.text.strip()) for p in element.children if p.v1("progid")]
                    for holder, progid in names:
                        if not progid:
                            say(holder, "comClass has an empty progid")
                        else:
                            once(progids, progid.lower(), holder, 'the ProgID "%s"' % progid)
                elif element.name == "comInterfaceProxyStub":
                    if not element.attributes.get("name"):
                        say(element, "comInterfaceProxyStub has no name")
                    proxy_stub(element)
        elif child.v1("comInterfaceExternalProxyStub"):
            proxy_stub(child)
    for element, tlbid in class_tlbids:
        if tlbid not in typelibs:
            say(element, "comClass names the type library %s, which no typelib of this manifest declares" % tlbid)
    return sorted(problems, key=lambda problem: problem[0])


def main():
    if len(sys.argv) != 2:
        print("usage: check-manifest.py MANIFEST", file=sys.stderr)
        return 2
    try:
        with open(sys.argv[1], "rb") as manifest:
            data = manifest.read()
    except OSError as error:
        print("check-manifest.py: %s" % error, file=sys.stderr)
        return 2
    problems = check(data)
    for line, message in problems:
        print("%s:%d: %s" % (sys.argv[1], line, message))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

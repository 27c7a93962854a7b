/* Resolves the reference and component lines of each project file given with the system's own
   registry and type-library functions, and prints one line per line that resolves:
     project file name  kind (1 reference, 2 component)  file path  GUID  help string  major  minor
   and, after a project's entries, one line with its name as its Name line gives it:
     project file name  0  name  (then four empty fields)
   tab-separated, UTF-8, with a backslash, tab, CR, LF or NUL inside a field written as \\, \t,
   \r, \n, \0 and any other control character as \xNN (as zantrel-cli catalogue writes them). A
   line that does not resolve prints nothing.

   Lines are read as Zantrel's project reader reads them: 8-bit text in the system's ANSI code
   page (CP_ACP: what the prefix's locale makes it) ending at CR, LF or CR LF; a line starting
   with "Type" or "Name" is never a dependency; a line containing "Reference=" anywhere is a
   reference; a line starting with "Object" and containing "Object=" is a component; a "Name"
   line shorter than seven characters ends the reading of the file. The name is the last Name
   line's text from its seventh character to the one before its last (the quotes taken off
   whatever they are); a file without one, or that cannot be opened, has an empty name. The name
   is taken whole, NULs included; a reference or component line is seen only up to its first
   NUL, where Zantrel reads on (no project file in the tests holds one there).

   Like Zantrel, a relative path written in a reference line is taken from the project file's
   folder (the judge makes that folder current and asks GetFullPathName).

   With --write-library it writes a type library instead (see wmain).

   Built by build-judge.sh; run under Wine by wine-acceptance.sh and codepage-acceptance.sh. */
#include <windows.h>
#include <oleauto.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define TEXT_MAX 4096

/* Writes text[0, length) as UTF-8, with the escapes zantrel-cli catalogue writes: \\, \t, \r,
   \n and \0 for those characters, \xNN for any other control character (below U+0020 or
   U+007F..U+009F), and U+FFFD for a surrogate that is not half of a pair. */
static void putEscapedN(const wchar_t* text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        wchar_t c = text[i];
        switch (c) {
        case L'\\': fputs("\\\\", stdout); continue;
        case L'\t': fputs("\\t", stdout); continue;
        case L'\r': fputs("\\r", stdout); continue;
        case L'\n': fputs("\\n", stdout); continue;
        case 0: fputs("\\0", stdout); continue;
        default: break;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            printf("\\x%02X", (unsigned)c);
            continue;
        }
        wchar_t unit[2] = { c, 0 };
        int units = 1;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            unit[units++] = text[++i];
        else if (c >= 0xD800 && c <= 0xDFFF)
            unit[0] = 0xFFFD;
        char bytes[8];
        int n = WideCharToMultiByte(CP_UTF8, 0, unit, units, bytes, sizeof bytes, NULL, NULL);
        fwrite(bytes, 1, (size_t)(n > 0 ? n : 0), stdout);
    }
}

static void putEscaped(const wchar_t* text)
{
    putEscapedN(text, wcslen(text));
}

/* The number written by the decimal digits at the start of the text, kept to 16 bits. */
static WORD leadingNumber(const wchar_t* text)
{
    unsigned value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text)
        value = (value * 10 + (unsigned)(*text - L'0')) & 0xFFFFu;
    return (WORD)value;
}

/* Copies text[from, to) into out (at most TEXT_MAX - 1 characters). */
static void copyRange(const wchar_t* from, const wchar_t* to, wchar_t* out)
{
    size_t n = (size_t)(to - from);
    if (n > TEXT_MAX - 1)
        n = TEXT_MAX - 1;
    wmemcpy(out, from, n);
    out[n] = 0;
}

/* Version split: "2.0" gives 2 and 0; a version without '.' takes its minor from the locale. */
static void splitVersion(const wchar_t* version, const wchar_t* locale, WORD* major, WORD* minor)
{
    const wchar_t* dot = wcschr(version, L'.');
    *major = leadingNumber(version);
    *minor = dot ? leadingNumber(dot + 1) : leadingNumber(locale);
}

static void printEntry(const wchar_t* project, int kind, const wchar_t* path, ITypeLib* library)
{
    TLIBATTR* attributes = NULL;
    BSTR help = NULL;
    wchar_t guid[64] = L"";
    WORD major = 0, minor = 0;
    if (SUCCEEDED(library->lpVtbl->GetLibAttr(library, &attributes))) {
        StringFromGUID2(&attributes->guid, guid, 64);
        major = attributes->wMajorVerNum;
        minor = attributes->wMinorVerNum;
        library->lpVtbl->ReleaseTLibAttr(library, attributes);
    }
    library->lpVtbl->GetDocumentation(library, -1, NULL, &help, NULL, NULL);
    putEscaped(project);
    printf("\t%d\t", kind);
    putEscaped(path);
    putchar('\t');
    putEscaped(guid);
    putchar('\t');
    putEscaped(help ? help : L"");
    printf("\t%d\t%d\n", (short)major, (short)minor);
    SysFreeString(help);
}

/* The default value of HKEY_CLASSES_ROOT\key as text, expanded when it is REG_EXPAND_SZ;
   empty when the key or value is missing or is not text. */
static void registeredFile(const wchar_t* key, wchar_t* out)
{
    HKEY handle;
    out[0] = 0;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return;
    wchar_t value[TEXT_MAX];
    DWORD type = 0, size = sizeof value - sizeof(wchar_t);
    LONG result = RegQueryValueExW(handle, NULL, NULL, &type, (BYTE*)value, &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return;
    value[size / sizeof(wchar_t)] = 0;
    if (type == REG_EXPAND_SZ) {
        if (ExpandEnvironmentStringsW(value, out, TEXT_MAX) == 0 || wcslen(out) >= TEXT_MAX - 1)
            out[0] = 0;
    } else {
        wcscpy(out, value);
    }
}

static HRESULT loadRegistered(const wchar_t* guidText, WORD major, WORD minor, ITypeLib** library, GUID* guid)
{
    if (guidText[0] == 0 || FAILED(CLSIDFromString((LPOLESTR)guidText, guid)))
        return E_INVALIDARG;
    return LoadRegTypeLib(guid, major, minor, 0, library);
}

static void reference(const wchar_t* project, const wchar_t* line)
{
    /* Fields between the first three '#'. */
    wchar_t version[TEXT_MAX] = L"", locale[TEXT_MAX] = L"", guidText[TEXT_MAX] = L"";
    const wchar_t* first = wcschr(line, L'#');
    const wchar_t* second = first ? wcschr(first + 1, L'#') : NULL;
    const wchar_t* third = second ? wcschr(second + 1, L'#') : NULL;
    if (first)
        copyRange(first + 1, second ? second : first + 1 + wcslen(first + 1), version);
    if (second)
        copyRange(second + 1, third ? third : second + 1 + wcslen(second + 1), locale);
    /* GUID: after the first 'G', up to and including the first '}'. */
    const wchar_t* g = wcschr(line, L'G');
    const wchar_t* afterG = g ? g + 1 : line;
    const wchar_t* close = wcschr(afterG, L'}');
    if (close)
        copyRange(afterG, close + 1, guidText);

    wchar_t key[TEXT_MAX * 3 + 32], path[TEXT_MAX];
    _snwprintf(key, sizeof key / sizeof key[0], L"TypeLib\\%ls\\%ls\\%ls\\win32", guidText, version, locale);
    key[sizeof key / sizeof key[0] - 1] = 0;
    registeredFile(key, path);
    if (path[0] == 0) {
        /* The text between the last two '#', made absolute against the project's folder
           (the current folder while this project is read). */
        const wchar_t* last = wcsrchr(line, L'#');
        const wchar_t* before = NULL;
        for (const wchar_t* p = line; last && p < last; ++p)
            if (*p == L'#')
                before = p;
        wchar_t written[TEXT_MAX] = L"";
        if (before)
            copyRange(before + 1, last, written);
        if (written[0] != 0 && GetFullPathNameW(written, TEXT_MAX, path, NULL) >= TEXT_MAX)
            path[0] = 0;
    }

    WORD major, minor;
    splitVersion(version, locale, &major, &minor);
    ITypeLib* library = NULL;
    GUID guid;
    if (FAILED(loadRegistered(guidText, major, minor, &library, &guid))) {
        library = NULL;
        if (path[0] == 0 || FAILED(LoadTypeLib(path, &library)))
            return;
    }
    printEntry(project, 1, path, library);
    library->lpVtbl->Release(library);
}

static void component(const wchar_t* project, const wchar_t* line)
{
    wchar_t version[TEXT_MAX] = L"", locale[TEXT_MAX] = L"", guidText[TEXT_MAX] = L"";
    const wchar_t* first = wcschr(line, L'#');
    const wchar_t* second = first ? wcschr(first + 1, L'#') : NULL;
    const wchar_t* semicolon = second ? wcschr(second + 1, L';') : NULL;
    if (first)
        copyRange(first + 1, second ? second : first + 1 + wcslen(first + 1), version);
    if (second)
        copyRange(second + 1, semicolon ? semicolon : second + 1 + wcslen(second + 1), locale);
    /* GUID: from the character after "Object=" up to and including the first '}'. */
    const wchar_t* close = wcschr(line, L'}');
    if (close && close - line >= 7)
        copyRange(line + 7, close + 1, guidText);

    WORD major, minor;
    splitVersion(version, locale, &major, &minor);
    ITypeLib* library = NULL;
    GUID guid;
    if (FAILED(loadRegistered(guidText, major, minor, &library, &guid)))
        return;
    BSTR path = NULL;
    if (FAILED(QueryPathOfRegTypeLib(&guid, major, minor, 0, &path)))
        path = NULL;
    printEntry(project, 2, path ? path : L"", library);
    SysFreeString(path);
    library->lpVtbl->Release(library);
}

static int startsWith(const wchar_t* text, const wchar_t* prefix)
{
    return wcsncmp(text, prefix, wcslen(prefix)) == 0;
}

/* The project's name record: file name, 0, name, and the four empty fields. */
static void printName(const wchar_t* project, const wchar_t* name, size_t length)
{
    putEscaped(project);
    fputs("\t0\t", stdout);
    putEscapedN(name, length);
    fputs("\t\t\t\t\n", stdout);
}

static void readProject(const wchar_t* projectPath)
{
    const wchar_t* slash = wcsrchr(projectPath, L'\\');
    const wchar_t* name = slash ? slash + 1 : projectPath;
    wchar_t folder[MAX_PATH * 4] = L"";
    if (slash && (size_t)(slash - projectPath) < sizeof folder / sizeof folder[0] - 2) {
        copyRange(projectPath, slash + 1, folder);
        SetCurrentDirectoryW(folder);
    }

    FILE* file = _wfopen(projectPath, L"rb");
    if (!file) {
        fwprintf(stderr, L"cannot open %ls\n", projectPath);
        printName(name, L"", 0);
        return;
    }
    static char bytes[1 << 20];
    static wchar_t line[1 << 20];
    static wchar_t projectName[1 << 20];
    size_t length = 0, nameLength = 0;
    int c, pendingCr = 0, done = 0;
    while (!done) {
        c = getc(file);
        if (pendingCr && c == '\n') {
            pendingCr = 0;
            continue;
        }
        pendingCr = 0;
        if (c != EOF && c != '\r' && c != '\n') {
            if (length < sizeof bytes - 1)
                bytes[length++] = (char)c;
            continue;
        }
        if (c == EOF) {
            done = 1;
            if (length == 0)
                break;
        }
        pendingCr = c == '\r';
        int n = length ? MultiByteToWideChar(CP_ACP, 0, bytes, (int)length, line, (int)(sizeof line / sizeof line[0]) - 1) : 0;
        line[n] = 0;
        length = 0;
        if (startsWith(line, L"Type"))
            continue;
        if (startsWith(line, L"Name")) {
            /* Counted in UTF-16 units, NULs included, as Zantrel counts a line's characters. */
            if (n < 7)
                break;
            nameLength = (size_t)n - 7;
            wmemcpy(projectName, line + 6, nameLength);
            continue;
        }
        if (wcsstr(line, L"Reference="))
            reference(name, line);
        else if (startsWith(line, L"Object") && wcsstr(line, L"Object="))
            component(name, line);
    }
    fclose(file);
    printName(name, projectName, nameLength);
}

/* Writes a type library at `file` with the system's own ICreateTypeLib2: GUID `guidText`,
   version 1.0, locale 0, name LocalLibrary and help string `help`, its strings stored in the
   system's ANSI code page as a library built on that system stores them. */
static int writeLibrary(const wchar_t* file, const wchar_t* guidText, const wchar_t* help)
{
    GUID guid;
    ICreateTypeLib2* library = NULL;
    if (FAILED(CLSIDFromString((LPOLESTR)guidText, &guid))) {
        fwprintf(stderr, L"not a GUID: %ls\n", guidText);
        return 2;
    }
    HRESULT result = CreateTypeLib2(SYS_WIN32, file, &library);
    if (SUCCEEDED(result)) {
        library->lpVtbl->SetGuid(library, &guid);
        library->lpVtbl->SetVersion(library, 1, 0);
        library->lpVtbl->SetLcid(library, 0);
        library->lpVtbl->SetName(library, (LPOLESTR)L"LocalLibrary");
        result = library->lpVtbl->SetDocString(library, (LPOLESTR)help);
        if (SUCCEEDED(result))
            result = library->lpVtbl->SaveAllChanges(library);
        library->lpVtbl->Release(library);
    }
    if (FAILED(result)) {
        fwprintf(stderr, L"cannot write the type library %ls: 0x%08lx\n", file, (unsigned long)result);
        return 1;
    }
    return 0;
}

/* resolve_judge PROJECT-FILE...: the listing above, projects in the order given.
   resolve_judge --write-library FILE GUID HELP: writes that library (writeLibrary) and nothing
   else, for tests that need a library whose help string is in the system's page. */
int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    CoInitialize(NULL);
    int status = 0;
    if (argc > 1 && wcscmp(argv[1], L"--write-library") == 0) {
        if (argc == 5) {
            status = writeLibrary(argv[2], argv[3], argv[4]);
        } else {
            fputws(L"usage: resolve_judge --write-library FILE GUID HELP\n", stderr);
            status = 2;
        }
    } else {
        for (int i = 1; i < argc; ++i) {
            readProject(argv[i]);
            fflush(stdout);
        }
    }
    CoUninitialize();
    return status;
}

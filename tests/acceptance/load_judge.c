/* Loads each DLL given as COM loads an in-process server, LoadLibraryExW(file, NULL,
   LOAD_WITH_ALTERED_SEARCH_PATH): what the library imports is looked for in the library's own
   folder first, then the system folder, C:\windows\system, C:\windows, the current folder and
   PATH. Prints one line per file, tab-separated, UTF-8:
     file  ok
     file  failed  <GetLastError()>
   and frees the library again before the next one.

   Options, before the files:
     --current FOLDER  makes FOLDER the current folder first (the judge's own is kept otherwise)
     --plain           loads with LoadLibraryW instead, as a program loads a DLL by name (or as
                       Visual Basic's run-time loads a Declare's library): the program's folder
                       (this judge's) first for the file and for what it imports
     --modules         after an "ok" line, one line "\t<path>" per module that load brought into
                       the process, the library itself included, in the loader's order: which
                       copy of each import the loader chose; "\t<path>\tbuiltin" for one of
                       Wine's own DLLs (marked "Wine builtin DLL" after its DOS header)

   Exit status 0 when every line was printed (whatever the loads said), 2 on a wrong command
   line. Built by build-judge.sh; run under Wine by loader-acceptance.sh. */
#include <windows.h>
#include <tlhelp32.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#define MAX_MODULES 512

static void putText(const wchar_t* text)
{
    char bytes[4 * MAX_PATH];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL);
    if (n > 1)
        fwrite(bytes, 1, (size_t)(n - 1), stdout);
}

/* The process's modules (their bases), in the loader's order. Returns how many were stored. */
static int listModules(HMODULE* bases, wchar_t (*paths)[MAX_PATH], int capacity)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    MODULEENTRY32W entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Module32FirstW(snapshot, &entry); more && count < capacity; more = Module32NextW(snapshot, &entry)) {
        bases[count] = entry.hModule;
        if (paths)
            wcsncpy(paths[count], entry.szExePath, MAX_PATH - 1), paths[count][MAX_PATH - 1] = 0;
        ++count;
    }
    CloseHandle(snapshot);
    return count;
}

static HMODULE before[MAX_MODULES];
static HMODULE after[MAX_MODULES];
static wchar_t afterPaths[MAX_MODULES][MAX_PATH];

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    /* No dialog for a DLL that cannot be loaded: the failure is the answer. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    BOOL plain = FALSE, modules = FALSE;
    int i = 1;
    for (; i < argc && wcsncmp(argv[i], L"--", 2) == 0; ++i) {
        if (wcscmp(argv[i], L"--plain") == 0) {
            plain = TRUE;
        } else if (wcscmp(argv[i], L"--modules") == 0) {
            modules = TRUE;
        } else if (wcscmp(argv[i], L"--current") == 0 && i + 1 < argc) {
            if (!SetCurrentDirectoryW(argv[++i])) {
                fprintf(stderr, "load_judge: cannot make the current folder: error %lu\n", GetLastError());
                return 2;
            }
        } else {
            fputs("usage: load_judge [--current FOLDER] [--plain] [--modules] FILE...\n", stderr);
            return 2;
        }
    }
    if (i == argc) {
        fputs("usage: load_judge [--current FOLDER] [--plain] [--modules] FILE...\n", stderr);
        return 2;
    }
    for (; i < argc; ++i) {
        const int known = modules ? listModules(before, NULL, MAX_MODULES) : 0;
        HMODULE library = plain ? LoadLibraryW(argv[i]) : LoadLibraryExW(argv[i], NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
        const DWORD error = library ? 0 : GetLastError();
        putText(argv[i]);
        if (!library) {
            printf("\tfailed\t%lu\n", error);
            fflush(stdout);
            continue;
        }
        fputs("\tok\n", stdout);
        if (modules) {
            const int now = listModules(after, afterPaths, MAX_MODULES);
            for (int m = 0; m < now; ++m) {
                BOOL old = FALSE;
                for (int k = 0; k < known && !old; ++k)
                    old = before[k] == after[m];
                if (old)
                    continue;
                fputs("\t", stdout);
                putText(afterPaths[m]);
                fputs(memcmp((const char*)after[m] + 0x40, "Wine builtin DLL", 16) == 0 ? "\tbuiltin\n" : "\n", stdout);
            }
        }
        fflush(stdout);
        FreeLibrary(library);
    }
    return 0;
}

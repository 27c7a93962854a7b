// Feeds arbitrary bytes to the source-file scanner as a source file's contents, in memory, in the
// Western page or a double-byte one (codePageFor), and checks what must hold for any file: every
// record names a line of the file, the Declares in the order of their lines; a Declare's file is
// its library as the loader takes it; an Object line's GUID opens its target; and a Declare
// written as the file's first line is found before whatever follows it.
#include "catalogue/SourceScanner.h"
#include "platform/core/AnsiCodePage.h"
#include "FuzzCheck.h"

#include <QByteArray>
#include <cstdint>

namespace {

// The number of lines the line reader finds: a line ends at CR LF, LF or a lone CR, and the last
// may have no end. No code page uses those bytes inside a character.
int lineCount(const QByteArray& bytes)
{
    int lines = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        ++lines;
        start = i + 1;
    }
    return lines + (start < bytes.size() ? 1 : 0);
}

// Whether `fileName` is what the loader opens for `library`.
bool isLoaderName(const QString& library, const QString& fileName)
{
    if (fileName == library || fileName == library + QStringLiteral(".dll"))
        return true;
    if (!library.startsWith(fileName) || fileName.size() == library.size())
        return false;
    for (QChar c : QStringView(library).mid(fileName.size()))
        if (c != u'.')
            return false;
    return true;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    AnsiCodePage::use(codePageFor(size));
    const SourceScan scan = ScanSource(input);
    const int lines = lineCount(input);
    check(scan.problem.isEmpty() || scan.declares.size() + scan.objects.size() + scan.controls.size() >= 65536);
    int last = 1;
    for (const DeclaredLibrary& declared : scan.declares) {
        check(declared.line >= last && declared.line <= lines);
        last = declared.line;
        check(!declared.procedure.isEmpty());
        check(isLoaderName(declared.library, declared.fileName));
    }
    for (const ObjectLine& object : scan.objects) {
        check(object.line >= 1 && object.line <= lines);
        check(object.guid.isEmpty() || (object.target.startsWith(object.guid) && object.guid.endsWith(u'}')));
    }
    for (const ControlLine& control : scan.controls)
        check(control.line >= 1 && control.line <= lines && !control.className.isEmpty());

    const SourceScan first = ScanSource("Declare Function Primera Lib \"primera\" ()\r\n" + input);
    check(!first.declares.isEmpty() && first.declares[0].procedure == QStringLiteral("Primera")
          && first.declares[0].line == 1 && first.declares[0].fileName == QStringLiteral("primera.dll"));
    return 0;
}

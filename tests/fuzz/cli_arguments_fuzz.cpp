// Feeds arbitrary arguments (NUL-separated) to zantrel-cli's argument reader and checks that it
// either goes on with a known verb, or ends with status 0 and text for standard output, or with
// status 2 and one line naming the mistake followed by where the help is.
#include "cli/CommandLine.h"
#include "FuzzCheck.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList args;
    for (const QByteArray& part : input.split('\0'))
        args.append(QString::fromLocal8Bit(part));
    if (input.isEmpty())
        args.clear();
    CommandLine line;
    QByteArray out, err;
    const int status = ReadCommandLine(args, line, out, err);
    if (status == -1) {
        static const QStringList verbs = {"tree", "catalogue", "export", "report", "missing", "libraries", "uses", "drift", "graph"};
        check(verbs.contains(VerbName(line.verb)) && out.isEmpty() && err.isEmpty());
    } else if (status == 0) {
        check(!out.isEmpty() && err.isEmpty());
    } else {
        check(status == 2);
        // Two lines whatever the words hold: a line break in a word is written as an escape.
        check(out.isEmpty() && err.startsWith("zantrel-cli: ") && err.endsWith(" --help'\n") && err.count('\n') == 2);
    }
    return 0;
}

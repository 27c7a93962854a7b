// Feeds arbitrary arguments (NUL-separated) to zantrel-cli's argument reader and checks that it
// either goes on with a known verb or ends with status 0 or 2. (The usage it prints on wrong
// usage is silenced by tools/fuzz with -close_fd_mask.)
#include "cli/CommandLine.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList args;
    for (const QByteArray& part : input.split('\0'))
        args.append(QString::fromLocal8Bit(part));
    if (input.isEmpty())
        args.clear();
    CommandLine line;
    const int status = ReadCommandLine(args, line);
    if (status == -1) {
        static const QStringList verbs = {"tree", "catalogue", "export", "report", "missing", "libraries", "uses", "graph"};
        if (!verbs.contains(line.verb))
            std::abort();
    } else if (status != 0 && status != 2) {
        std::abort();
    }
    return 0;
}

#include "catalogue/TextHead.h"

#include "platform/files/RegularFile.h"

TextHead HeadWithin(const QByteArray& bytes, qsizetype limit)
{
    TextHead head;
    if (bytes.size() <= limit) {
        head.bytes = bytes;
        return head;
    }
    qsizetype end = limit;
    while (end > 0 && bytes[end - 1] != '\n' && bytes[end - 1] != '\r')
        --end;
    head.bytes = bytes.left(end);
    head.problem = QStringLiteral("larger than %1 bytes: only the lines within them were read").arg(limit);
    return head;
}

TextHead ReadTextHead(const QString& hostPath, qsizetype limit)
{
    // One byte past the bound tells a file that is larger from one that fills it.
    const FileContents contents = ReadRegularFile(hostPath, qint64(limit) + 1, FollowLinks::Yes, PastTheBound::KeepHead);
    if (!contents.ok()) {
        TextHead head;
        head.problem = contents.reason();
        return head;
    }
    return HeadWithin(contents.bytes, limit);
}

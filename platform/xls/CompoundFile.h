#pragma once

#include <QByteArray>
#include <QString>

// Compound documents (the container of Office 97-2003 files): a small file system of sectors,
// a sector allocation table and a directory, inside one file. Only what a spreadsheet
// workbook needs is written: version 3 (512-byte sectors) with one stream under the root.
namespace CompoundFile {

// A file holding one stream as the root's only stream is `head`, the stream's bytes, then
// `tail`, so that a large stream is written out without being copied.
struct OneStreamFile {
    QByteArray head; // the header sector
    QByteArray tail; // padding to whole sectors, the directory and the allocation tables
};

// The parts around a stream of `streamSize` bytes named `streamName` (at most 31 UTF-16 units).
// A stream shorter than 4096 bytes is padded with zeros to that size, so it lives in ordinary
// sectors and no mini stream is needed; readers of workbook streams stop at the last
// end-of-file record and never see the padding. Both parts are empty when the stream is too
// large for the format (about 2 GiB).
OneStreamFile AroundOneStream(const QString& streamName, qsizetype streamSize);

// The whole file holding `stream`; empty when it is too large.
QByteArray WithOneStream(const QString& streamName, const QByteArray& stream);

}

#pragma once

// Registry hive files for the tests, built from the publicly documented layout of the format: an
// empty hive for hivexregedit to merge .reg text into (hivex cannot make a hive from nothing),
// and the edits of a base block the tests make.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Offsets in the 4 KB base block: "regf", the primary and secondary sequence numbers, the size of
// the bins after the block, the checksum.
constexpr int kHivePrimarySequenceAt = 4;
constexpr int kHiveSecondarySequenceAt = 8;
constexpr int kHiveBinsSizeAt = 0x28;
constexpr int kHiveChecksumAt = 0x1FC;

// A hive holding only its root key, named "ROOT", and the security cell every key shares: a base
// block and one 4 KB bin.
QByteArray EmptyHiveImage();

// Makes the base block's checksum anew (the XOR of its first 127 double words), after an edit.
void FixHiveChecksum(QByteArray& image);

// `image` with the base block's sequence numbers set to `primary` and `secondary`.
QByteArray WithSequenceNumbers(QByteArray image, quint32 primary, quint32 secondary);

// Writes the empty hive at `hivePath` and merges `regText` into it (see MergeIntoHive); false with
// `error` set when it cannot.
bool MakeHive(const QString& hivePath, const QByteArray& regText, QString* error);

#pragma once

// Writing a planned manifest beside its program, never over a file this program did not write.

#include "manifest/ManifestPlan.h"

#include <QByteArray>
#include <QString>

// Whether the bytes are a manifest this program wrote (so it may be replaced without being told).
bool IsOwnManifest(const QByteArray& bytes);

// The plan's manifest as written: its XML, with the mark IsOwnManifest looks for after the XML
// declaration. `dropped` counts the characters XML cannot hold that were left out.
QByteArray ManifestFileBytes(const PlannedManifest& planned, int* dropped = nullptr);

// Why a manifest was not written.
struct ManifestWriteFailure {
    bool foreignFile = false; // a file of that name this program did not write is in the way
    QString systemReason;     // else the system's reason the write failed
    QString sentence;         // the whole of it in plain English, naming the file
};

// Writes one planned manifest atomically. A file of that name this program did not write is kept
// unless `force`. False with `failure` set when nothing was written.
bool WriteManifest(const PlannedManifest& planned, bool force, ManifestWriteFailure* failure, int* dropped = nullptr);

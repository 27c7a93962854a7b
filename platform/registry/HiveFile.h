#pragma once

// One registry hive file of a Windows machine (Windows\System32\config\SOFTWARE or SYSTEM, a
// user's NTUSER.DAT or UsrClass.dat), read through libhivex and never written.

#include "platform/registry/RegistryHive.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

struct hive_h;

// A key of an open hive. It stays valid while the HiveFile it came from is open; a
// default-made one names no key (and reads as a key with nothing in it).
class HiveKey {
public:
    HiveKey() = default;
    bool operator==(const HiveKey&) const = default;

private:
    friend class HiveFile;
    explicit HiveKey(std::size_t node) : node_(node) {}
    std::size_t node_ = 0; // hivex's handle of the key's cell
};

// A hive file of a Windows machine's disk, opened read-only. The file is mapped, not read into
// memory, and no answer walks the hive: opening costs hivex's one pass over its cells and a map
// of them a 32nd of the file's size (a 155 MB hive: some 40 ms and 5 MB), a lookup by path a
// binary search of each subkey list on the way (some 20 us), and the long subkey lists looked
// through are kept, 8 MB of them at most.
//
// The file is hostile input. hivex checks the cells it follows; on top of that the names are read
// from the cells here (key and value names that are not valid UTF-16 come out with U+FFFD in
// place of each bad unit), and what one call returns is bounded (kMaxSubkeys, kMaxValues,
// kMaxValueSize, kMaxValueBytes). Whatever of the hive cannot be read (a damaged subkey list,
// a value whose data lies outside the file) reads as missing, never as a failure of the file.
//
// Key paths are given below the hive's root ("Classes\CLSID"), components separated by
// backslashes (empty ones are skipped), key and value names compared ignoring case as Windows
// compares them (CompareRegistryNames). Lists come in the order the Wine text store gives
// (RegistryHive), so both stores answer alike for the same contents.
//
// REQUIRES: one thread at a time.
class HiveFile {
public:
    // Deepest key path looked up; Windows allows 512 levels.
    static constexpr std::size_t kMaxDepth = 512;
    // Most subkeys one key lists (hivex itself refuses a key with more than 70,000).
    static constexpr qsizetype kMaxSubkeys = 65536;
    // Most values one key lists.
    static constexpr qsizetype kMaxValues = 65536;
    // Longest value data copied: a longer value comes with its first kMaxValueSize bytes.
    static constexpr qsizetype kMaxValueSize = qsizetype(1) << 20;
    // Most data one listing of a key's values copies; the values past it are left out.
    static constexpr qsizetype kMaxValueBytes = qsizetype(32) << 20;
    // Longest value name Windows allows, in characters; a value with a longer name is left out,
    // as is a subkey whose name is longer than RegistryText::kMaxKeyNameLength or holds a
    // backslash.
    static constexpr qsizetype kMaxValueNameLength = 16383;
    // Largest file opened: cells are addressed by 32-bit offsets past the 4 KB base block.
    static constexpr qint64 kMaxFileSize = (qint64(1) << 32) + 4096;

    // Opens the hive at the host path `hostPath` (links followed). Only a regular file is opened:
    // a FIFO, device or folder at the name is refused without blocking. isOpen() tells whether
    // it worked and error() why not.
    explicit HiveFile(const QString& hostPath);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    const QString& filePath() const { return filePath_; }
    bool isOpen() const { return hive_ != nullptr; }
    // Why the file could not be opened, in one sentence naming it (the file is missing, is not a
    // regular file, is not a registry hive, is truncated or damaged, or the system's reason);
    // empty when it was opened.
    const QString& error() const { return error_; }

    // Whether Windows did not close the hive cleanly, so changes it had made may be missing from
    // the file: the base block's two sequence numbers differ (a write of the file was under
    // way), or a transaction log (.LOG, .LOG1 or .LOG2, any case) that is not empty lies beside it.
    // False for a file that is not open.
    bool notCleanlyClosed() const { return sequencesDiffer() || !transactionLogs_.isEmpty(); }
    bool sequencesDiffer() const { return primarySequence_ != secondarySequence_; }
    std::uint32_t primarySequence() const { return primarySequence_; }
    std::uint32_t secondarySequence() const { return secondarySequence_; }
    // Host paths of the non-empty transaction logs beside the file.
    const QStringList& transactionLogs() const { return transactionLogs_; }

    // The hive's root key (a key named nothing when the file is not open).
    HiveKey root() const;
    // The key at `path` below `from` (below the root for the first form), or nothing when it is
    // missing, cannot be read, or the path is deeper than kMaxDepth.
    std::optional<HiveKey> key(QStringView path) const { return key(root(), path); }
    std::optional<HiveKey> key(HiveKey from, QStringView path) const;
    bool keyExists(QStringView path) const { return key(path).has_value(); }
    // The key's name as stored (empty for a key that cannot be read).
    QString name(HiveKey key) const;

    // The names of the key's subkeys, ordered by CompareRegistryNames (of names equal ignoring
    // case, the one stored first), at most kMaxSubkeys of them.
    QStringList subkeyNames(HiveKey key) const;
    // The subkey of `parent` named `name`, or nothing.
    std::optional<HiveKey> subkey(HiveKey parent, QStringView name) const;

    // The key's values, ordered by name as RegistryHive orders them (of names equal ignoring
    // case, the first stored whose data can be read): name, type and data bytes as stored
    // (strings as UTF-16LE, with their terminator when the writer stored one). At most
    // kMaxValues of them and kMaxValueBytes of data in all; a value whose data cannot be read is
    // left out.
    std::vector<RegistryValue> values(HiveKey key) const;
    // The value named `name` ignoring case (the empty name is the default value), the first
    // stored whose data can be read, as values() lists it; or nothing.
    std::optional<RegistryValue> value(HiveKey key, QStringView name) const;

private:
    // Reads `length` bytes of the file at `offset`; false when they are not all there.
    bool readAt(std::uint64_t offset, void* out, std::size_t length) const;
    // The name stored in the key ("nk") or value ("vk") cell at `offset`, or nothing when the
    // cell is not one or its name is longer than allowed.
    std::optional<QString> cellName(std::size_t offset, bool valueCell) const;
    // The handles of the key's subkeys in the list's order, at most kMaxSubkeys; null when hivex
    // cannot read the list.
    std::shared_ptr<const std::vector<std::size_t>> children(HiveKey key) const;
    // The type and the length of the data the value cell at `value` declares; false when it
    // cannot be read.
    bool valueTypeAndLength(std::size_t value, std::uint32_t* type, std::uint64_t* length) const;
    // False for a large value (`length` bytes) whose list of data segments hivex would read
    // past its cell.
    bool bigDataListFits(std::size_t value, std::uint64_t length) const;
    // The value with the name `name`, its data cut at kMaxValueSize, or nothing when the data
    // cannot be read.
    std::optional<RegistryValue> readValue(std::size_t value, QString name) const;
    void findTransactionLogs();

    QString filePath_;
    QString error_;
    hive_h* hive_ = nullptr;
    int fd_ = -1; // our own descriptor of the file, for reading names from their cells
    std::uint64_t fileSize_ = 0;
    std::uint32_t primarySequence_ = 0;
    std::uint32_t secondarySequence_ = 0;
    QStringList transactionLogs_;
    // The subkey lists of at least kKeptListLength subkeys read last, by key, up to
    // kMaxKeptSubkeys handles in all (8 MB).
    static constexpr std::size_t kKeptListLength = 256;
    static constexpr std::size_t kMaxKeptSubkeys = std::size_t(1) << 20;
    mutable std::unordered_map<std::size_t, std::shared_ptr<const std::vector<std::size_t>>> lists_;
    mutable std::deque<std::size_t> listOrder_;
    mutable std::size_t keptHandles_ = 0;
};

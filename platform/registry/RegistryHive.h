#pragma once

// One registry file of the prefix (system.reg or user.reg) in Wine's text format, read and
// written in place.

#include "platform/registry/RegistryText.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

// One value of a key, as Windows stores it: a type number (RegistryText::REG_SZ and the others)
// and bytes (strings as UTF-16LE with their terminator).
struct RegistryValue {
    QString name;       // empty for the key's default value
    std::uint32_t type = RegistryText::REG_NONE;
    QByteArray data;
};

// Compares key or value names as Wine does: character by character ignoring case, then by
// length. Negative, zero or positive.
int CompareRegistryNames(QStringView a, QStringView b);

struct RegistryNameLess {
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const { return CompareRegistryNames(a, b) < 0; }
};

class RegistryKey;
// A key's subkeys by name, in Wine's order (which is also the order Windows lists them in).
using RegistrySubkeys = std::map<QString, RegistryKey*, RegistryNameLess>;

// One key of a hive. Its name and subkeys can be read directly; its values load from the file
// on first use, so they are reached through RegistryHive::values().
class RegistryKey {
public:
    const QString& name() const { return name_; }
    RegistryKey* parent() const { return parent_; }
    const RegistrySubkeys& subkeys() const { return subkeys_; }

private:
    friend class RegistryHive;

    QString name_;
    RegistryKey* parent_ = nullptr;
    RegistrySubkeys subkeys_;
    std::vector<RegistryValue> values_; // ordered by name ignoring case; complete once valuesLoaded_
    QByteArray keptLines_;              // the lines of its blocks that are not values, once loaded
    int firstSection_ = -1;             // its first [..] block in the file, -1 when it has none
    int lastSection_ = -1;
    bool valuesLoaded_ = true;
    bool modified_ = false;             // changed since the file was read: its block is rewritten
    std::int64_t modifiedTime_ = 0;     // FILETIME ticks of the last change
};

// One registry file of a Wine prefix (system.reg or user.reg) in Wine's text format, read and
// written back. Reading is lazy where it pays: the scan of the file builds only the key tree,
// and a key's values are parsed the first time they are asked for. Writing keeps the file's
// text: blocks of keys that did not change are copied byte for byte, changed keys are rewritten
// as Wine writes them (keeping their option and comment lines), new keys are placed where Wine
// would place them, and lines that are not understood are kept.
//
// A missing or empty file is an empty hive that a write creates. A file that is not a registry
// file reads as empty and is never overwritten.
//
// REQUIRES: one thread at a time. The hive owns its keys; key pointers stay valid until the key
// is deleted or the hive reloads (refresh() returning true, or a failed save()).
class RegistryHive {
public:
    // `filePath`: host path of the file. `relativeTo`: what a new file's header says its keys
    // are relative to, as written there (\\Machine or \\User\\<sid>); `win64` sets a new file's
    // #arch line.
    RegistryHive(QString filePath, QByteArray relativeTo, bool win64);
    ~RegistryHive();
    RegistryHive(const RegistryHive&) = delete;
    RegistryHive& operator=(const RegistryHive&) = delete;

    // Reads the file if it has not been read, or if it changed on disk since it was last read
    // or written (checked by identity, size and time). Returns true when it (re)loaded, which
    // drops every key pointer handed out before.
    bool refresh();

    // Reads `text` as the file's contents, in place of the file, with the same parsing as
    // refresh(); the hive keeps it until the file changes on disk. For tests and fuzzing.
    void loadText(QByteArray text);
    // The text save() would write now.
    QByteArray savedText() const;

    // The largest registry file read: a real system.reg is some 30 MB, and a file that never ends (a
    // FIFO, a device, a link to either) must not take all memory. A larger file, like one that
    // cannot be read, gives no keys and is never rewritten.
    static constexpr qint64 kMaxFileSize = qint64(512) * 1024 * 1024;

    const QString& filePath() const { return filePath_; }
    // False when the file exists but could not be read or is not a registry file.
    bool writable() const { return writable_; }
    // Increases on every load and every change.
    std::uint64_t generation() const { return generation_; }

    RegistryKey* root() { return root_; }
    // The subkey of `parent` named `name` (ignoring case), or null.
    RegistryKey* child(const RegistryKey* parent, QStringView name) const;
    // The key at the components of `path` below `from`, or null.
    RegistryKey* find(RegistryKey* from, const std::vector<QStringView>& path) const;

    const std::vector<RegistryValue>& values(RegistryKey* key);
    // The value named `name` (ignoring case; empty names the default value), or null.
    const RegistryValue* value(RegistryKey* key, QStringView name);

    // Changes in memory; save() writes them. The subkey `name` of `parent`, made if missing.
    RegistryKey* createChild(RegistryKey* parent, const QString& name);
    void setValue(RegistryKey* key, RegistryValue value);
    // False when there is no such value.
    bool deleteValue(RegistryKey* key, QStringView name);
    // Removes `key` with everything below it. The root cannot be removed.
    void deleteKey(RegistryKey* key);

    // Writes the hive to its file atomically. On failure the file is left as it was, the hive
    // reloads it (dropping the changes and every key pointer) and false is returned.
    bool save();

    static int compareNames(QStringView a, QStringView b) { return CompareRegistryNames(a, b); }

private:
    struct Section {
        qsizetype begin = 0;    // first byte, the blank lines before the [..] line included
        qsizetype keyLine = 0;  // first byte of the [..] line
        qsizetype end = 0;      // one past the last byte
        RegistryKey* key = nullptr; // null when the line names no usable key or the key was deleted
        int next = -1;          // the key's next block
        bool dropped = false;   // its key was deleted: not written again
    };
    struct FileIdentity {
        bool exists = false;
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = 0, modifiedNs = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    void load();
    void parseText();
    void clear();
    void scanSections(qsizetype from);
    RegistryKey* keyOfLine(std::string_view afterBracket);
    RegistryKey* keyOfEscapedLine(std::string_view afterBracket);
    RegistryKey* findOrAddChild(RegistryKey* parent, QStringView name);
    RegistryKey* newKey();
    void loadValues(RegistryKey* key);
    static void storeValue(RegistryKey* key, RegistryValue value);
    void touch(RegistryKey* key);
    void appendRewritten(QByteArray& out, RegistryKey* key) const;
    // The three steps of save(): the file's new text with the blocks it will hold, the atomic
    // write of that text, and the hive taking the text and blocks as its own.
    struct Composed {
        QByteArray text;
        qsizetype headerEnd = 0;
        std::vector<Section> sections;
    };
    Composed composeText() const;
    bool commitFile(const QByteArray& text) const;
    void reindexSections(Composed composed);
    QByteArray newline() const { return crlf_ ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n"); }
    FileIdentity identity() const;

    QString filePath_;
    QByteArray relativeTo_;
    bool win64_;
    bool loaded_ = false;
    bool writable_ = true;
    bool crlf_ = false;
    std::uint64_t generation_ = 0;
    FileIdentity identity_;
    QByteArray text_;          // the file as last read or written
    qsizetype headerEnd_ = 0;  // the lines before the first block
    std::vector<Section> sections_;
    // Keys are made in chunks (a file holds hundreds of thousands); a deleted key's memory
    // returns when the hive reloads.
    std::vector<std::unique_ptr<RegistryKey[]>> keyChunks_;
    std::size_t usedInLastChunk_ = 0;
    RegistryKey* root_ = nullptr;
    // While the file is scanned: the components of the block read last (as bytes of text_)
    // and their keys, to find the next block's keys without a search.
    std::vector<std::string_view> lastRawPath_;
    std::vector<RegistryKey*> lastChain_;
    std::vector<std::string_view> rawParts_;
};

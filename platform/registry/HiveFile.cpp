#include "platform/registry/HiveFile.h"

#include "platform/files/FolderListing.h"
#include "platform/files/HostNames.h"
#include "platform/files/RegularFile.h"
#include "platform/registry/RegistryText.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <hivex.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What is read here of the hive format, as the format is publicly documented. The file starts
// with a 4 KB base block: "regf", the primary and secondary sequence numbers (equal once a write
// has finished), and at 0x28 the size of the bins that follow it. Cells are addressed by their
// offset past the base block; hivex's handles are their offsets in the file. A cell starts with
// its size (negative while in use) and a two-letter kind.
constexpr std::uint64_t kBaseBlockSize = 0x1000;
constexpr std::size_t kSequence1At = 4, kSequence2At = 8, kBinsSizeAt = 0x28;
// A key cell ("nk"): flags at 6 (0x20: the name is stored one byte a character), the name's
// length in bytes at 0x4C and the name at 0x50.
constexpr std::size_t kKeyFlagsAt = 6, kKeyNameLengthAt = 0x4C, kKeyNameAt = 0x50;
constexpr std::uint16_t kKeyNameIsBytes = 0x20;
// A value cell ("vk"): the name's length at 6, the data's length at 8 (its top bit set when the
// data is kept in the cell), the type at 0x10, flags at 0x14 (1: the name is one byte a
// character), the name at 0x18.
constexpr std::size_t kValueNameLengthAt = 6, kValueDataLengthAt = 8, kValueTypeAt = 0x10, kValueFlagsAt = 0x14,
                      kValueNameAt = 0x18;
constexpr std::uint16_t kValueNameIsBytes = 0x01;
// The data of a large value lies in a "db" cell: the number of segments at 6 and at 8 the
// offset of the cell listing them, four bytes a segment.
constexpr std::size_t kBigDataSegmentsAt = 6, kBigDataListAt = 8;

struct FreeWithFree {
    void operator()(void* p) const { std::free(p); }
};
using Handles = std::unique_ptr<std::size_t[], FreeWithFree>;
using Bytes = std::unique_ptr<char[], FreeWithFree>;

// Windows keeps a key's subkey list sorted by the upper-cased names, code unit by code unit
// (hivex's writer keeps the same order); lookups search the list in that order.
inline char16_t upcase(char16_t c)
{
    if (c < 128)
        return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    if (QChar::isSurrogate(c))
        return c;
    const char32_t upper = QChar::toUpper(char32_t(c));
    return upper <= 0xFFFF ? char16_t(upper) : c;
}

int compareInListOrder(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = upcase(a[i].unicode());
        const char16_t y = upcase(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// The size of the cell whose first bytes are `head` (a cell in use gives it negated).
std::uint64_t cellSize(const unsigned char* head)
{
    const qint32 size = qFromLittleEndian<qint32>(head);
    return size < 0 ? std::uint64_t(-qint64(size)) : std::uint64_t(size);
}

// UTF-16LE units as text, each unpaired surrogate replaced by U+FFFD.
QString textOfUnits(const QByteArray& bytes)
{
    QString text(bytes.size() / 2, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = qFromLittleEndian<char16_t>(bytes.constData() + 2 * i);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (QChar::isHighSurrogate(out[i]) && i + 1 < text.size() && QChar::isLowSurrogate(out[i + 1]))
            ++i;
        else if (QChar::isSurrogate(out[i]))
            out[i] = 0xFFFD;
    }
    return text;
}

// Sorts by CompareRegistryNames and keeps, of names equal ignoring case, the first.
template <typename Item, typename Name>
void sortByNameKeepingFirst(std::vector<Item>& items, Name nameOf)
{
    std::stable_sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        return CompareRegistryNames(nameOf(a), nameOf(b)) < 0;
    });
    items.erase(std::unique(items.begin(), items.end(),
                            [&](const Item& a, const Item& b) { return CompareRegistryNames(nameOf(a), nameOf(b)) == 0; }),
                items.end());
}

// hivex's errno values for a file it finds malformed.
bool isFormatError(int error)
{
    return error == ENOTSUP || error == EINVAL || error == EFAULT || error == ERANGE || error == ELOOP
        || error == HIVEX_NO_KEY;
}

}

HiveFile::HiveFile(const QString& hostPath)
    : filePath_(hostPath)
{
    const QString shown = HostNames::displayed(hostPath);
    OpenedFile opened = OpenRegularFile(hostPath, FollowLinks::Yes);
    if (opened.fd < 0) {
        if (opened.error == ENOENT || opened.error == ENOTDIR)
            error_ = QStringLiteral("The registry hive %1 does not exist.").arg(shown);
        else if (opened.notRegular)
            error_ = QStringLiteral("%1 is not a regular file, so it is not read as a registry hive.").arg(shown);
        else
            error_ = QStringLiteral("The registry hive %1 could not be opened: %2.")
                         .arg(shown, QString::fromLocal8Bit(std::strerror(opened.error)));
        return;
    }
    fd_ = opened.fd;
    fileSize_ = static_cast<std::uint64_t>(opened.status.st_size);
    if (qint64(fileSize_) > kMaxFileSize) {
        error_ = QStringLiteral("%1 is larger than a registry hive can be (%2 bytes).").arg(shown).arg(fileSize_);
        return;
    }
    unsigned char base[kBinsSizeAt + 4];
    if (::pread(fd_, base, sizeof base, 0) != qint64(sizeof base) || std::memcmp(base, "regf", 4) != 0) {
        error_ = QStringLiteral("%1 is not a registry hive file.").arg(shown);
        return;
    }
    // A hive has at least one 4 KB bin after its base block.
    const std::uint64_t announced = kBaseBlockSize + std::max<std::uint64_t>(qFromLittleEndian<quint32>(base + kBinsSizeAt), 0x1000);
    if (fileSize_ < announced) {
        error_ = QStringLiteral("%1 is a truncated registry hive: it holds %2 bytes of the %3 its header announces.")
                     .arg(shown)
                     .arg(fileSize_)
                     .arg(announced);
        return;
    }

    // hivex opens the file by name, with a blocking open: it is handed the file already opened
    // here, so a FIFO put in its place since the check cannot stop it.
    const QByteArray own = "/proc/self/fd/" + QByteArray::number(fd_);
    errno = 0;
    hive_ = hivex_open(own.constData(), 0);
    if (!hive_) {
        const int why = errno;
        if (isFormatError(why))
            error_ = QStringLiteral("%1 is a damaged registry hive (hivex: %2).")
                         .arg(shown, QString::fromLocal8Bit(std::strerror(why)));
        else
            error_ = QStringLiteral("The registry hive %1 could not be opened: %2.")
                         .arg(shown, QString::fromLocal8Bit(std::strerror(why)));
        return;
    }
    primarySequence_ = qFromLittleEndian<quint32>(base + kSequence1At);
    secondarySequence_ = qFromLittleEndian<quint32>(base + kSequence2At);
    findTransactionLogs();
}

HiveFile::~HiveFile()
{
    if (hive_)
        hivex_close(hive_);
    if (fd_ >= 0)
        ::close(fd_);
}

void HiveFile::findTransactionLogs()
{
    const QFileInfo info(filePath_);
    const auto entries = ListFolderEntries(info.path());
    if (!entries)
        return;
    const QString base = info.fileName();
    for (const char* suffix : {".LOG", ".LOG1", ".LOG2"}) {
        for (const FolderEntry& entry : *entries) {
            if (entry.kind != FolderEntryKind::File || CompareRegistryNames(entry.name, base + QLatin1String(suffix)) != 0)
                continue;
            const QString path = info.dir().filePath(entry.name);
            struct stat status {};
            if (::stat(HostNames::encode(path).constData(), &status) == 0 && status.st_size > 0)
                transactionLogs_.append(path);
        }
    }
}

bool HiveFile::readAt(std::uint64_t offset, void* out, std::size_t length) const
{
    if (fd_ < 0 || offset > fileSize_ || length > fileSize_ - offset)
        return false;
    auto* bytes = static_cast<char*>(out);
    while (length > 0) {
        const ssize_t got = ::pread(fd_, bytes, length, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false; // the file shrank, or cannot be read
        bytes += got;
        offset += std::uint64_t(got);
        length -= std::size_t(got);
    }
    return true;
}

std::optional<QString> HiveFile::cellName(std::size_t offset, bool valueCell) const
{
    // The name is read from the cell itself: hivex's names are recoded to UTF-8, which fails on
    // a name that is not valid UTF-16 and cuts a name at an embedded NUL. One read takes the
    // cell's head and a name as long as a key's can be.
    unsigned char cell[kKeyNameAt + 2 * RegistryText::kMaxKeyNameLength];
    const std::size_t headSize = valueCell ? kValueNameAt : kKeyNameAt;
    const std::size_t got = offset < fileSize_ ? std::size_t(std::min<std::uint64_t>(sizeof cell, fileSize_ - offset)) : 0;
    if (got < headSize || !readAt(offset, cell, got) || cell[4] != (valueCell ? 'v' : 'n') || cell[5] != 'k')
        return std::nullopt;
    const std::size_t length = qFromLittleEndian<quint16>(cell + (valueCell ? kValueNameLengthAt : kKeyNameLengthAt));
    const std::uint16_t flags = qFromLittleEndian<quint16>(cell + (valueCell ? kValueFlagsAt : kKeyFlagsAt));
    const bool oneByteEach = (flags & (valueCell ? kValueNameIsBytes : kKeyNameIsBytes)) != 0;
    if (headSize + length > cellSize(cell))
        return std::nullopt;
    const qsizetype characters = qsizetype(oneByteEach ? length : length / 2);
    if (characters > (valueCell ? kMaxValueNameLength : RegistryText::kMaxKeyNameLength))
        return std::nullopt;
    QByteArray bytes(reinterpret_cast<const char*>(cell) + headSize, qsizetype(std::min(length, got - headSize)));
    if (bytes.size() < qsizetype(length)) {
        bytes.resize(qsizetype(length));
        if (!readAt(offset + headSize, bytes.data(), length))
            return std::nullopt;
    }
    QString name = oneByteEach ? QString::fromLatin1(bytes) : textOfUnits(bytes);
    // A backslash separates the components of a key path: no Windows program can name a key
    // that holds one.
    if (!valueCell && name.contains(u'\\'))
        return std::nullopt;
    return name;
}

HiveKey HiveFile::root() const
{
    return HiveKey(hive_ ? hivex_root(hive_) : 0);
}

QString HiveFile::name(HiveKey key) const
{
    return cellName(key.node_, false).value_or(QString());
}

std::optional<HiveKey> HiveFile::key(HiveKey from, QStringView path) const
{
    if (!hive_)
        return std::nullopt;
    HiveKey at = from;
    std::size_t depth = 0;
    for (qsizetype i = 0; i < path.size();) {
        const qsizetype separator = path.indexOf(u'\\', i);
        const qsizetype end = separator < 0 ? path.size() : separator;
        if (end > i) {
            if (++depth > kMaxDepth)
                return std::nullopt;
            const auto next = subkey(at, path.mid(i, end - i));
            if (!next)
                return std::nullopt;
            at = *next;
        }
        i = end + 1;
    }
    return at;
}

std::shared_ptr<const std::vector<std::size_t>> HiveFile::children(HiveKey key) const
{
    if (const auto kept = lists_.find(key.node_); kept != lists_.end())
        return kept->second;
    const Handles list(hivex_node_children(hive_, key.node_));
    if (!list)
        return nullptr;
    auto children = std::make_shared<std::vector<std::size_t>>();
    for (qsizetype i = 0; i < kMaxSubkeys && list[i] != 0; ++i)
        children->push_back(list[i]);
    // hivex reads a whole list, and checks each subkey's cell, on every call: the long lists of
    // the keys looked through last are kept, the oldest dropped first, up to kMaxKeptSubkeys.
    if (children->size() >= kKeptListLength) {
        while (keptHandles_ + children->size() > kMaxKeptSubkeys && !listOrder_.empty()) {
            keptHandles_ -= lists_[listOrder_.front()]->size();
            lists_.erase(listOrder_.front());
            listOrder_.pop_front();
        }
        lists_.emplace(key.node_, children);
        listOrder_.push_back(key.node_);
        keptHandles_ += children->size();
    }
    return children;
}

std::optional<HiveKey> HiveFile::subkey(HiveKey parent, QStringView name) const
{
    if (!hive_ || name.isEmpty() || name.size() > RegistryText::kMaxKeyNameLength)
        return std::nullopt;
    const auto children = this->children(parent);
    if (!children)
        return std::nullopt;
    // A binary search in the list's own order; a list out of order (a damaged hive) may hide
    // a subkey from it, as it does from Windows.
    std::size_t low = 0, high = children->size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const std::optional<QString> found = cellName((*children)[middle], false);
        if (!found)
            return std::nullopt;
        if (CompareRegistryNames(*found, name) == 0)
            return HiveKey((*children)[middle]);
        const int order = compareInListOrder(*found, name);
        if (order == 0)
            return std::nullopt; // equal to Windows, not to CompareRegistryNames: no such key here
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return std::nullopt;
}

QStringList HiveFile::subkeyNames(HiveKey key) const
{
    const auto children = hive_ ? this->children(key) : nullptr;
    if (!children)
        return {};
    std::vector<QString> names;
    for (const std::size_t child : *children)
        if (std::optional<QString> found = cellName(child, false))
            names.push_back(std::move(*found));
    sortByNameKeepingFirst(names, [](const QString& n) { return QStringView(n); });
    return QStringList(names.begin(), names.end());
}

bool HiveFile::valueTypeAndLength(std::size_t value, std::uint32_t* type, std::uint64_t* length) const
{
    unsigned char fields[kValueTypeAt + 4 - kValueDataLengthAt];
    if (!readAt(value + kValueDataLengthAt, fields, sizeof fields))
        return false;
    *length = qFromLittleEndian<quint32>(fields) & 0x7FFFFFFF;
    *type = qFromLittleEndian<quint32>(fields + (kValueTypeAt - kValueDataLengthAt));
    return true;
}

bool HiveFile::bigDataListFits(std::size_t value, std::uint64_t length) const
{
    // hivex reads a large value's segment list for as many entries as the "db" cell names,
    // without checking that its cell holds them: past the end of the file that read faults.
    // It takes the data cell for a "db" cell when the data does not fit in it, as here.
    std::size_t cellLength = 0;
    const std::size_t cell = hivex_value_data_cell_offset(hive_, value, &cellLength);
    if (cell == 0)
        return true; // data kept in the value's own cell, or none hivex would read
    unsigned char head[kBigDataListAt + 4];
    if (!readAt(cell, head, sizeof head))
        return false;
    if (length + 4 <= cellSize(head) || head[4] != 'd' || head[5] != 'b')
        return true;
    const std::uint64_t segments = qFromLittleEndian<quint16>(head + kBigDataSegmentsAt);
    const std::uint64_t list = kBaseBlockSize + qFromLittleEndian<quint32>(head + kBigDataListAt);
    unsigned char listHead[4];
    if (!readAt(list, listHead, sizeof listHead))
        return false;
    return 4 + 4 * segments <= cellSize(listHead) && list + cellSize(listHead) <= fileSize_;
}

std::optional<RegistryValue> HiveFile::readValue(std::size_t value, QString name) const
{
    std::uint32_t type = 0;
    std::uint64_t declared = 0;
    if (!valueTypeAndLength(value, &type, &declared) || !bigDataListFits(value, declared))
        return std::nullopt;
    // The type comes from the cell: hivex gives it as an enum that holds only the types it knows.
    std::size_t length = 0;
    const Bytes data(hivex_value_value(hive_, value, nullptr, &length));
    if (!data)
        return std::nullopt;
    const qsizetype kept = qsizetype(std::min<std::uint64_t>(length, kMaxValueSize));
    return RegistryValue{std::move(name), type, QByteArray(data.get(), kept)};
}

std::vector<RegistryValue> HiveFile::values(HiveKey key) const
{
    if (!hive_)
        return {};
    const Handles handles(hivex_node_values(hive_, key.node_));
    if (!handles)
        return {};
    std::vector<RegistryValue> values;
    qsizetype budget = kMaxValueBytes;
    for (qsizetype i = 0; i < kMaxValues && handles[i] != 0; ++i) {
        std::optional<QString> name = cellName(handles[i], true);
        std::uint32_t type = 0;
        std::uint64_t size = 0;
        if (!name || !valueTypeAndLength(handles[i], &type, &size))
            continue;
        if (qsizetype(std::min<std::uint64_t>(size, kMaxValueSize)) > budget)
            break;
        if (std::optional<RegistryValue> read = readValue(handles[i], std::move(*name))) {
            budget -= read->data.size();
            values.push_back(std::move(*read));
        }
    }
    sortByNameKeepingFirst(values, [](const RegistryValue& v) { return QStringView(v.name); });
    return values;
}

std::optional<RegistryValue> HiveFile::value(HiveKey key, QStringView name) const
{
    if (!hive_ || name.size() > kMaxValueNameLength)
        return std::nullopt;
    const Handles handles(hivex_node_values(hive_, key.node_));
    if (!handles)
        return std::nullopt;
    for (qsizetype i = 0; i < kMaxValues && handles[i] != 0; ++i) {
        std::optional<QString> found = cellName(handles[i], true);
        if (!found || CompareRegistryNames(*found, name) != 0)
            continue;
        if (std::optional<RegistryValue> read = readValue(handles[i], std::move(*found)))
            return read;
    }
    return std::nullopt;
}

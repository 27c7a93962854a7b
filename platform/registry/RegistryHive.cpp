#include "platform/registry/RegistryHive.h"

#include "platform/registry/RegistryText.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/RegularFile.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <string_view>
#include <sys/stat.h>

namespace {

// Deepest key path read from a file; Windows allows 512 levels.
constexpr std::size_t kMaxDepth = 512;

// FILETIME ticks (100 ns since 1601) of the Unix epoch.
constexpr std::int64_t kTicks1601To1970 = 116444736000000000LL;

inline char16_t foldCase(char16_t c)
{
    if (c < 128)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    return char16_t(QChar::toLower(char32_t(c)));
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::int64_t nowTicks()
{
    return QDateTime::currentMSecsSinceEpoch() * 10000 + kTicks1601To1970;
}

// Visits `top` and every key below it, parents before children, children in order. No
// recursion: the depth of a tree read from a file is not trusted.
template <typename Visit>
void forEachKey(RegistryKey* top, Visit visit)
{
    visit(top);
    std::vector<std::pair<RegistryKey*, RegistrySubkeys::const_iterator>> stack{{top, top->subkeys().begin()}};
    while (!stack.empty()) {
        auto& [key, next] = stack.back();
        if (next == key->subkeys().end()) {
            stack.pop_back();
            continue;
        }
        RegistryKey* child = (next++)->second;
        visit(child);
        stack.emplace_back(child, child->subkeys().begin());
    }
}

template <typename Item, typename Name>
auto lowerBoundByName(std::vector<Item>& items, QStringView name, Name nameOf)
{
    return std::lower_bound(items.begin(), items.end(), name, [&](const Item& item, QStringView n) {
        return RegistryHive::compareNames(nameOf(item), n) < 0;
    });
}

}

RegistryHive::RegistryHive(QString filePath, QByteArray relativeTo, bool win64)
    : filePath_(std::move(filePath))
    , relativeTo_(std::move(relativeTo))
    , win64_(win64)
{
    clear();
}

RegistryHive::~RegistryHive() = default;

int CompareRegistryNames(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = foldCase(a[i].unicode());
        const char16_t y = foldCase(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

RegistryHive::FileIdentity RegistryHive::identity() const
{
    FileIdentity id;
    struct stat info;
    if (::stat(QFile::encodeName(filePath_).constData(), &info) != 0)
        return id;
    id.exists = true;
    id.device = static_cast<std::uint64_t>(info.st_dev);
    id.inode = static_cast<std::uint64_t>(info.st_ino);
    id.size = static_cast<std::int64_t>(info.st_size);
    id.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    return id;
}

bool RegistryHive::refresh()
{
    if (loaded_ && identity() == identity_)
        return false;
    load();
    return true;
}

RegistryKey* RegistryHive::newKey()
{
    constexpr std::size_t kChunk = 256;
    if (keyChunks_.empty() || usedInLastChunk_ == kChunk) {
        keyChunks_.push_back(std::make_unique<RegistryKey[]>(kChunk));
        usedInLastChunk_ = 0;
    }
    return &keyChunks_.back()[usedInLastChunk_++];
}

void RegistryHive::clear()
{
    keyChunks_.clear();
    usedInLastChunk_ = 0;
    root_ = newKey();
    sections_.clear();
    text_.clear();
    headerEnd_ = 0;
    writable_ = true;
    crlf_ = false;
    lastRawPath_.clear();
    lastChain_.clear();
}

void RegistryHive::load()
{
    clear();
    loaded_ = true;
    ++generation_;
    identity_ = identity();
    if (!identity_.exists)
        return;

    // Read without blocking on a FIFO, never from a device, and only up to the bound: a file that
    // cannot be read whole is read as an empty hive that is never written back.
    FileContents contents = ReadRegularFile(filePath_, kMaxFileSize, FollowLinks::Yes);
    if (!contents.ok()) {
        writable_ = false;
        return;
    }
    text_ = std::move(contents.bytes);
    parseText();
}

void RegistryHive::loadText(QByteArray text)
{
    clear();
    loaded_ = true;
    ++generation_;
    identity_ = identity();
    text_ = std::move(text);
    parseText();
}

QByteArray RegistryHive::savedText() const
{
    return composeText().text;
}

void RegistryHive::parseText()
{
    if (text_.isEmpty())
        return;

    const std::string_view all(text_.constData(), static_cast<std::size_t>(text_.size()));
    const std::size_t firstEnd = all.find('\n');
    std::string_view header = all.substr(0, firstEnd);
    if (!header.empty() && header.back() == '\r') {
        header.remove_suffix(1);
        crlf_ = true;
    }
    if (header != "WINE REGISTRY Version 2") {
        text_.clear();
        writable_ = false;
        return;
    }
    scanSections(firstEnd == std::string_view::npos ? text_.size() : static_cast<qsizetype>(firstEnd + 1));
    lastRawPath_.clear();
    lastChain_.clear();
}

void RegistryHive::scanSections(qsizetype from)
{
    const std::string_view all(text_.constData(), static_cast<std::size_t>(text_.size()));
    const std::size_t size = all.size();
    qsizetype blankStart = -1;
    headerEnd_ = text_.size();
    sections_.reserve(static_cast<std::size_t>(text_.size() / 96));
    for (std::size_t pos = static_cast<std::size_t>(from); pos < size;) {
        const std::size_t newline = all.find('\n', pos);
        const std::size_t lineEnd = newline == std::string_view::npos ? size : newline;
        const std::size_t next = newline == std::string_view::npos ? size : newline + 1;
        std::size_t p = pos;
        while (p < lineEnd && isBlank(all[p]))
            ++p;
        if (p == lineEnd) {
            if (blankStart < 0)
                blankStart = static_cast<qsizetype>(pos);
            pos = next;
            continue;
        }
        if (all[p] == '[') {
            Section section;
            section.begin = blankStart >= 0 ? blankStart : static_cast<qsizetype>(pos);
            section.keyLine = static_cast<qsizetype>(pos);
            if (sections_.empty())
                headerEnd_ = section.begin;
            else
                sections_.back().end = section.begin;
            section.key = keyOfLine(all.substr(p + 1, lineEnd - p - 1));
            const int index = static_cast<int>(sections_.size());
            if (RegistryKey* key = section.key) {
                if (key->firstSection_ < 0) {
                    key->firstSection_ = index;
                    key->valuesLoaded_ = false;
                } else {
                    sections_[static_cast<std::size_t>(key->lastSection_)].next = index;
                }
                key->lastSection_ = index;
            }
            sections_.push_back(section);
        }
        blankStart = -1;
        pos = next;
    }
    if (!sections_.empty())
        sections_.back().end = text_.size();
}

RegistryKey* RegistryHive::keyOfLine(std::string_view afterBracket)
{
    // The common case: ASCII with no escapes but the doubled backslashes between components.
    // Blocks come in key order, so most of a path is the one read just before, and its
    // components can be compared as bytes without decoding them.
    std::vector<std::string_view>& parts = rawParts_;
    parts.clear();
    bool simple = false;
    for (std::size_t i = 0, start = 0; i < afterBracket.size(); ++i) {
        const char c = afterBracket[i];
        if (c == ']') {
            if (i > start)
                parts.push_back(afterBracket.substr(start, i - start));
            simple = true;
            break;
        }
        if (c == '\\') {
            if (i + 1 >= afterBracket.size() || afterBracket[i + 1] != '\\')
                break;
            if (i == 0)
                return nullptr; // a path cannot start with a backslash
            if (i > start)
                parts.push_back(afterBracket.substr(start, i - start));
            start = ++i + 1;
            continue;
        }
        if (c == '\0' || static_cast<unsigned char>(c) >= 0x80)
            break; // UTF-8 may decode to less, even to nothing: left to the exact reading
    }
    if (!simple)
        return keyOfEscapedLine(afterBracket);
    if (parts.size() > kMaxDepth)
        return nullptr;
    for (std::string_view part : parts)
        if (static_cast<qsizetype>(part.size()) > RegistryText::kMaxKeyNameLength)
            return nullptr;

    std::size_t common = 0;
    while (common < parts.size() && common < lastRawPath_.size() && parts[common] == lastRawPath_[common])
        ++common;
    RegistryKey* key = common == 0 ? root_ : lastChain_[common - 1];
    lastRawPath_.resize(common);
    lastChain_.resize(common);
    for (std::size_t i = common; i < parts.size(); ++i) {
        key = findOrAddChild(key, QString::fromLatin1(parts[i].data(), static_cast<qsizetype>(parts[i].size())));
        lastRawPath_.push_back(parts[i]);
        lastChain_.push_back(key);
    }
    return key;
}

RegistryKey* RegistryHive::keyOfEscapedLine(std::string_view afterBracket)
{
    lastRawPath_.clear();
    lastChain_.clear();
    QString path;
    if (RegistryText::unescape(afterBracket, ']', path) < 0)
        return nullptr;
    if (path.startsWith(u'\\'))
        return nullptr;
    std::vector<QStringView> parts;
    for (qsizetype i = 0; i < path.size();) {
        const qsizetype separator = path.indexOf(u'\\', i);
        const qsizetype end = separator < 0 ? path.size() : separator;
        if (end > i) {
            if (end - i > RegistryText::kMaxKeyNameLength)
                return nullptr;
            parts.push_back(QStringView(path).mid(i, end - i));
        }
        i = end + 1;
    }
    if (parts.size() > kMaxDepth)
        return nullptr;
    RegistryKey* key = root_;
    for (QStringView part : parts)
        key = findOrAddChild(key, part);
    return key;
}

RegistryKey* RegistryHive::findOrAddChild(RegistryKey* parent, QStringView name)
{
    auto& subkeys = parent->subkeys_;
    auto at = subkeys.end();
    // Keys are read in order, so a new one usually goes last.
    if (!subkeys.empty()) {
        const int order = compareNames(std::prev(subkeys.end())->first, name);
        if (order == 0)
            return std::prev(subkeys.end())->second;
        if (order > 0) {
            at = subkeys.lower_bound(name);
            if (compareNames(at->first, name) == 0)
                return at->second;
        }
    }
    RegistryKey* key = newKey();
    key->name_ = name.toString();
    key->parent_ = parent;
    subkeys.emplace_hint(at, key->name_, key);
    return key;
}

RegistryKey* RegistryHive::child(const RegistryKey* parent, QStringView name) const
{
    const auto at = parent->subkeys_.find(name);
    return at == parent->subkeys_.end() ? nullptr : at->second;
}

RegistryKey* RegistryHive::find(RegistryKey* from, const std::vector<QStringView>& path) const
{
    RegistryKey* key = from;
    for (QStringView name : path) {
        key = child(key, name);
        if (!key)
            return nullptr;
    }
    return key;
}

void RegistryHive::loadValues(RegistryKey* key)
{
    if (key->valuesLoaded_)
        return;
    key->valuesLoaded_ = true;
    const QByteArray lineEnd = newline();
    const std::string_view all(text_.constData(), static_cast<std::size_t>(text_.size()));
    for (int index = key->firstSection_; index >= 0; index = sections_[static_cast<std::size_t>(index)].next) {
        const Section& section = sections_[static_cast<std::size_t>(index)];
        const std::size_t end = static_cast<std::size_t>(section.end);
        const std::size_t keyLineEnd = all.find('\n', static_cast<std::size_t>(section.keyLine));
        std::size_t pos = keyLineEnd == std::string_view::npos || keyLineEnd >= end ? end : keyLineEnd + 1;
        while (pos < end) {
            const std::size_t newline = all.find('\n', pos);
            const std::size_t next = newline == std::string_view::npos || newline >= end ? end : newline + 1;
            std::size_t stop = newline == std::string_view::npos || newline >= end ? end : newline;
            std::size_t p = pos;
            while (p < stop && isBlank(all[p]))
                ++p;
            if (p == stop) {
                pos = next;
                continue;
            }
            if (all[p] == '@' || all[p] == '"') {
                RegistryText::ParsedValue parsed;
                qsizetype consumed = 0;
                if (RegistryText::parseValue(all.substr(p, end - p), parsed, consumed)) {
                    key->values_.push_back(RegistryValue{std::move(parsed.name), parsed.type, std::move(parsed.data)});
                    pos = p + static_cast<std::size_t>(consumed);
                    continue;
                }
            } else if (all.compare(p, 6, "#time=") == 0) {
                pos = next; // written anew with the key
                continue;
            }
            // Options, comments and lines we do not understand are kept as they are.
            if (stop > pos && all[stop - 1] == '\r')
                --stop;
            key->keptLines_.append(all.data() + pos, static_cast<qsizetype>(stop - pos));
            key->keptLines_.append(lineEnd);
            pos = next;
        }
    }
    // In name order; of lines for the same name the last one wins, as in Wine.
    auto& values = key->values_;
    std::stable_sort(values.begin(), values.end(), [](const RegistryValue& a, const RegistryValue& b) {
        return compareNames(a.name, b.name) < 0;
    });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i + 1 < values.size() && compareNames(values[i].name, values[i + 1].name) == 0)
            continue;
        if (kept != i)
            values[kept] = std::move(values[i]);
        ++kept;
    }
    values.resize(kept);
}

const std::vector<RegistryValue>& RegistryHive::values(RegistryKey* key)
{
    loadValues(key);
    return key->values_;
}

const RegistryValue* RegistryHive::value(RegistryKey* key, QStringView name)
{
    loadValues(key);
    auto at = lowerBoundByName(key->values_, name, [](const RegistryValue& v) { return QStringView(v.name); });
    return at != key->values_.end() && compareNames(at->name, name) == 0 ? &*at : nullptr;
}

void RegistryHive::storeValue(RegistryKey* key, RegistryValue value)
{
    auto& values = key->values_;
    if (values.empty() || compareNames(values.back().name, value.name) < 0) {
        values.push_back(std::move(value));
        return;
    }
    auto at = lowerBoundByName(values, value.name, [](const RegistryValue& v) { return QStringView(v.name); });
    if (at != values.end() && compareNames(at->name, value.name) == 0)
        *at = std::move(value); // a later line for the same name wins, as in Wine
    else
        values.insert(at, std::move(value));
}

void RegistryHive::touch(RegistryKey* key)
{
    key->modified_ = true;
    key->modifiedTime_ = nowTicks();
    ++generation_;
}

RegistryKey* RegistryHive::createChild(RegistryKey* parent, const QString& name)
{
    if (RegistryKey* existing = child(parent, name))
        return existing;
    RegistryKey* key = findOrAddChild(parent, name);
    touch(key);
    return key;
}

void RegistryHive::setValue(RegistryKey* key, RegistryValue value)
{
    loadValues(key);
    storeValue(key, std::move(value));
    touch(key);
}

bool RegistryHive::deleteValue(RegistryKey* key, QStringView name)
{
    loadValues(key);
    auto& values = key->values_;
    auto at = lowerBoundByName(values, name, [](const RegistryValue& v) { return QStringView(v.name); });
    if (at == values.end() || compareNames(at->name, name) != 0)
        return false;
    values.erase(at);
    touch(key);
    return true;
}

void RegistryHive::deleteKey(RegistryKey* key)
{
    RegistryKey* parent = key->parent_;
    if (!parent)
        return;
    forEachKey(key, [this](RegistryKey* k) {
        for (int index = k->firstSection_; index >= 0; index = sections_[static_cast<std::size_t>(index)].next) {
            sections_[static_cast<std::size_t>(index)].key = nullptr;
            sections_[static_cast<std::size_t>(index)].dropped = true;
        }
    });
    parent->subkeys_.erase(parent->subkeys_.find(key->name_));
    ++generation_;
}

void RegistryHive::appendRewritten(QByteArray& out, RegistryKey* key) const
{
    const QByteArray lineEnd = newline();
    std::vector<const QString*> names;
    for (const RegistryKey* k = key; k->parent_; k = k->parent_)
        names.push_back(&k->name_);
    QString path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!path.isEmpty())
            path.append(u'\\');
        path.append(**it);
    }
    const std::int64_t ticks = key->modifiedTime_ != 0 ? key->modifiedTime_ : nowTicks();
    out.append('[');
    RegistryText::appendKeyPath(out, path);
    out.append("] ");
    out.append(QByteArray::number(static_cast<quint32>((ticks - kTicks1601To1970) / 10000000)));
    out.append(lineEnd);
    out.append("#time=");
    out.append(QByteArray::number(static_cast<quint32>(static_cast<std::uint64_t>(ticks) >> 32), 16));
    out.append(QByteArray::number(static_cast<quint32>(ticks), 16).rightJustified(8, '0'));
    out.append(lineEnd);
    out.append(key->keptLines_);
    for (const RegistryValue& value : key->values_)
        RegistryText::appendValue(out, value.name, value.type, value.data, std::string_view(lineEnd.constData(), lineEnd.size()));
}

bool RegistryHive::save()
{
    if (!writable_)
        return false;
    Composed composed = composeText();
    if (!commitFile(composed.text)) {
        load();
        return false;
    }
    reindexSections(std::move(composed));
    return true;
}

RegistryHive::Composed RegistryHive::composeText() const
{
    const QByteArray lineEnd = newline();
    Composed composed;
    QByteArray& out = composed.text;
    out.reserve(text_.size() + 4096);
    if (text_.isEmpty()) {
        out += "WINE REGISTRY Version 2" + lineEnd + ";; All keys relative to " + relativeTo_ + lineEnd + lineEnd
            + "#arch=" + (win64_ ? "win64" : "win32") + lineEnd;
    } else {
        out.append(text_.constData(), headerEnd_);
    }
    composed.headerEnd = out.size();

    // Keys that need a block and have none (new keys, and keys left without values or
    // subkeys), each placed after the block of the key before it in key order.
    std::vector<std::pair<int, RegistryKey*>> fresh;
    int lastSeen = -1;
    RegistryKey* root = root_;
    forEachKey(root, [&](RegistryKey* k) {
        if (k->firstSection_ >= 0) {
            lastSeen = k->firstSection_;
            return;
        }
        if (!k->values_.empty() || (k != root && k->subkeys_.empty()))
            fresh.emplace_back(lastSeen, k);
    });
    std::stable_sort(fresh.begin(), fresh.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    std::vector<Section>& written = composed.sections;
    written.reserve(sections_.size() + fresh.size());
    std::size_t nextFresh = 0;
    auto writeFresh = [&](int after) {
        for (; nextFresh < fresh.size() && fresh[nextFresh].first == after; ++nextFresh) {
            // What comes before may end without a line end (a file's last line, a header ended by
            // a lone CR): it is ended first, so the new block starts a line of its own.
            if (!out.isEmpty() && !out.endsWith('\n'))
                out.append(out.endsWith('\r') ? QByteArray("\n") : lineEnd);
            Section section;
            section.begin = out.size();
            out.append(lineEnd);
            section.keyLine = out.size();
            appendRewritten(out, fresh[nextFresh].second);
            section.end = out.size();
            section.key = fresh[nextFresh].second;
            written.push_back(section);
        }
    };
    writeFresh(-1);
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const Section& old = sections_[i];
        if (!old.dropped) {
            Section section;
            section.begin = out.size();
            section.key = old.key;
            if (old.key && old.key->modified_) {
                // A changed key is written once, in its first block, with all its values.
                if (static_cast<int>(i) == old.key->firstSection_) {
                    out.append(text_.constData() + old.begin, old.keyLine - old.begin);
                    section.keyLine = out.size();
                    appendRewritten(out, old.key);
                    section.end = out.size();
                    written.push_back(section);
                }
            } else {
                section.keyLine = section.begin + (old.keyLine - old.begin);
                out.append(text_.constData() + old.begin, old.end - old.begin);
                section.end = out.size();
                written.push_back(section);
            }
        }
        writeFresh(static_cast<int>(i));
    }
    return composed;
}

bool RegistryHive::commitFile(const QByteArray& text) const
{
    return AtomicFile::writeFile(filePath_, text, AtomicFile::Links::ReplaceLink);
}

void RegistryHive::reindexSections(Composed composed)
{
    text_ = std::move(composed.text);
    headerEnd_ = composed.headerEnd;
    sections_ = std::move(composed.sections);
    forEachKey(root_, [](RegistryKey* k) {
        k->firstSection_ = -1;
        k->lastSection_ = -1;
        k->modified_ = false;
    });
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        RegistryKey* key = sections_[i].key;
        if (!key)
            continue;
        if (key->firstSection_ < 0)
            key->firstSection_ = static_cast<int>(i);
        else
            sections_[static_cast<std::size_t>(key->lastSection_)].next = static_cast<int>(i);
        key->lastSection_ = static_cast<int>(i);
    }
    identity_ = identity();
    ++generation_;
}

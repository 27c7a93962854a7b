#include "platform/registry/WindowsEnvironment.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/files/PathMapper.h"
#include "platform/registry/MachineHives.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"

#include <QProcessEnvironment>
#include <algorithm>
#include <cstring>
#include <optional>

extern char** environ;

namespace {

const QString kSystemKey = QStringLiteral("System\\CurrentControlSet\\Control\\Session Manager\\Environment");
const QString kUserKey = QStringLiteral("Environment");
const QString kCurrentVersionKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion");

// A fingerprint of the process environment, to notice a variable set since the last build.
std::size_t processEnvironmentHash()
{
    std::size_t hash = 14695981039346656037ull;
    for (char** entry = environ; entry && *entry; ++entry) {
        for (const char* c = *entry; *c; ++c)
            hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
        hash = (hash ^ 0xFF) * 1099511628211ull;
    }
    return hash;
}

}

WindowsEnvironment::WindowsEnvironment(RegistryStore& store)
{
    // Wine hands the host's variables to its programs; a Windows machine's disk has none of them.
    const MachineHives* machine = store.machineHives();
    if (!machine) {
        const QProcessEnvironment process = QProcessEnvironment::systemEnvironment();
        for (const QString& name : process.keys())
            set(name, process.value(name));
    }

    // What Wine sets for every program before the registry's variables.
    const bool win64 = store.is64Bit();
    auto fromRegistry = [&](const QString& name, const QString& fallback) {
        const QString text = store.text(RegistryRoot::LocalMachine, kCurrentVersionKey, name);
        return text.isEmpty() ? fallback : text;
    };
    const QString programFiles = win64 ? fromRegistry(QStringLiteral("ProgramFilesDir (x86)"), QStringLiteral("C:\\Program Files (x86)"))
                                       : fromRegistry(QStringLiteral("ProgramFilesDir"), QStringLiteral("C:\\Program Files"));
    const QString commonFiles = win64 ? fromRegistry(QStringLiteral("CommonFilesDir (x86)"), QStringLiteral("C:\\Program Files (x86)\\Common Files"))
                                      : fromRegistry(QStringLiteral("CommonFilesDir"), QStringLiteral("C:\\Program Files\\Common Files"));
    // The Windows folder the system was installed in; Wine's prefixes keep C:\windows.
    QString systemRoot = store.text(RegistryRoot::LocalMachine, QStringLiteral("Software\\Microsoft\\Windows NT\\CurrentVersion"),
                                    QStringLiteral("SystemRoot"));
    if (!machine || !PathMapper::isDrivePath(systemRoot))
        systemRoot = QStringLiteral("C:\\windows");
    auto setWineVariables = [&] {
        set(QStringLiteral("SystemRoot"), systemRoot);
        // What Windows and Wine set for every process, which no saved hive holds.
        set(QStringLiteral("windir"), systemRoot);
        set(QStringLiteral("SystemDrive"), systemRoot.left(2));
        if (machine && !machine->userName().isEmpty()) {
            set(QStringLiteral("USERNAME"), machine->userName());
            if (!machine->userProfile().isEmpty()) {
                set(QStringLiteral("USERPROFILE"), machine->userProfile());
                set(QStringLiteral("HOMEDRIVE"), machine->userProfile().left(2));
                set(QStringLiteral("HOMEPATH"), machine->userProfile().mid(2));
            }
        }
        set(QStringLiteral("ProgramFiles"), programFiles);
        set(QStringLiteral("CommonProgramFiles"), commonFiles);
    };
    setWineVariables();
    // Wine gives each program the user's logon variables (USERNAME, USERPROFILE, APPDATA, ...)
    // from HKCU\Volatile Environment, before the Environment keys, which may name them.
    if (!machine) {
        for (const RegistryValue& value : store.values(RegistryRoot::CurrentUser, u"Volatile Environment"))
            if ((value.type == RegistryText::REG_SZ || value.type == RegistryText::REG_EXPAND_SZ) && !value.name.isEmpty())
                set(value.name, RegistryText::textOf(value.data));
    }

    overlayRegistry(store, true);
    overlayRegistry(store, false);
    setWineVariables();
}

void WindowsEnvironment::set(const QString& name, const QString& value)
{
    values_.insert(name.toLower(), value);
}

QString WindowsEnvironment::value(QStringView name) const
{
    const auto it = values_.constFind(name.toString().toLower());
    return it == values_.constEnd() ? QString() : *it;
}

void WindowsEnvironment::overlayRegistry(RegistryStore& store, bool system)
{
    const RegistryRoot root = system ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
    const std::vector<RegistryValue> values = store.values(root, system ? kSystemKey : kUserKey);
    // Plain values first, then the expandable ones, which may refer to the plain ones.
    for (const std::uint32_t type : {RegistryText::REG_SZ, RegistryText::REG_EXPAND_SZ}) {
        for (const RegistryValue& v : values) {
            if (v.type != type || v.name.isEmpty())
                continue;
            QString text = RegistryText::textOf(v.data);
            // Past the total, a value is kept as written: expanding it could cost another
            // kMaxExpandedLength characters, tens of thousands of times over.
            if (type == RegistryText::REG_EXPAND_SZ && expandedLength_ < kMaxTotalExpandedLength) {
                text = expand(text);
                expandedLength_ += text.size();
            }
            // The user's PATH adds to the system's rather than replacing it.
            if (!system && v.name.compare(QStringLiteral("PATH"), Qt::CaseInsensitive) == 0) {
                const QString systemPath = value(u"PATH");
                if (!systemPath.isEmpty())
                    text = (systemPath + u';' + text).left(kMaxExpandedLength);
            }
            set(v.name, text);
        }
    }
}

QString WindowsEnvironment::expand(QStringView text) const
{
    // Windows caps an expanded string at 32,767 characters; values that expand each other
    // (V2 = 100 x %V1%, V3 = 100 x %V2%, ...) would otherwise grow without bound. The
    // expansion stops at the cap.
    QString out;
    out.reserve(std::min(text.size(), kMaxExpandedLength));
    auto append = [&out](QStringView part) {
        out.append(part.left(kMaxExpandedLength - out.size()));
        return out.size() < kMaxExpandedLength;
    };
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(u'%', i);
        if (open < 0) {
            append(text.mid(i));
            break;
        }
        if (!append(text.mid(i, open - i)))
            break;
        const qsizetype close = text.indexOf(u'%', open + 1);
        if (close < 0) {
            append(text.mid(open));
            break;
        }
        const QStringView name = text.mid(open + 1, close - open - 1);
        const auto it = name.isEmpty() ? values_.constEnd() : values_.constFind(name.toString().toLower());
        if (it != values_.constEnd()) {
            if (!append(*it))
                break;
            i = close + 1;
        } else {
            // Unknown: keep "%NAME" and go on from the closing '%', which may open the next one.
            if (!append(text.mid(open, close - open)))
                break;
            i = close;
        }
    }
    return out;
}

const WindowsEnvironment& WindowsEnvironment::current()
{
    struct Cache {
        std::shared_ptr<RegistryStore> store;
        std::uint64_t generation = 0;
        std::size_t processHash = 0;
        std::optional<WindowsEnvironment> environment;
    };
    static Cache cache;
    std::shared_ptr<RegistryStore> store = RegistryStore::current();
    store->refresh();
    const std::uint64_t generation = store->generation();
    const std::size_t processHash = processEnvironmentHash();
    if (!cache.environment || cache.store != store || cache.generation != generation || cache.processHash != processHash) {
        cache.environment.emplace(*store);
        cache.store = store;
        cache.generation = generation;
        cache.processHash = processHash;
    }
    return *cache.environment;
}

namespace WinApi {

DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize)
{
    const QString source = lpSrc ? AnsiCodePage::decode(std::string_view(lpSrc)) : QString();
    const QByteArray expanded = AnsiCodePage::encode(WindowsEnvironment::current().expand(source));
    const DWORD needed = static_cast<DWORD>(expanded.size()) + 1;
    if (lpDst && nSize >= needed) {
        std::memcpy(lpDst, expanded.constData(), static_cast<std::size_t>(expanded.size()));
        lpDst[expanded.size()] = '\0';
    }
    return needed;
}

}

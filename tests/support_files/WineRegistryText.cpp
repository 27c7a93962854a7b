#include "support_files/WineRegistryText.h"

#include "platform/registry/RegistryText.h"
#include "support_files/TempPrefix.h"

#include <QFile>
#include <QtEndian>
#include <stdexcept>

WineRegistryText::WineRegistryText(Hive hive, bool win64)
    : hive_(hive)
{
    text_ = "WINE REGISTRY Version 2\n";
    text_ += hive == Hive::Machine ? ";; All keys relative to \\\\Machine\n" : ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n";
    text_ += win64 ? "\n#arch=win64\n" : "\n#arch=win32\n";
}

WineRegistryText& WineRegistryText::key(const QString& path)
{
    text_ += "\n[";
    RegistryText::appendKeyPath(text_, path);
    text_ += "] 1700000000\n#time=1da1d5d2b1c4e00\n";
    return *this;
}

WineRegistryText& WineRegistryText::value(const QString& name, const QString& text)
{
    RegistryText::appendValue(text_, name, RegistryText::REG_SZ, RegistryText::utf16Data(text), "\n");
    return *this;
}

WineRegistryText& WineRegistryText::expandValue(const QString& name, const QString& text)
{
    RegistryText::appendValue(text_, name, RegistryText::REG_EXPAND_SZ, RegistryText::utf16Data(text), "\n");
    return *this;
}

WineRegistryText& WineRegistryText::dword(const QString& name, std::uint32_t number)
{
    QByteArray data(4, '\0');
    qToLittleEndian(number, data.data());
    RegistryText::appendValue(text_, name, RegistryText::REG_DWORD, data, "\n");
    return *this;
}

WineRegistryText& WineRegistryText::binary(const QString& name, const QByteArray& bytes, std::uint32_t type)
{
    RegistryText::appendValue(text_, name, type, bytes, "\n");
    return *this;
}

WineRegistryText& WineRegistryText::line(const QByteArray& raw)
{
    text_ += raw + '\n';
    return *this;
}

WineRegistryText& WineRegistryText::typeLib(const QString& guid, const QString& version, const QString& locale,
                                            const QString& win32Path, const QString& description)
{
    const QString base = QStringLiteral("Software\\Classes\\Typelib\\") + guid + u'\\' + version;
    key(base).value(QString(), description);
    key(base + u'\\' + locale + QStringLiteral("\\win32")).value(QString(), win32Path);
    key(base + QStringLiteral("\\FLAGS")).value(QString(), QStringLiteral("0"));
    const qsizetype slash = win32Path.lastIndexOf(u'\\');
    key(base + QStringLiteral("\\HELPDIR")).value(QString(), slash > 0 ? win32Path.left(slash) : QString());
    return *this;
}

WineRegistryText& WineRegistryText::typeLib64(const QString& guid, const QString& version, const QString& locale,
                                              const QString& win64Path, const QString& description)
{
    const QString base = QStringLiteral("Software\\Classes\\Typelib\\") + guid + u'\\' + version;
    key(base).value(QString(), description);
    key(base + u'\\' + locale + QStringLiteral("\\win64")).value(QString(), win64Path);
    return *this;
}

void WineRegistryText::writeTo(const TempPrefix& prefix) const
{
    QFile file(prefix.root() + (hive_ == Hive::Machine ? QStringLiteral("/system.reg") : QStringLiteral("/user.reg")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text_) != text_.size())
        throw std::runtime_error("cannot write a registry file");
}

#include "platform/typelib/TypeLibService.h"
#include "support_files/FixtureLibraries.h"
#include "support_files/TempPrefix.h"

#include <QFile>
#include <QMap>
#include <gtest/gtest.h>

namespace {

// facturacion.tlb is 1.0, inventario.tlb 2.5, nominas.tlb 1.10.
const QString kBilling = FixtureLibraries::Facturacion;
const QString kStock = FixtureLibraries::Inventario;
const QString kPayroll = FixtureLibraries::Nominas;

// Registrations held in memory, keys compared ignoring case as the registry compares them.
class MemoryRegistrations : public TypeLibRegistrations {
public:
    // Adds the key at `path` (and the keys above it) with a default value.
    void set(const QString& path, const QString& value)
    {
        add(path);
        values_[path.toLower()] = value;
    }
    void add(const QString& path)
    {
        const QStringList parts = path.split(u'\\');
        QString parent;
        for (const QString& part : parts) {
            QStringList& children = subkeys_[parent.toLower()];
            if (!std::any_of(children.begin(), children.end(),
                             [&](const QString& c) { return c.compare(part, Qt::CaseInsensitive) == 0; }))
                children.append(part);
            parent = parent.isEmpty() ? part : parent + u'\\' + part;
        }
    }
    QStringList subkeys(const QString& hkcrPath) const override { return subkeys_.value(hkcrPath.toLower()); }
    std::optional<QString> defaultValue(const QString& hkcrPath) const override
    {
        const auto it = values_.find(hkcrPath.toLower());
        if (it == values_.end())
            return std::nullopt;
        return *it;
    }

private:
    QMap<QString, QStringList> subkeys_;
    QMap<QString, QString> values_;
};

struct ServiceTest : ::testing::Test {
    TempPrefix prefix;
    MemoryRegistrations registry;
    TypeLibService service{registry};

    void SetUp() override
    {
        for (const char* name : {"facturacion.tlb", "inventario.tlb", "nominas.tlb", "facturacion32.dll"})
            prefix.writeFile(QStringLiteral("lib/") + QLatin1String(name), FixtureLibraries::Bytes(QLatin1String(name)));
    }
    void registerFile(const QString& guid, const QString& version, const QString& locale, const QString& path)
    {
        registry.set(QStringLiteral("TypeLib\\") + guid + u'\\' + version + u'\\' + locale + QStringLiteral("\\win32"), path);
    }
    QString chosen(const QString& guid, std::uint16_t major, std::uint16_t minor, std::uint32_t lcid = 0)
    {
        return service.registeredPath(guid, major, minor, lcid).value_or(QStringLiteral("(none)"));
    }
};

}

TEST_F(ServiceTest, LoadsTheRegisteredFileAndReportsItsPath)
{
    registry.set(QStringLiteral("Typelib\\") + kBilling.toLower() + QStringLiteral("\\1.0"), QStringLiteral("FacturacionLib"));
    registerFile(kBilling.toLower(), QStringLiteral("1.0"), QStringLiteral("0"), QStringLiteral("C:\\lib\\facturacion.tlb"));
    registry.add(QStringLiteral("TypeLib\\") + kBilling + QStringLiteral("\\FLAGS"));

    const auto info = service.loadRegistered(kBilling, 1, 0, 0);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->guid, kBilling);
    EXPECT_EQ(info->helpString, QStringLiteral("Biblioteca de facturación"));
    EXPECT_EQ(info->containingFile, QStringLiteral("C:\\lib\\facturacion.tlb"));
    EXPECT_TRUE(service.loadRegistered(QStringLiteral("{3f2a9c10-5b7e-4d21-9a6c-0e8b1f4d7a21}"), 1, 0, 0))
        << "the GUID asked for may be in lower case";
    EXPECT_FALSE(service.loadRegistered(QStringLiteral("3F2A9C10-5B7E-4D21-9A6C-0E8B1F4D7A21"), 1, 0, 0));
    EXPECT_FALSE(service.loadRegistered(QStringLiteral("{3F2A9C10-5B7E-4D21-9A6C-0E8B1F4D7A2G}"), 1, 0, 0));
    EXPECT_FALSE(service.loadRegistered(kStock, 2, 5, 0)) << "not registered";
}

TEST_F(ServiceTest, VersionKeysAreHexAndAHigherMinorOfTheSameMajorStands)
{
    for (const char* version : {"1.2", "1.a", "1.5", "2.0", "junk", "1", "1.x", "-1.3"})
        registerFile(kPayroll, QLatin1String(version), QStringLiteral("0"), QStringLiteral("C:\\v") + QLatin1String(version));

    EXPECT_EQ(chosen(kPayroll, 1, 2), QStringLiteral("C:\\v1.2")) << "the exact version first";
    EXPECT_EQ(chosen(kPayroll, 1, 10), QStringLiteral("C:\\v1.a")) << "1.10 is registered as 1.a";
    EXPECT_EQ(chosen(kPayroll, 1, 3), QStringLiteral("C:\\v1.a")) << "the highest minor above the one asked";
    EXPECT_EQ(chosen(kPayroll, 1, 0), QStringLiteral("C:\\v1.a"));
    EXPECT_EQ(chosen(kPayroll, 1, 11), QStringLiteral("(none)")) << "never a lower minor";
    EXPECT_EQ(chosen(kPayroll, 3, 0), QStringLiteral("(none)")) << "never another major";
    EXPECT_EQ(chosen(kPayroll, 2, 0), QStringLiteral("C:\\v2.0"));
    EXPECT_EQ(chosen(kPayroll, 0xffff, 0xffff), QStringLiteral("C:\\v2.0")) << "the highest version of all";

    registerFile(kStock, QStringLiteral("1.10"), QStringLiteral("0"), QStringLiteral("C:\\sixteen"));
    EXPECT_EQ(chosen(kStock, 1, 16), QStringLiteral("C:\\sixteen")) << "a key written 1.10 means minor sixteen";
}

TEST_F(ServiceTest, LocaleFallsBackToItsPrimaryLanguageThenToNeutral)
{
    registerFile(kPayroll, QStringLiteral("1.a"), QStringLiteral("c0a"), QStringLiteral("C:\\modern-sort"));
    registerFile(kPayroll, QStringLiteral("1.a"), QStringLiteral("a"), QStringLiteral("C:\\spanish"));
    registerFile(kPayroll, QStringLiteral("1.a"), QStringLiteral("0"), QStringLiteral("C:\\neutral"));
    registerFile(kStock, QStringLiteral("2.5"), QStringLiteral("409"), QStringLiteral("C:\\english-only"));

    EXPECT_EQ(chosen(kPayroll, 1, 10, 0x0c0a), QStringLiteral("C:\\modern-sort"));
    EXPECT_EQ(chosen(kPayroll, 1, 10, 0x040a), QStringLiteral("C:\\spanish"));
    EXPECT_EQ(chosen(kPayroll, 1, 10, 0x0409), QStringLiteral("C:\\neutral"));
    EXPECT_EQ(chosen(kPayroll, 1, 10, 0), QStringLiteral("C:\\neutral"));
    EXPECT_EQ(chosen(kStock, 2, 5, 0), QStringLiteral("(none)")) << "locale 0 has no fallback";
    EXPECT_EQ(chosen(kStock, 2, 5, 0x0409), QStringLiteral("C:\\english-only"));
    EXPECT_EQ(chosen(kStock, 2, 5, 0x0809), QStringLiteral("(none)"));
}

TEST_F(ServiceTest, AWin64OnlyRegistrationIsNoFileForA32BitProgramButSaysWhy)
{
    using Missing = TypeLibService::Missing;
    // As a prefix made without Wine's 32-bit half registers stdole: win64 only.
    registry.set(QStringLiteral("TypeLib\\") + kBilling + QStringLiteral("\\1.0\\0\\win64"), QStringLiteral("C:\\lib\\facturacion.tlb"));
    EXPECT_EQ(chosen(kBilling, 1, 0), QStringLiteral("(none)")) << "a 32-bit program takes no win64 file";
    EXPECT_FALSE(service.loadRegistered(kBilling, 1, 0, 0));
    EXPECT_EQ(service.missingRegistration(kBilling, 1, 0, 0), Missing::Win64Only);
    EXPECT_EQ(service.missingRegistration(kBilling, 1, 0, 0x0409), Missing::Win64Only)
        << "found through the locale's fallback to neutral";
    EXPECT_EQ(service.missingRegistration(kBilling, 2, 0, 0), Missing::Version) << "the version fails first";

    // Locale 409 has win64 only, but locale 0 (what the load asks) has nothing: the locale is missing.
    registry.set(QStringLiteral("TypeLib\\") + kStock + QStringLiteral("\\2.5\\409\\win64"), QStringLiteral("C:\\x"));
    EXPECT_EQ(service.missingRegistration(kStock, 2, 5, 0), Missing::Locale);

    // Both halves registered: the win32 file is taken, as in a prefix with Wine's 32-bit half.
    registerFile(kBilling, QStringLiteral("1.0"), QStringLiteral("0"), QStringLiteral("C:\\lib\\facturacion.tlb"));
    EXPECT_EQ(service.missingRegistration(kBilling, 1, 0, 0), Missing::Nothing);
    EXPECT_TRUE(service.loadRegistered(kBilling, 1, 0, 0));
}

TEST_F(ServiceTest, TheRegisteredFileMustExistAndHoldAFittingVersion)
{
    registerFile(kBilling, QStringLiteral("1.0"), QStringLiteral("0"), QStringLiteral("C:\\lib\\gone.tlb"));
    registerFile(kStock, QStringLiteral("2.0"), QStringLiteral("0"), QStringLiteral("C:\\lib\\inventario.tlb"));
    registerFile(kStock, QStringLiteral("3.0"), QStringLiteral("0"), QStringLiteral("C:\\lib\\inventario.tlb"));
    registerFile(kPayroll, QStringLiteral("1.a"), QStringLiteral("0"), QString());

    QString error;
    EXPECT_FALSE(service.loadRegistered(kBilling, 1, 0, 0, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(service.loadRegistered(kStock, 2, 0, 0)) << "the file's 2.5 fits a request for 2.0";
    EXPECT_FALSE(service.loadRegistered(kStock, 3, 0, 0)) << "the file's 2.5 does not fit 3.0";
    EXPECT_FALSE(service.loadRegistered(kPayroll, 1, 10, 0)) << "an empty registered path";
}

TEST_F(ServiceTest, ARegisteredResourceFormIsLoadedAndReportedAsRegistered)
{
    registerFile(kStock, QStringLiteral("2.5"), QStringLiteral("0"), QStringLiteral("C:\\lib\\facturacion32.dll\\2"));
    const auto info = service.loadRegistered(kStock, 2, 5, 0);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->helpString, QStringLiteral("Inventory control library"));
    EXPECT_EQ(info->containingFile, QStringLiteral("C:\\lib\\facturacion32.dll\\2"));

    const auto fromFile = service.loadFromFile(QStringLiteral("C:\\lib\\nominas.tlb"));
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->guid, kPayroll);
}

namespace {

// Registrations that count how often a key's subkeys are listed.
class CountingRegistrations : public MemoryRegistrations {
public:
    QStringList subkeys(const QString& hkcrPath) const override
    {
        ++listings;
        return MemoryRegistrations::subkeys(hkcrPath);
    }
    mutable int listings = 0;
};

}

TEST(TypeLibVersionIndex, ChoosesAsTheScanDoesAndListsEachLibraryOnce)
{
    CountingRegistrations registry;
    const QString library = QStringLiteral("TypeLib\\") + kBilling + u'\\';
    // Spellings of one version, hex minors, majors side by side, names that are no version.
    const QStringList keys = {"1.00", "1.0", "1.a", "1.A0", "1.9", "0x1.0xb", "2.0", "1.a ", "FLAGS", "1.", " 3.1",
                              "3.1x", "3.2", "3.02", "ffff.1", "1.ffff", "-0.1"};
    for (const QString& key : keys)
        registry.set(library + key + QStringLiteral("\\0\\win32"), QStringLiteral("c:\\lib\\") + key);
    const TypeLibService service(registry);

    TypeLibVersionIndex index;
    int asked = 0;
    for (std::uint16_t major : {0, 1, 2, 3, 4, 0xffff})
        for (std::uint16_t minor : {0, 1, 2, 9, 0xa, 0xb, 0xc, 0xa0, 0xfffe, 0xffff}) {
            const auto scanned = service.registeredPath(kBilling, major, minor, 0);
            const auto indexed = service.registeredPath(kBilling, major, minor, 0, &index);
            EXPECT_EQ(scanned, indexed) << major << '.' << minor;
            ++asked;
        }
    // The exact version where it is registered, else the highest minor above it; keys read as the
    // system reads hex numbers (a leading blank, a sign or "0x" taken).
    const std::pair<std::pair<int, int>, const char*> chosen[] = {
        {{0, 0}, "-0.1"},     {{0, 1}, "-0.1"},     {{1, 0}, "1.0"},      {{1, 1}, "1.ffff"}, {{1, 9}, "1.9"},
        {{1, 0xa}, "1.a"},    {{1, 0xb}, "0x1.0xb"}, {{1, 0xc}, "1.ffff"}, {{1, 0xa0}, "1.A0"}, {{1, 0xffff}, "1.ffff"},
        {{2, 0}, "2.0"},      {{2, 1}, nullptr},    {{3, 0}, "3.2"},      {{3, 1}, " 3.1"},   {{3, 2}, "3.2"},
        {{3, 9}, nullptr},    {{4, 0}, nullptr},    {{0xffff, 0}, "ffff.1"}, {{0xffff, 0xffff}, "ffff.1"},
    };
    for (const auto& [version, key] : chosen) {
        const auto path = service.registeredPath(kBilling, std::uint16_t(version.first), std::uint16_t(version.second), 0, &index);
        EXPECT_EQ(path, key ? std::optional<QString>(QStringLiteral("c:\\lib\\") + QString::fromLatin1(key)) : std::nullopt)
            << version.first << '.' << version.second;
    }
    EXPECT_EQ(service.registeredPath(kBilling, 1, 0, 0, &index), QStringLiteral("c:\\lib\\1.0"))
        << "the spelling the system writes wins among names of one version";
    EXPECT_EQ(service.registeredPath(kBilling, 0xffff, 0xffff, 0, &index), QStringLiteral("c:\\lib\\ffff.1"));

    registry.listings = 0;
    TypeLibVersionIndex fresh;
    for (int minor = 0; minor < 50; ++minor)
        service.registeredPath(kBilling, 1, std::uint16_t(minor), 0, &fresh);
    EXPECT_EQ(registry.listings, 1) << "a library's versions are listed once per index";
    EXPECT_GT(asked, 0);
}

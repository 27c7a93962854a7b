// Loads project files that nobody here wrote (tests/corpus/real-world, with their sources) and
// checks the kinds, names and reference and component counts against expected.tsv, which an
// independent reader made.
#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/registry/RegistryStore.h"
#include "support_files/FileBytes.h"
#include "support_files/TempPrefix.h"
#include "support_files/TypeLibImages.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

// The GUID as a library stores it: Data1, Data2 and Data3 little-endian, then the other bytes.
QByteArray storedGuid(const QString& text)
{
    QByteArray bytes = QUuid::fromString(text).toRfc4122();
    std::reverse(bytes.begin(), bytes.begin() + 4);
    std::reverse(bytes.begin() + 4, bytes.begin() + 6);
    std::reverse(bytes.begin() + 6, bytes.begin() + 8);
    return bytes;
}

// Makes the prefix a machine where every library the corpus names is installed: for each
// GUID, version and locale written in a Reference= or Object= line, a library of that GUID and
// version registered under that key, as its setup would register it. Visual Basic writes the
// version and the locale in hex ("2.b", "1.12"), as the registry keys spell them.
void installEveryNamedLibrary(const TempPrefix& prefix, const QString& corpus, const QStringList& files)
{
    static const QRegularExpression named(
        QStringLiteral(R"((?:Reference=\*\\G|^Object=)(\{[0-9A-Fa-f-]{36}\})#([0-9A-Fa-f]+)\.([0-9A-Fa-f]+)#([0-9A-Fa-f]+)[#;])"));
    QSet<QString> keys;
    QByteArray registry = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n";
    int n = 0;
    for (const QString& name : files) {
        const QString text = QString::fromLatin1(readAll(corpus + u'/' + name));
        for (const QString& line : text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
            const QRegularExpressionMatch match = named.match(line);
            if (!match.hasMatch())
                continue;
            const QString key = match.captured(1).toUpper() + u'\\' + match.captured(2) + u'.' + match.captured(3) +
                                u'\\' + match.captured(4);
            if (keys.contains(key))
                continue;
            keys.insert(key);
            TypeLibImages::MsftShape shape;
            shape.guid = storedGuid(match.captured(1));
            shape.major = static_cast<std::uint16_t>(match.captured(2).toUInt(nullptr, 16));
            shape.minor = static_cast<std::uint16_t>(match.captured(3).toUInt(nullptr, 16));
            shape.helpString = "Biblioteca " + QByteArray::number(++n);
            prefix.writeFile(QStringLiteral("libs/%1.tlb").arg(n), TypeLibImages::MakeMsft(shape));
            registry += "[Software\\\\Classes\\\\TypeLib\\\\" + QString(key).replace(u'\\', "\\\\").toLatin1() +
                        "\\\\win32] 1700000000\n@=\"C:\\\\libs\\\\" + QByteArray::number(n) + ".tlb\"\n\n";
        }
    }
    prefix.writeFile(QStringLiteral("../system.reg"), registry);
    RegistryStore::resetCurrent();
}

// Lines that make a project use another project, as a reference (Reference=*\A...) or as a
// control (Object=*\A...): no library is registered for them, so they add no entry.
int projectReferences(const QString& path)
{
    return int(readAll(path).count("\nReference=*\\A"));
}
int projectComponents(const QString& path)
{
    return int(readAll(path).count("\nObject=*\\A"));
}

}

TEST(RealWorldCorpus, KindsNamesAndDependenciesMatchTheIndependentReading)
{
    const QString corpus = QStringLiteral(ZANTREL_SOURCE_DIR "/tests/corpus/real-world");
    QList<QStringList> expected;
    for (const QByteArray& line : readAll(corpus + QStringLiteral("/expected.tsv")).split('\n').mid(1))
        if (!line.isEmpty())
            expected.append(QString::fromUtf8(line).split(u'\t'));
    ASSERT_GE(expected.size(), 30);

    TempPrefix prefix;
    prefix.makeFolder(QStringLiteral("corpus"));
    for (const QStringList& row : expected)
        ASSERT_TRUE(QFile::copy(corpus + u'/' + row[0], prefix.hostPath(QStringLiteral("corpus/") + row[0])));

    QStringList files;
    for (const QStringList& row : expected)
        files.append(row[0]);
    installEveryNamedLibrary(prefix, corpus, files);

    ScriptedMessageBoxes messages;
    MemoryControls controls;
    Catalogue catalogue;
    controls.main.Dir1.SetPath(QStringLiteral("C:\\corpus\\"));
    CargaProyectos(catalogue, controls.main);

    ASSERT_EQ(catalogue.ProjectCount(), expected.size());
    int totalEntries = 0;
    for (int i = 1; i <= catalogue.ProjectCount(); ++i) {
        const ProjectEntry& project = catalogue.Projects[i];
        auto row = std::find_if(expected.begin(), expected.end(), [&](const QStringList& r) {
            return r[0] == project.FileName || QStringLiteral("C:\\corpus\\") + r[0] == project.FileName;
        });
        ASSERT_NE(row, expected.end()) << project.FileName.toStdString();
        EXPECT_EQ(QString::number(project.Kind), (*row)[1]) << (*row)[0].toStdString();
        EXPECT_EQ(project.Name, (*row)[2]) << (*row)[0].toStdString();
        EXPECT_EQ(controls.tree.Node(controls.tree.Find(QStringLiteral("k%1").arg(i))).text,
                  project.Name + QStringLiteral(" (") + project.FileName + u')');

        // Every reference line and every component line that names a library gives one entry.
        int references = 0, components = 0;
        for (std::size_t k = 1; k < project.Dependencies.size(); ++k) {
            references += project.Dependencies[k].Kind == DependencyKind::Reference;
            components += project.Dependencies[k].Kind == DependencyKind::Component;
            EXPECT_TRUE(project.Dependencies[k].FilePath.startsWith(QStringLiteral("C:\\libs\\")));
        }
        EXPECT_EQ(QString::number(references + projectReferences(corpus + u'/' + (*row)[0])), (*row)[3])
            << (*row)[0].toStdString();
        EXPECT_EQ(QString::number(components + projectComponents(corpus + u'/' + (*row)[0])), (*row)[4])
            << (*row)[0].toStdString();
        totalEntries += references + components;
    }
    EXPECT_GT(totalEntries, 100) << "the corpus's libraries were found";
    EXPECT_EQ(messages.shown().size(), std::count_if(expected.begin(), expected.end(), [](const QStringList& r) { return r[5] == u'1'; }));
}

// Loads project files that nobody here wrote (tests/corpus/real-world, with their sources) and
// checks the kinds and names against expected.tsv, which an independent reader made.
#include "catalogue/Catalogue.h"
#include "catalogue/FolderScan.h"
#include "platform/controls/MemoryControls.h"
#include "platform/desktop/MessageBoxes.h"
#include "support_files/TempPrefix.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(RealWorldCorpus, KindsAndNamesMatchTheIndependentReading)
{
    const QString corpus = QStringLiteral(ZANTREL_SOURCE_DIR "/tests/corpus/real-world");
    QFile expectedFile(corpus + QStringLiteral("/expected.tsv"));
    ASSERT_TRUE(expectedFile.open(QIODevice::ReadOnly));
    QList<QStringList> expected;
    for (const QByteArray& line : expectedFile.readAll().split('\n').mid(1))
        if (!line.isEmpty())
            expected.append(QString::fromUtf8(line).split(u'\t'));
    ASSERT_GE(expected.size(), 30);

    TempPrefix prefix;
    prefix.makeFolder(QStringLiteral("corpus"));
    for (const QStringList& row : expected)
        ASSERT_TRUE(QFile::copy(corpus + u'/' + row[0], prefix.hostPath(QStringLiteral("corpus/") + row[0])));

    ScriptedMessageBoxes messages;
    MemoryControls controls;
    Catalogue catalogue;
    controls.main.Dir1.SetPath(QStringLiteral("C:\\corpus\\"));
    CargaProyectos(catalogue, controls.main);

    ASSERT_EQ(catalogue.ProjectCount(), expected.size());
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
    }
    EXPECT_EQ(messages.shown().size(), std::count_if(expected.begin(), expected.end(), [](const QStringList& r) { return r[5] == u'1'; }));
}

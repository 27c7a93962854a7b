#include "platform/desktop/CommonDialogs.h"
#include "support_files/TempPrefix.h"
#include "support_files/TestApplication.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QChar Nul(0);
// The report window's three filters, as the save dialog receives them.
const QString ReportFilter = QString("Archivos de texto (*.TXT)") + Nul + "*.TXT" + Nul +
                             "Archivos de texto enriquecido (*.RTF)" + Nul + "*.RTF" + Nul +
                             "Todos los archivos (*.*)" + Nul + "*.*" + Nul + Nul;

// Shows the real save dialog, picks filter `filterRow` (0-based) as the user does in its list,
// types `typed` and confirms; returns the Windows path the dialog gave, or "" on cancel, and
// the number of the filter it reports as chosen in `filterIndex`.
QString saveAs(int filterRow, const QString& typed, const QString& initialDir, int* filterIndex = nullptr)
{
    TestApplication();
    QTimer::singleShot(0, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* candidate = qobject_cast<QFileDialog*>(widget); candidate && candidate->isVisible())
                dialog = candidate;
        ASSERT_NE(dialog, nullptr);
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_TRUE(types && name);
        types->setCurrentIndex(filterRow);
        emit types->activated(filterRow);
        emit types->textActivated(types->itemText(filterRow));
        name->setText(typed);
        static_cast<QDialog*>(dialog)->accept(); // as the dialog's Save button does
    });
    OpenFileNameRequest request;
    request.lpstrFilter = ReportFilter;
    request.nFilterIndex = 1;
    request.nMaxFile = 260;
    request.lpstrFile = QString(260, Nul);
    request.lpstrInitialDir = initialDir;
    request.lpstrTitle = "Guardar reporte como ...";
    request.lpstrDefExt = "TXT";
    request.Flags = 0x4;
    if (GetSaveFileNameA(request) != 1)
        return QString();
    if (filterIndex)
        *filterIndex = request.nFilterIndex;
    return request.lpstrFile.left(request.lpstrFile.indexOf(Nul));
}

}

TEST(SaveDialog, ANameTypedWithoutExtensionTakesTheSelectedFiltersExtension)
{
    TempPrefix prefix;
    prefix.makeFolder("informes");
    EXPECT_EQ(saveAs(0, "primero", "C:\\informes"), "C:\\informes\\primero.TXT");
    int chosen = 0;
    EXPECT_EQ(saveAs(1, "enriquecido", "C:\\informes", &chosen), "C:\\informes\\enriquecido.RTF")
        << "the rich-text filter gives rich text";
    EXPECT_EQ(chosen, 2) << "the filter chosen is reported back";
    EXPECT_EQ(saveAs(2, "todo", "C:\\informes"), "C:\\informes\\todo") << "all files adds nothing";
    EXPECT_EQ(saveAs(1, "dado.txt", "C:\\informes"), "C:\\informes\\dado.txt") << "a typed extension stays";
}

TEST(SaveDialog, TheDefaultExtensionFollowsTheFilter)
{
    EXPECT_EQ(DefaultExtensionFor(ReportFilter, 1, "TXT"), "TXT");
    EXPECT_EQ(DefaultExtensionFor(ReportFilter, 2, "TXT"), "RTF");
    EXPECT_EQ(DefaultExtensionFor(ReportFilter, 3, "TXT"), "");
    EXPECT_EQ(DefaultExtensionFor(ReportFilter, 2, ""), "") << "no default extension, nothing added";
    EXPECT_EQ(DefaultExtensionFor(ReportFilter, 9, "TXT"), "TXT");
    EXPECT_EQ(DefaultExtensionFor(QString("Doc") + Nul + "*.doc;*.rtf" + Nul + Nul, 1, "TXT"), "doc");
    EXPECT_EQ(DefaultExtensionFor(QString("Todo") + Nul + "*" + Nul + Nul, 1, "TXT"), "TXT");
}

TEST(FileFilters, AllFilesMatchesNamesWithoutAnExtensionAsOnWindows)
{
    const QStringList all = HostFilePatterns("*.*");
    EXPECT_TRUE(QDir::match(all, "LEEME"));
    EXPECT_TRUE(QDir::match(all, "informe.rtf"));
    const QStringList text = HostFilePatterns("*.TXT; *.Log");
    EXPECT_EQ(text, (QStringList{"*.TXT", "*.txt", "*.Log", "*.log", "*.LOG"}));
    EXPECT_FALSE(QDir::match(text, "LEEME"));
}

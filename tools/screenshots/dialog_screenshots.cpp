// Takes the pictures of Qt's own dialogs in Spanish for docs/: the export's Yes/No question as the
// window asks it, and the report's save dialog as the report window opens it.
//   dialog-screenshots OUTPUT_FOLDER     (QT_QPA_PLATFORM=offscreen or under Xvfb)
#include "platform/core/QtTranslations.h"
#include "platform/desktop/MessageBoxes.h"
#include "platform/desktop/QtMessageBoxes.h"
#include "support/GCommonDialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

// Saves the modal dialog on screen once it has been drawn, then closes it.
void grabNextDialog(const QString& file)
{
    QTimer::singleShot(600, [file] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            std::fprintf(stderr, "no dialog to grab for %s\n", qPrintable(file));
            QApplication::exit(1);
            return;
        }
        if (!dialog->grab().save(file))
            std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
        dialog->close();
    });
}

}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: dialog-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    if (!InstallQtSpanishTranslation(app)) {
        std::fprintf(stderr, "Qt's Spanish translation is not installed (qt6-translations-l10n)\n");
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QtMessageBoxes boxes;
    InstallMessageBoxAnswerer(&boxes);

    grabNextDialog(out.filePath(QStringLiteral("dialog-si-no.png")));
    ShowMessage(QStringLiteral("Confirma exportar información a excel."), MsgStyle::Question | MsgStyle::YesNo,
                QStringLiteral("Zantrel"));

    // A documents folder with a few earlier reports, as the save dialog of an installed program
    // shows it.
    QTemporaryDir home;
    const QString documents = home.filePath(QStringLiteral("Documentos"));
    QDir().mkpath(documents + QStringLiteral("/Proyectos VB6"));
    for (const char* name : {"dependencias.txt", "informe-resumen.txt", "informe-detallado.rtf"}) {
        QFile file(documents + u'/' + QString::fromLatin1(name));
        if (file.open(QIODevice::WriteOnly))
            file.write("Informe de Dependencias\r\n");
    }
    grabNextDialog(out.filePath(QStringLiteral("save-dialog.png")));
    GCommonDialog dialog;
    QString fileName, fileTitle;
    QString filter = QStringLiteral("Archivos de texto (*.TXT)|*.TXT|Archivos de texto enriquecido (*.RTF)|*.RTF|"
                                    "Todos los archivos (*.*)|*.*");
    int filterIndex = 1, flags = 0;
    dialog.VBGetSaveFileName(fileName, fileTitle, true, filter, filterIndex, QStringLiteral("Z:") + QDir::toNativeSeparators(documents).replace(u'/', u'\\'),
                             QStringLiteral("Guardar reporte como ..."), QStringLiteral("TXT"), 0, flags);
    return 0;
}

#include "platform/richtext/Printer.h"

#include "platform/core/ProgramError.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>

namespace Printer {

namespace {

[[noreturn]] void fail(const QString& why)
{
    throw ProgramError(PrinterError, QStringLiteral("Printer error: ") + why);
}

}

QString DefaultPrinterName()
{
    return QPrinterInfo::defaultPrinter().printerName();
}

void PrintDocument(const QTextDocument& document, const QString& jobName)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull() || info.printerName().isEmpty())
        fail(QStringLiteral("there is no default printer"));
    const QString lp = QStandardPaths::findExecutable(QStringLiteral("lp"));
    if (lp.isEmpty())
        fail(QStringLiteral("the print spooler (lp) is not installed"));

    QTemporaryDir folder;
    if (!folder.isValid())
        fail(QStringLiteral("no room for the print job"));
    const QString file = folder.filePath(QStringLiteral("job.pdf"));
    {
        QPrinter printer(info, QPrinter::HighResolution);
        const QPageLayout layout = printer.pageLayout();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setPageLayout(layout);
        printer.setDocName(jobName);
        printer.setCreator(QStringLiteral("Zantrel"));
        document.print(&printer);
        if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
            fail(QStringLiteral("the pages could not be rendered"));
    }

    QProcess spooler;
    spooler.setProcessChannelMode(QProcess::MergedChannels);
    spooler.start(lp, {QStringLiteral("-d"), info.printerName(), QStringLiteral("-t"), jobName, QStringLiteral("--"), file});
    if (!spooler.waitForStarted(10000))
        fail(QStringLiteral("the print spooler could not be started"));
    if (!spooler.waitForFinished(60000)) {
        spooler.kill();
        spooler.waitForFinished(5000);
        fail(QStringLiteral("the print spooler did not answer"));
    }
    if (spooler.exitStatus() != QProcess::NormalExit || spooler.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(spooler.readAll()).trimmed().section(u'\n', 0, 0);
        fail(said.isEmpty() ? QStringLiteral("the job was refused") : said);
    }
}

}

#pragma once

// The default printer, reached through the print spooler (CUPS).

#include <QString>

class QTextDocument;

// The default printer. Pages are laid out for the default printer's paper, rendered to a PDF
// file and handed to the print spooler (CUPS' lp) as one job, so a spooler that refuses the job
// is an error rather than a silent loss. On Windows the same calls would go to the printer's
// device context.
namespace Printer {

// The number of the errors below, as Windows programs know a printer failure.
constexpr int PrinterError = 482;

// Name of the default printer, or an empty string when the machine has none.
QString DefaultPrinterName();

// Prints `document` on the default printer as one job named `jobName`. Raises ProgramError 482
// when there is no default printer, when the pages cannot be rendered, or when the spooler is
// missing or refuses the job (the description says which). Nothing is left pending on failure.
void PrintDocument(const QTextDocument& document, const QString& jobName);

}

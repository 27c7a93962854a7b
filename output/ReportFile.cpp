#include "output/ReportFile.h"

#include "platform/richtext/RichTextBox.h"

#include <algorithm>

ReportFile ReportFileFor(const QString& chosenName)
{
    // Only the file's own name counts: a "." in a folder's name ("dir.d\informe") is no extension.
    const qsizetype cut = std::max(chosenName.lastIndexOf(u'\\'), chosenName.lastIndexOf(u'/'));
    if (!chosenName.mid(cut + 1).contains(u'.'))
        return {chosenName + QStringLiteral(".rtf"), RichTextFormat::rtfRTF};
    const bool rich = chosenName.right(3).toUpper() == QStringLiteral("RTF");
    return {chosenName, rich ? RichTextFormat::rtfRTF : RichTextFormat::rtfText};
}

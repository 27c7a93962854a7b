#include "output/ReportFile.h"

#include "platform/richtext/RichTextBox.h"

ReportFile ReportFileFor(const QString& chosenName)
{
    if (!chosenName.contains(u'.'))
        return {chosenName + QStringLiteral(".rtf"), RichTextFormat::rtfRTF};
    const bool rich = chosenName.right(3).toUpper() == QStringLiteral("RTF");
    return {chosenName, rich ? RichTextFormat::rtfRTF : RichTextFormat::rtfText};
}

#include "catalogue/Catalogue.h"
#include "platform/core/AnsiCodePage.h"
#include "output/ReportBuilder.h"
#include "platform/controls/MemoryControls.h"
#include "platform/files/HostNames.h"
#include "platform/richtext/RichTextBox.h"
#include "support_files/TestApplication.h"

#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <tuple>

namespace {

struct RecordedProgress : ReportProgress {
    QStringList projects;
    QList<double> values;
    bool closed = false;
    void SetProject(const QString& name) override { projects.append(name); }
    void SetValue(double value) override { values.append(value); }
    void Close() override { closed = true; }
};

// A catalogue and a tree as a load leaves them: root, then one node per project keyed k<i>.
struct LoadedFolder {
    Catalogue catalogue;
    MemoryTree tree;

    LoadedFolder() { tree.Add(QString(), "root", "Sistemas", 7); }
    int addProject(const QString& name, const QString& fileName, QList<DependencyEntry> dependencies = {})
    {
        const int i = catalogue.ProjectCount() + 1;
        catalogue.AppendProject(i);
        int counter = 1;
        for (const DependencyEntry& entry : dependencies)
            catalogue.AppendDependency(i, counter, entry);
        catalogue.SetProjectFields(i, fileName, ProjectKind::Exe, name);
        tree.Add("root", QStringLiteral("k%1").arg(i), name + " (" + fileName + ")", 7);
        return i;
    }
    void check(int project) { tree.SetChecked(tree.Find(QStringLiteral("k%1").arg(project)), true); }
};

DependencyEntry reference(const QString& path, const QString& description)
{
    DependencyEntry entry;
    entry.Kind = DependencyKind::Reference;
    entry.FilePath = path;
    entry.Description = description;
    entry.Guid = "{00020430-0000-0000-C000-000000000046}";
    entry.MajorVersion = 2;
    entry.MinorVersion = -1;
    entry.SizeKB = 1234;
    entry.FileDate = "05/03/2001 12:00:00";
    return entry;
}

const QString Title = "Informe de Dependencias\r\n\r\n";

}

TEST(ReportText, SummaryPadsNamesToColumnFortyAndLongerNamesRunOn)
{
    LoadedFolder folder;
    const QString forty(40, u'N');
    const QString longer(43, u'L');
    folder.check(folder.addProject("Facturas", "Facturas.vbp"));
    folder.check(folder.addProject(forty, "F.vbp"));
    folder.check(folder.addProject(longer, "L.vbp"));

    EXPECT_EQ(ReportText(ReportKind::Resumido, folder.tree, folder.catalogue, nullptr),
              Title + "Facturas" + QString(32, u' ') + " - Facturas.vbp\r\n" + forty + " - F.vbp\r\n" + longer +
                  " - L.vbp\r\n");
    EXPECT_EQ(ReportKindOf(7), ReportKind::Resumido) << "every Tipo but 0 is the summary";
    EXPECT_EQ(ReportKindOf(0), ReportKind::Detallado);
}

TEST(ReportText, DetailedBlockHasEightLinesPerDependencyAndEndsWithAnEmptyLine)
{
    LoadedFolder folder;
    folder.check(folder.addProject("Stock", "Stock.vbp", {reference("C:\\windows\\system32\\stdole2.tlb", "OLE Automation")}));
    folder.check(folder.addProject("Vacio", "Vacio.vbp"));

    EXPECT_EQ(ReportText(ReportKind::Detallado, folder.tree, folder.catalogue, nullptr),
              Title +
                  "Proyecto    : Stock - (Stock.vbp)\r\n"
                  "Archivo     : C:\\windows\\system32\\stdole2.tlb\r\n"
                  "Descripción : OLE Automation\r\n"
                  "GUID        : {00020430-0000-0000-C000-000000000046}\r\n"
                  "V. Mayor    : 2\r\n"
                  "V. Menor    : -1\r\n"
                  "Tamaño      : 1234 KB\r\n"
                  "Fecha       : 05/03/2001 12:00:00\r\n"
                  "\r\n"
                  "\r\n"
                  "Proyecto    : Vacio - (Vacio.vbp)\r\n"
                  "\r\n");
    for (const QString& label : DetailLabels())
        EXPECT_EQ(label.size(), 14) << label.toStdString();
}

TEST(ReportText, OnlyCheckedProjectNodesWhoseKeyNamesAProjectCount)
{
    LoadedFolder folder;
    folder.addProject("Facturas", "Facturas.vbp");
    folder.check(folder.addProject("Stock", "Stock.vbp"));
    folder.tree.SetChecked(folder.tree.Find("root"), true);
    // Checked nodes whose key names no project, and a checked leaf below a project.
    for (const char* key : {"k99", "k0", "k", "k2x", "k-1", "k+2"}) {
        folder.tree.Add("root", key, "Stock (Stock.vbp)", 7);
        folder.tree.SetChecked(folder.tree.Find(key), true);
    }
    folder.tree.Add("k2", "dll1", "Referencias (x)", 20);
    folder.tree.SetChecked(folder.tree.Find("dll1"), true);

    RecordedProgress progress;
    EXPECT_EQ(ReportText(ReportKind::Resumido, folder.tree, folder.catalogue, &progress),
              Title + "Stock" + QString(35, u' ') + " - Stock.vbp\r\n");
    EXPECT_EQ(progress.projects, QStringList({"Stock"}));
    EXPECT_EQ(progress.values, QList<double>({1})) << "a node without a project leaves the counter alone";
}

TEST(ReportText, ProjectsThatShareANameEachWriteTheirOwnLineOrBlockOnce)
{
    LoadedFolder folder;
    folder.check(folder.addProject("Project1", "uno.vbp", {reference("C:\\libs\\uno.dll", "Uno")}));
    folder.addProject("Project1", "dos.vbp", {reference("C:\\libs\\dos.dll", "Dos")});
    folder.check(folder.addProject("Project1", "tres.vbp", {reference("C:\\libs\\tres.dll", "Tres")}));
    folder.check(folder.addProject("Project1", "cuatro.vbp"));

    const QString pad(32, u' ');
    RecordedProgress summary;
    EXPECT_EQ(ReportText(ReportKind::Resumido, folder.tree, folder.catalogue, &summary),
              Title + "Project1" + pad + " - uno.vbp\r\n" + "Project1" + pad + " - tres.vbp\r\n" + "Project1" + pad +
                  " - cuatro.vbp\r\n");
    EXPECT_EQ(summary.values, QList<double>({1, 2, 3}));
    EXPECT_EQ(summary.projects, QStringList({"Project1", "Project1", "Project1"}));

    RecordedProgress detail;
    const auto block = [](const QString& library, const QString& description) {
        return "Archivo     : C:\\libs\\" + library + "\r\n"
               "Descripción : " + description + "\r\n"
               "GUID        : {00020430-0000-0000-C000-000000000046}\r\n"
               "V. Mayor    : 2\r\n"
               "V. Menor    : -1\r\n"
               "Tamaño      : 1234 KB\r\n"
               "Fecha       : 05/03/2001 12:00:00\r\n"
               "\r\n";
    };
    const QString detailed = ReportText(ReportKind::Detallado, folder.tree, folder.catalogue, &detail);
    EXPECT_EQ(detailed, Title +
                            "Proyecto    : Project1 - (uno.vbp)\r\n" + block("uno.dll", "Uno") + "\r\n" +
                            "Proyecto    : Project1 - (tres.vbp)\r\n" + block("tres.dll", "Tres") + "\r\n" +
                            "Proyecto    : Project1 - (cuatro.vbp)\r\n" + "\r\n");
    EXPECT_EQ(detailed.count("Archivo     : C:\\libs\\tres.dll"), 1);
    EXPECT_EQ(detailed.count("dos"), 0) << "the unchecked project of the same name is not written";
    EXPECT_EQ(detail.values, QList<double>({1, 2, 3})) << "the count never passes the number of checked nodes";
}

TEST(ReportText, NamesWithParenthesesOrNoNameAreWrittenAsTheyAre)
{
    LoadedFolder folder;
    folder.check(folder.addProject("Calc (v2)", "calc.vbp"));
    folder.check(folder.addProject("Calc", "otra.vbp"));
    folder.check(folder.addProject("", "C:\\tmp\\SinNombre.vbp")); // no Name line: the empty name
    folder.check(folder.addProject("(raro)", "raro.vbp"));

    RecordedProgress progress;
    EXPECT_EQ(ReportText(ReportKind::Resumido, folder.tree, folder.catalogue, &progress),
              Title + "Calc (v2)" + QString(31, u' ') + " - calc.vbp\r\n" + "Calc" + QString(36, u' ') +
                  " - otra.vbp\r\n" + QString(40, u' ') + " - C:\\tmp\\SinNombre.vbp\r\n" + "(raro)" +
                  QString(34, u' ') + " - raro.vbp\r\n");
    EXPECT_EQ(progress.projects, QStringList({"Calc (v2)", "Calc", "", "(raro)"}));
}

TEST(ReportText, FileNamesWithBytesThatAreNotTextShowThemEscaped)
{
    // As a folder listing holds them: each such byte kept apart from U+FFFD and from "\xFF" itself.
    const QString odd = HostNames::decode("C:\\tmp\\X\xffY.vbp");
    LoadedFolder folder;
    folder.check(folder.addProject("Raro", odd, {reference(HostNames::decode("C:\\lib\\b\xe9\xfe.dll"), "Lib")}));
    folder.check(folder.addProject("Real", "C:\\tmp\\X\uFFFDY.vbp"));

    const QString summary = ReportText(ReportKind::Resumido, folder.tree, folder.catalogue, nullptr);
    EXPECT_TRUE(summary.contains(" - C:\\tmp\\X\\xFFY.vbp\r\n")) << summary.toStdString();
    EXPECT_TRUE(summary.contains(" - C:\\tmp\\X\uFFFDY.vbp\r\n")) << summary.toStdString();
    const QString detail = ReportText(ReportKind::Detallado, folder.tree, folder.catalogue, nullptr);
    EXPECT_TRUE(detail.contains("Raro - (C:\\tmp\\X\\xFFY.vbp)")) << detail.toStdString();
    EXPECT_TRUE(detail.contains("C:\\lib\\b\\xE9\\xFE.dll\r\n")) << detail.toStdString();
    EXPECT_FALSE(HostNames::hasRawBytes(detail));
}

TEST(ResaltaTexto, StylesEveryOccurrenceAtOffsetsThatCountCrLfAsTwo)
{
    TestApplication();
    RichTextBox box;
    box.SetText("aaa\r\nxx aa\r\n\r\naa");
    ResaltaTexto(box, "aa", true, true);

    // "aaa" holds two overlapping finds (0 and 1), then 8 and 14.
    QList<std::pair<int, int>> styled;
    for (const TextRun& run : box.Runs())
        if (run.bold) {
            EXPECT_TRUE(run.underline && run.italic);
            styled.append({run.start, run.length});
        }
    EXPECT_EQ(styled, (QList<std::pair<int, int>>{{0, 3}, {8, 2}, {14, 2}}));
    EXPECT_EQ(box.SelLength(), 0);
    EXPECT_EQ(box.SelBold(), false) << "no insertion style is left behind";
}

namespace {

// The styling as the report was first styled: one selection per find, styled attribute by
// attribute, then emptied. The fast styling must leave exactly what this leaves.
void ResaltaTextoPasoAPaso(RichTextBox& control, const QString& text, bool underline, bool italic)
{
    const QString s = control.Text();
    qsizetype a = 1;
    while (a < s.size()) {
        const qsizetype found = s.indexOf(text, a - 1);
        if (found < 0)
            break;
        a = found + 2;
        control.SetSelStart(static_cast<int>(found));
        control.SetSelLength(static_cast<int>(text.size()));
        control.SetSelBold(true);
        control.SetSelUnderline(underline);
        control.SetSelItalic(italic);
        control.SetSelLength(0);
        control.SetSelBold(false);
        control.SetSelUnderline(false);
        control.SetSelItalic(false);
    }
}

// Everything a user or a saved file can see of a control.
struct Observed {
    QString text;
    QList<std::tuple<int, int, bool, bool, bool>> runs;
    int selStart, selLength;
    std::optional<bool> bold, underline, italic;
    QByteArray rtf;

    explicit Observed(const RichTextBox& box)
        : text(box.Text()), selStart(box.SelStart()), selLength(box.SelLength()), bold(box.SelBold()),
          underline(box.SelUnderline()), italic(box.SelItalic()), rtf(box.TextRTF())
    {
        for (const TextRun& run : box.Runs())
            runs.append({run.start, run.length, run.bold, run.underline, run.italic});
    }
    bool operator==(const Observed&) const = default;
};

void expectSameAsStepByStep(const QString& text, const QList<Highlight>& highlights)
{
    RichTextBox literal, fast, oneByOne;
    for (RichTextBox* box : {&literal, &fast, &oneByOne})
        box->SetText(text);
    for (const Highlight& h : highlights) {
        ResaltaTextoPasoAPaso(literal, h.text, h.underline, h.italic);
        ResaltaTexto(oneByOne, h.text, h.underline, h.italic);
    }
    ResaltaTextos(fast, highlights);
    const Observed expected(literal);
    EXPECT_TRUE(Observed(fast) == expected) << text.toStdString();
    EXPECT_TRUE(Observed(oneByOne) == expected) << text.toStdString();

    // Without a control: the same text, runs and saved bytes.
    const StyledText direct = StyleText(text, highlights);
    EXPECT_EQ(direct.text, expected.text);
    QList<std::tuple<int, int, bool, bool, bool>> runs;
    for (const TextRun& run : direct.runs)
        runs.append({run.start, run.length, run.bold, run.underline, run.italic});
    EXPECT_EQ(runs, expected.runs) << text.toStdString();
    EXPECT_EQ(direct.rtf(), expected.rtf);
    EXPECT_EQ(direct.ansi(), AnsiCodePage::encode(expected.text));
}

}

TEST(ResaltaTexto, FastStylingLeavesWhatTheStepByStepSelectionLeaves)
{
    TestApplication();
    // Overlapping finds of one string, adjacent finds, finds across and next to line breaks, a
    // find that ends the text, a one-character text (the search never starts), no find.
    expectSameAsStepByStep("aaaa\r\nabab ab\r\n\r\naa", {{"aa", true, true}, {"ab", false, false}});
    expectSameAsStepByStep("x\r\ny\r\nx\r\ny", {{"\r\ny", false, true}, {"\n", true, false}, {"\r", false, false}});
    expectSameAsStepByStep("a", {{"a", true, false}});
    expectSameAsStepByStep("zzz", {{"q", true, true}});
    // Later strings restyle what earlier ones styled: a title over a label and the other way.
    expectSameAsStepByStep("Informe : Informe\r\nGUID : Informe : x",
                           {{"Informe", true, false}, {"e : I", false, true}, {"GUID : ", false, false}});

    // Random texts over a small alphabet, where finds overlap, touch and cross line breaks often.
    std::mt19937 random(12);
    // Lone CR and LF, a paragraph separator and a frame mark, which the control reads its own way.
    const QStringList pieces{"a", "b", "ab", "\r\n", " ", "ó", "\r", "\n", QString(QChar(0x2029)), QString(QChar(0xFDD0))};
    auto pick = [&](int count) {
        QString s;
        for (int i = 0; i < count; ++i)
            s += pieces[static_cast<int>(random() % pieces.size())];
        return s;
    };
    for (int round = 0; round < 200; ++round) {
        const QString text = pick(static_cast<int>(random() % 40));
        QList<Highlight> highlights;
        for (int h = 0, n = 1 + static_cast<int>(random() % 3); h < n; ++h)
            highlights.append({pick(1 + static_cast<int>(random() % 3)), random() % 2 == 0, random() % 2 == 0});
        expectSameAsStepByStep(text, highlights);
    }
}

TEST(StyledReport, IsWhatTheReportWindowsControlHoldsAndSaves)
{
    TestApplication();
    LoadedFolder folder;
    folder.check(folder.addProject("Stock", "Stock.vbp", {reference("C:\\a.dll", "GUID        : copia"),
                                                           reference("C:\\b.dll", "Línea\nrota")}));
    folder.check(folder.addProject("Caja", "Caja.vbp"));
    for (ReportKind tipo : {ReportKind::Detallado, ReportKind::Resumido}) {
        MemoryStatusBar status;
        RichTextBox txt;
        BuildReport(tipo, folder.tree, folder.catalogue, status, nullptr, txt);
        RecordedProgress progress;
        const StyledText direct = StyledReport(tipo, folder.tree, folder.catalogue, &progress);
        EXPECT_TRUE(progress.closed);
        EXPECT_EQ(direct.text, txt.Text());
        EXPECT_EQ(direct.rtf(), txt.TextRTF());
        EXPECT_EQ(direct.ansi(), AnsiCodePage::encode(txt.Text()));
    }
}

TEST(BuildReport, StylesTheTitleAndTheLabelsAndTellsTheStatusBar)
{
    TestApplication();
    LoadedFolder folder;
    // A description that holds a label is styled there too.
    folder.check(folder.addProject("Stock", "Stock.vbp", {reference("C:\\a.dll", "GUID        : copia")}));
    MemoryStatusBar status;
    QStringList said;
    status.Changed = [&said](int panel, const QString& text) { if (panel == 1) said.append(text); };
    RecordedProgress progress;
    RichTextBox txt;

    BuildReport(ReportKind::Detallado, folder.tree, folder.catalogue, status, &progress, txt);
    EXPECT_EQ(said, QStringList({"Imprimiendo proyectos ...", "Dando formato al informe ...", "Listo!"}));
    EXPECT_TRUE(progress.closed);

    const QString text = txt.Text();
    auto styleAt = [&txt](int offset) {
        for (const TextRun& run : txt.Runs())
            if (offset >= run.start && offset < run.start + run.length)
                return std::make_pair(run.bold, run.underline);
        return std::make_pair(false, false);
    };
    EXPECT_EQ(styleAt(0), std::make_pair(true, true));
    EXPECT_EQ(styleAt(22), std::make_pair(true, true));
    EXPECT_EQ(styleAt(23), std::make_pair(false, false));
    for (const QString& label : DetailLabels()) {
        const int at = static_cast<int>(text.indexOf(label));
        EXPECT_EQ(styleAt(at), std::make_pair(true, false)) << label.toStdString();
        EXPECT_EQ(styleAt(at + 13), std::make_pair(true, false)) << label.toStdString();
        if (label != DetailLabels()[2]) { // the description after it holds a label itself
            EXPECT_EQ(styleAt(at + 14).first, false) << label.toStdString();
        }
    }
    const int copy = static_cast<int>(text.indexOf("Descripción : ") + 14);
    EXPECT_EQ(styleAt(copy), std::make_pair(true, false));

    RichTextBox summary;
    BuildReport(ReportKind::Resumido, folder.tree, folder.catalogue, status, nullptr, summary);
    int boldRuns = 0;
    for (const TextRun& run : summary.Runs())
        boldRuns += run.bold;
    EXPECT_EQ(boldRuns, 1) << "the summary styles only its title";
}

#include "cli/CommandLine.h"
#include "support_files/TempPrefix.h"

#include <gtest/gtest.h>

namespace {

struct Reading {
    int status = 0;
    CommandLine line;
    QByteArray out, err;
};

Reading read(const QStringList& args)
{
    Reading reading;
    reading.status = ReadCommandLine(args, reading.line, reading.out, reading.err);
    return reading;
}

}

TEST(CliArguments, ValuesMayBeJoinedOrFollowAndOptionsGoAnywhere)
{
    for (const QStringList& args : {QStringList{"catalogue", "--format=json", "c:\\src"},
                                    QStringList{"catalogue", "--format", "json", "c:\\src"},
                                    QStringList{"--format", "json", "-r", "catalogue", "c:\\src"},
                                    QStringList{"catalogue", "c:\\src", "--recursive", "--format=json"}}) {
        const Reading r = read(args);
        ASSERT_EQ(r.status, -1) << args.join(' ').toStdString() << r.err.constData();
        EXPECT_EQ(r.line.verb, Verb::Catalogue);
        EXPECT_EQ(r.line.folder, "c:\\src");
        EXPECT_EQ(r.line.inventory.format, OutputFormat::Json);
        EXPECT_TRUE(r.line.inventory.formatGiven);
    }
    EXPECT_FALSE(read({"catalogue", "--format=csv"}).line.inventory.recursive);
    EXPECT_TRUE(read({"tree", "c:\\", "-r"}).line.inventory.recursive);

    // "--" ends the options: what follows is a folder or QUERY even when it starts with a dash.
    Reading dashed = read({"tree", "-r", "--", "-carpeta"});
    ASSERT_EQ(dashed.status, -1) << dashed.err.constData();
    EXPECT_EQ(dashed.line.folder, "-carpeta");
    dashed = read({"uses", "--format=csv", "--", "-raro.ocx", "--help"});
    ASSERT_EQ(dashed.status, -1) << dashed.err.constData();
    EXPECT_EQ(dashed.line.inventory.query, "-raro.ocx");
    EXPECT_EQ(dashed.line.folder, "--help");

    const Reading report = read({"report", "--project=Alfa", "c:\\tmp", "--summary", "--project", "Beta.vbp",
                                 "-o=c:\\tmp\\x.txt", "--print"});
    ASSERT_EQ(report.status, -1) << report.err.constData();
    EXPECT_EQ(report.line.report.projects, QStringList({"Alfa", "Beta.vbp"}));
    EXPECT_EQ(report.line.output, "c:\\tmp\\x.txt");
    EXPECT_EQ(report.line.report.kind, ReportKind::Resumido);
    EXPECT_TRUE(report.line.report.print);
    EXPECT_EQ(read({"report", "c:\\tmp", "--detailed", "-o", "x"}).line.report.kind, ReportKind::Detallado);

    const Reading exported = read({"export", "--format=xlsx", "-o", "-salida"});
    ASSERT_EQ(exported.status, -1) << exported.err.constData();
    EXPECT_EQ(exported.line.format, "xlsx");
    EXPECT_EQ(exported.line.output, "-salida") << "a value is taken whatever it starts with";

    const Reading drift = read({"drift", "--format=csv", "-r", "c:\\src"});
    ASSERT_EQ(drift.status, -1) << drift.err.constData();
    EXPECT_EQ(drift.line.verb, Verb::Drift);
    EXPECT_EQ(drift.line.inventory.format, OutputFormat::Csv);
    EXPECT_TRUE(drift.line.inventory.recursive);
    EXPECT_EQ(drift.line.inventory.csvFormulas, CsvFormulas::AsText) << "formulas are kept as text unless asked";
    EXPECT_EQ(read({"libraries", "--csv-raw", "--format", "csv"}).line.inventory.csvFormulas, CsvFormulas::Raw);

    // A folder named like a verb is a folder, after the verb.
    const Reading folderReport = read({"tree", "report"});
    ASSERT_EQ(folderReport.status, -1) << folderReport.err.constData();
    EXPECT_EQ(folderReport.line.verb, Verb::Tree);
    EXPECT_EQ(folderReport.line.folder, "report");
}

TEST(CliArguments, AMistakeIsOneLineNamingTheWrongWordAndWhereTheHelpIs)
{
    struct Case {
        QStringList args;
        const char* problem;
        const char* help;  // the verb whose help is pointed to; empty: the whole usage
    };
    const Case cases[] = {
        {{"frobnicate", "c:\\"}, "unknown verb 'frobnicate'", ""},
        {{}, "a verb is needed: tree, catalogue, missing, libraries, uses, graph, drift, closure, manifest, export, report", ""},
        {{"tree", "--bogus"}, "unknown option '--bogus'", "tree"},
        {{"-bogus=1", "missing"}, "unknown option '-bogus'", "missing"},
        {{"-rx", "tree"}, "unknown option '-rx'", "tree"},
        {{"catalogue", "--format", "xml"}, "--format needs one of tsv, csv and json, not 'xml'", "catalogue"},
        {{"drift", "--format=xlsx"}, "--format needs one of tsv, csv and json, not 'xlsx'", "drift"},
        {{"catalogue", "--format="}, "--format needs one of tsv, csv and json, not ''", "catalogue"},
        {{"export", "--format", "ods"}, "export's --format needs xls or xlsx, not 'ods'", "export"},
        {{"catalogue", "--format"}, "--format needs a value", "catalogue"},
        {{"report", "c:\\tmp", "--summary", "-o"}, "-o needs a value", "report"},
        {{"tree", "--recursive=yes"}, "--recursive takes no value, not 'yes'", "tree"},
        {{"export", "--format", "xls", "--format=xlsx"}, "--format is given twice: 'xls' and 'xlsx'", "export"},
        {{"tree", "--format", "csv"}, "--format does not go with tree", "tree"},
        {{"graph", "--format=json"}, "--format does not go with graph", "graph"},
        {{"tree", "-o", "c:\\tmp"}, "-o does not go with tree", "tree"},
        {{"libraries", "--print"}, "--print does not go with libraries", "libraries"},
        {{"missing", "a", "b"}, "one folder at most: unexpected 'b'", "missing"},
        {{"uses"}, "uses needs a GUID or a file name to look for", "uses"},
        {{"uses", ""}, "uses needs a GUID or a file name, not ''", "uses"},
        {{"export", "-o", ""}, "-o needs a file or folder name, not ''", "export"},
        {{"report", "c:\\tmp", "-o", "x"}, "report needs --detailed or --summary", "report"},
        {{"report", "c:\\tmp", "--summary", "--detailed", "-o", "x"}, "--detailed and --summary exclude each other",
         "report"},
        {{"report", "c:\\tmp", "--summary"}, "report needs -o FILE or --print", "report"},
        // The report names its folder; an empty word names none, for any verb.
        {{"report"}, "report needs a FOLDER", "report"},
        {{"report", "--summary", "-o", "x"}, "report needs a FOLDER", "report"},
        {{"catalogue", ""}, "FOLDER needs a folder name, not ''", "catalogue"},
        {{"tree", "--", ""}, "FOLDER needs a folder name, not ''", "tree"},
        {{"uses", "x.ocx", ""}, "FOLDER needs a folder name, not ''", "uses"},
        // --csv-raw goes with csv only.
        {{"catalogue", "--csv-raw"}, "--csv-raw goes with --format csv only", "catalogue"},
        {{"missing", "--format=json", "--csv-raw"}, "--csv-raw goes with --format csv only", "missing"},
        {{"tree", "--csv-raw"}, "--csv-raw does not go with tree", "tree"},
        // A word that holds line breaks or escapes stays on the one line, its controls written out.
        {{"tree\n\x1b[2J"}, "unknown verb 'tree\\n\\x1B[2J'", ""},
        // A value is not an option: "--x=1" here is -o's file, and the mistake is the last word.
        {{"export", "-o", "--x=1", "--format"}, "--format needs a value", "export"},
    };
    for (const Case& c : cases) {
        const Reading r = read(c.args);
        const QByteArray help = *c.help ? "zantrel-cli " + QByteArray(c.help) + " --help" : QByteArray("zantrel-cli --help");
        EXPECT_EQ(r.status, 2) << c.problem;
        EXPECT_EQ(r.err, "zantrel-cli: " + QByteArray(c.problem) + "\nTry '" + help + "'\n");
        EXPECT_TRUE(r.out.isEmpty()) << c.problem;
    }

    // The program itself: the line on standard error, nothing on standard output, status 2.
    TempPrefix prefix;
    QByteArray out, err;
    EXPECT_EQ(RunCli({"--format", "xml", "libraries", "c:\\"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(err, "zantrel-cli: --format needs one of tsv, csv and json, not 'xml'\n"
                   "Try 'zantrel-cli libraries --help'\n");
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(RunCli({"frobnicate"}, prefix.root(), &out, &err), 2);
    EXPECT_EQ(err, "zantrel-cli: unknown verb 'frobnicate'\nTry 'zantrel-cli --help'\n");
}

TEST(CliArguments, EachVerbHasItsOwnHelpOnStandardOutput)
{
    TempPrefix prefix;
    QByteArray out, err;
    ASSERT_EQ(RunCli({"missing", "--help"}, prefix.root(), &out, &err), 0);
    EXPECT_TRUE(err.isEmpty()) << err.constData();
    EXPECT_TRUE(out.startsWith("Usage: zantrel-cli missing [-r] [--deep [--arch x86|amd64]] [--format tsv|csv|json] [FOLDER]\n"))
        << out.constData();
    for (const char* word : {"not a type library", "--recursive", "--format", "Exit status: 0 when nothing is missing, 3"})
        EXPECT_TRUE(out.contains(word)) << word;
    for (const char* other : {"  catalogue  ", "  libraries  ", "--detailed"})
        EXPECT_FALSE(out.contains(other)) << other << " is another verb's";

    // Help is what was asked for, even among words that would be mistakes.
    ASSERT_EQ(RunCli({"-h", "report", "--bogus"}, prefix.root(), &out, &err), 0);
    EXPECT_TRUE(out.startsWith("Usage: zantrel-cli report ")) << out.constData();
    EXPECT_TRUE(out.contains("--project NAME"));
    ASSERT_EQ(RunCli({"--help"}, prefix.root(), &out, &err), 0);
    EXPECT_EQ(out, CommandLineUsage());

    // The whole usage holds every verb's own text, and a verb's help speaks of --format exactly
    // when the verb takes it.
    const QByteArray usage = CommandLineUsage();
    for (const QString& verb : CommandLineVerbs()) {
        const QByteArray own = VerbUsage(verb);
        const qsizetype start = own.indexOf("\n\n") + 2;
        const QByteArray text = own.mid(start, own.indexOf("\nFOLDER is") - start);
        EXPECT_TRUE(text.startsWith("  " + verb.toLatin1() + ' ')) << text.constData();
        EXPECT_TRUE(usage.contains(text)) << verb.toStdString();
        const bool takesFormat =
            read({verb, "x", "--format", "json"}).status == -1 || read({verb, "x", "--format", "xlsx"}).status == -1;
        EXPECT_EQ(own.contains("--format"), takesFormat) << verb.toStdString();
    }
    EXPECT_TRUE(VerbUsage("frobnicate").isEmpty());
    EXPECT_EQ(read({"frobnicate", "--help"}).status, 2) << "help of no verb is a mistake";
}

TEST(CliArguments, AFolderStartingWithADashAfterTheEndOfOptions)
{
    TempPrefix prefix;
    prefix.writeLines("-raro/a.vbp", {"Type=Exe", "Name=\"Alfa\""});
    QByteArray out, err;
    ASSERT_EQ(RunCli({"tree", "--", "-raro"}, prefix.root(), &out, &err, {"env", "-C", prefix.hostPath("")}), 0)
        << err.constData();
    EXPECT_EQ(out, "root\tSistemas\t7\n  k1\tAlfa (a.vbp)\t7\n");
    EXPECT_EQ(RunCli({"tree", "-raro"}, prefix.root(), &out, &err, {"env", "-C", prefix.hostPath("")}), 2);
    EXPECT_EQ(err, "zantrel-cli: unknown option '-raro'\nTry 'zantrel-cli tree --help'\n");
}

TEST(CliArguments, DriftIsReadLikeTheOtherInventoryVerbs)
{
    TempPrefix prefix;
    prefix.writeLines("tmp/a.vbp", {"Type=Exe", "Name=\"Alfa\""});
    QByteArray out, err;
    ASSERT_EQ(RunCli({"drift", "--format=csv", "c:\\tmp"}, prefix.root(), &out, &err), 0)
        << "one project agrees with itself" << err.constData();
    EXPECT_EQ(out, "guid,kind,version,file,projects\r\n");
    ASSERT_EQ(RunCli({"drift", "--help"}, prefix.root(), &out, &err), 0);
    EXPECT_TRUE(out.startsWith("Usage: zantrel-cli drift [-r] [--format tsv|csv|json] [FOLDER]\n"));
}

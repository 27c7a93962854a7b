#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The judges of what Zantrel writes and reads: programs that read its files without any of its
// code. xlrd (python3-xlrd) reads a workbook cell by cell; LibreOffice headless converts one to
// CSV; objdump and winedump read the imports of a PE image.
//
// A test that needs one calls REQUIRE_JUDGE: where the judge is missing the test is skipped,
// except under CI (CI=true), where a missing judge is a failure, so that a machine without
// them cannot pass by skipping.
#define REQUIRE_JUDGE(available, name)                                                          \
    do {                                                                                        \
        if (!(available)) {                                                                     \
            if (qEnvironmentVariableIsSet("CI"))                                                \
                FAIL() << name << " is not installed (tools/install-deps test installs it)";    \
            GTEST_SKIP() << name << " is not installed";                                        \
        }                                                                                       \
    } while (0)

struct XlsSheetReadBack {
    QString name;
    int nrows = 0;
    int ncols = 0;
    // rows[r][c]: the text of the cell, empty for an empty cell; types[r][c]: xlrd's cell type
    // (0 empty, 1 text, others for numbers, dates, booleans, errors, blanks).
    QList<QStringList> rows;
    QList<QList<int>> types;
};

struct XlsReadBack {
    bool ok = false;
    QString error;       // why the reader failed, with its output
    QString log;         // what xlrd reported about the file; empty when it found nothing odd
    QList<XlsSheetReadBack> sheets;
    QList<QList<qint64>> dimensions; // each sheet's DIMENSIONS record: rwMic, rwMac, colMic, colMac
    qint64 streamSize = 0;
};

bool HaveXlrd();
bool HaveLibreOffice();

// Reads the workbook at `hostPath` with xlrd.
XlsReadBack ReadXls(const QString& hostPath);

// Size and SHA-256 (hex) of the Workbook stream that xlrd finds in the compound document at
// `hostPath`; false with `error` set when it finds none.
bool ReadXlsStream(const QString& hostPath, qint64* size, QString* sha256, QString* error);

// The first sheet of the workbook at `hostPath` as LibreOffice converts it to CSV (UTF-8,
// comma, double quotes), one list of fields per line; false with `error` set (the program's
// output) when the conversion fails.
bool LibreOfficeCsv(const QString& hostPath, QList<QStringList>* rows, QString* error);

// What openpyxl (python3-openpyxl) reads in an .xlsx workbook: per sheet its name, row count and
// each cell's kind ("empty", "text", "number", "date"), value (a date in ISO form) and number format.
struct XlsxCell {
    QString kind;
    QString text;     // the text, the number as openpyxl prints it, or the ISO date
    double number = 0;
    QString format;
};
struct XlsxSheetReadBack {
    QString name;
    int maxRow = 0;
    QList<QList<XlsxCell>> rows;
    QStringList lastRow; // with `countOnly`: the last row's values as text
};
struct XlsxReadBack {
    bool ok = false;
    QString error;
    QList<XlsxSheetReadBack> sheets;
};

bool HaveOpenpyxl();

// Reads the workbook at `hostPath` with openpyxl; with `countOnly`, only the sheets' names, row
// counts and last rows (for large sheets).
XlsxReadBack ReadXlsx(const QString& hostPath, bool countOnly = false);

// What the judges read in a PE image: objdump (binutils-mingw-w64) its file format
// ("pei-i386", "pei-x86-64"), whether it is a DLL and the DLL names of its import directory;
// winedump (wine64-tools) the DLL names of its delay-load directory, which objdump does not read.
struct PeImportsReadBack {
    bool ok = false;
    QString error; // why a judge failed, with its output
    QString format;
    bool dll = false;
    QStringList imports;
    QStringList delayImports;
};

bool HaveObjdumpForPe();
bool HaveWinedump();

// Reads the image at `hostPath` with both judges.
PeImportsReadBack ReadPeImportsWithJudges(const QString& hostPath);

// hivex's own tools: hivexregedit (libwin-hivex-perl) writes .reg text into a registry hive file,
// hivexsh (libhivex-bin) reads one.
bool HaveHivexregedit();
bool HaveHivexsh();

// Merges `regText` (a Windows .reg file whose keys start with HKEY_LOCAL_MACHINE\SOFTWARE, which
// stands for the hive's root) into the hive at `hivePath` with `hivexregedit --merge`; false
// with `error` set (its output) when it fails.
bool MergeIntoHive(const QString& hivePath, const QByteArray& regText, QString* error);

// Runs hivexsh's `commands` (one a line) on the hive at `hivePath`; false with `error` set when
// it fails.
bool RunHivexsh(const QString& hivePath, const QByteArray& commands, QByteArray* out, QString* error);

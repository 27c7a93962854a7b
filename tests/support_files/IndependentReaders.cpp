#include "support_files/IndependentReaders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// The system's Python, which has the system's xlrd (a python3 earlier on PATH may not).
QString python()
{
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                 : QStringLiteral("python3");
}

QString script()
{
    return QStringLiteral(ZANTREL_SOURCE_DIR "/tests/support_files/read_xls.py");
}

bool run(const QString& program, const QStringList& arguments, QByteArray* out, QByteArray* err, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return false;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Fields of CSV text as LibreOffice writes it: fields in double quotes may hold commas, quotes
// (doubled) and line ends.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
            any = true;
        } else if (c == u',') {
            row.append(field);
            field.clear();
            any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            row.append(field);
            rows.append(row);
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.isEmpty()) {
        row.append(field);
        rows.append(row);
    }
    return rows;
}

}

bool HaveXlrd()
{
    static const bool have = run(python(), {QStringLiteral("-c"), QStringLiteral("import xlrd")}, nullptr, nullptr, 30000);
    return have;
}

bool HaveLibreOffice()
{
    return !QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty();
}

XlsReadBack ReadXls(const QString& hostPath)
{
    XlsReadBack result;
    QByteArray out, err;
    if (!run(python(), {script(), hostPath}, &out, &err, 300000)) {
        result.error = QString::fromUtf8(err + out);
        return result;
    }
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    result.log = root.value(QStringLiteral("log")).toString();
    result.streamSize = root.value(QStringLiteral("stream")).toInteger();
    for (const QJsonValue& dims : root.value(QStringLiteral("dimensions")).toArray()) {
        QList<qint64> d;
        for (const QJsonValue& v : dims.toArray())
            d.append(v.toInteger());
        result.dimensions.append(d);
    }
    for (const QJsonValue& sheetValue : root.value(QStringLiteral("sheets")).toArray()) {
        const QJsonObject sheet = sheetValue.toObject();
        XlsSheetReadBack s;
        s.name = sheet.value(QStringLiteral("name")).toString();
        s.nrows = sheet.value(QStringLiteral("nrows")).toInt();
        s.ncols = sheet.value(QStringLiteral("ncols")).toInt();
        for (const QJsonValue& rowValue : sheet.value(QStringLiteral("cells")).toArray()) {
            QStringList texts;
            QList<int> types;
            for (const QJsonValue& cell : rowValue.toArray()) {
                const QJsonArray pair = cell.toArray();
                types.append(pair.at(0).toInt());
                texts.append(pair.at(1).isString() ? pair.at(1).toString() : pair.at(1).toVariant().toString());
            }
            s.rows.append(texts);
            s.types.append(types);
        }
        result.sheets.append(s);
    }
    result.ok = true;
    return result;
}

bool ReadXlsStream(const QString& hostPath, qint64* size, QString* sha256, QString* error)
{
    QByteArray out, err;
    if (!run(python(), {script(), QStringLiteral("--stream-only"), hostPath}, &out, &err, 300000)) {
        *error = QString::fromUtf8(err + out);
        return false;
    }
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    *size = root.value(QStringLiteral("stream")).toInteger();
    *sha256 = root.value(QStringLiteral("sha256")).toString();
    *error = root.value(QStringLiteral("log")).toString();
    return true;
}

bool LibreOfficeCsv(const QString& hostPath, QList<QStringList>* rows, QString* error)
{
    // A profile of its own, so that parallel runs and a user's open LibreOffice do not collide.
    QTemporaryDir profile, outDir;
    QByteArray out, err;
    const bool ran = run(QStringLiteral("soffice"),
                         {QStringLiteral("-env:UserInstallation=file://") + profile.path(),
                          QStringLiteral("--headless"), QStringLiteral("--norestore"),
                          QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"),
                          QStringLiteral("--outdir"), outDir.path(), hostPath},
                         &out, &err, 180000);
    *error = QString::fromUtf8(out + err);
    QFile csv(QDir(outDir.path()).filePath(QFileInfo(hostPath).completeBaseName() + QStringLiteral(".csv")));
    if (!ran || !csv.open(QIODevice::ReadOnly))
        return false;
    *rows = parseCsv(QString::fromUtf8(csv.readAll()));
    return true;
}

bool HaveOpenpyxl()
{
    static const bool have =
        run(python(), {QStringLiteral("-c"), QStringLiteral("import openpyxl")}, nullptr, nullptr, 30000);
    return have;
}

XlsxReadBack ReadXlsx(const QString& hostPath, bool countOnly)
{
    XlsxReadBack result;
    QByteArray out, err;
    QStringList arguments{QStringLiteral(ZANTREL_SOURCE_DIR "/tests/support_files/read_xlsx.py"), hostPath};
    if (countOnly)
        arguments.append(QStringLiteral("--count"));
    if (!run(python(), arguments, &out, &err, 300000)) {
        result.error = QString::fromUtf8(err + out);
        return result;
    }
    for (const QJsonValue& sheetValue : QJsonDocument::fromJson(out).object().value(QStringLiteral("sheets")).toArray()) {
        const QJsonObject sheet = sheetValue.toObject();
        XlsxSheetReadBack s;
        s.name = sheet.value(QStringLiteral("name")).toString();
        s.maxRow = sheet.value(QStringLiteral("max_row")).toInt();
        for (const QJsonValue& v : sheet.value(QStringLiteral("last")).toArray())
            s.lastRow.append(v.toString());
        for (const QJsonValue& rowValue : sheet.value(QStringLiteral("cells")).toArray()) {
            QList<XlsxCell> row;
            for (const QJsonValue& cellValue : rowValue.toArray()) {
                const QJsonArray c = cellValue.toArray();
                XlsxCell cell;
                cell.kind = c.at(0).toString();
                cell.number = c.at(1).toDouble();
                cell.text = c.at(1).isString() ? c.at(1).toString() : QString::number(cell.number);
                cell.format = c.at(2).toString();
                row.append(cell);
            }
            s.rows.append(row);
        }
        result.sheets.append(s);
    }
    result.ok = true;
    return result;
}

namespace {

const QString kObjdump64 = QStringLiteral("x86_64-w64-mingw32-objdump");
const QString kObjdump32 = QStringLiteral("i686-w64-mingw32-objdump");

}

bool HaveObjdumpForPe()
{
    return !QStandardPaths::findExecutable(kObjdump64).isEmpty() && !QStandardPaths::findExecutable(kObjdump32).isEmpty();
}

bool HaveWinedump()
{
    return !QStandardPaths::findExecutable(QStringLiteral("winedump")).isEmpty();
}

PeImportsReadBack ReadPeImportsWithJudges(const QString& hostPath)
{
    PeImportsReadBack result;
    QByteArray out, err;
    // Each objdump reads its own architecture's images.
    if (!run(kObjdump64, {QStringLiteral("-p"), hostPath}, &out, &err, 60000)
        && !run(kObjdump32, {QStringLiteral("-p"), hostPath}, &out, &err, 60000)) {
        result.error = QStringLiteral("objdump failed: ") + QString::fromUtf8(err);
        return result;
    }
    bool inCharacteristics = false;
    for (const QString& line : QString::fromUtf8(out).split(u'\n')) {
        const QString text = line.trimmed();
        if (text.contains(QStringLiteral("file format ")))
            result.format = text.section(u' ', -1);
        if (text.startsWith(QStringLiteral("DLL Name: ")))
            result.imports.append(text.mid(10));
        if (inCharacteristics && text == QStringLiteral("DLL"))
            result.dll = true;
        if (line.startsWith(QStringLiteral("Characteristics ")))
            inCharacteristics = true;
        else if (text.isEmpty())
            inCharacteristics = false;
    }
    if (!run(QStringLiteral("winedump"), {QStringLiteral("dump"), QStringLiteral("-j"), QStringLiteral("import"), hostPath},
             &out, &err, 60000)) {
        result.error = QStringLiteral("winedump failed: ") + QString::fromUtf8(out + err);
        return result;
    }
    // "  grAttrs 00000001 offset 00000c64 comun32.dll"
    for (const QString& line : QString::fromUtf8(out).split(u'\n')) {
        if (line.startsWith(QStringLiteral("  grAttrs ")))
            result.delayImports.append(line.section(u' ', 6));
    }
    result.ok = true;
    return result;
}

bool HaveHivexregedit()
{
    return !QStandardPaths::findExecutable(QStringLiteral("hivexregedit")).isEmpty();
}

bool HaveHivexsh()
{
    return !QStandardPaths::findExecutable(QStringLiteral("hivexsh")).isEmpty();
}

bool MergeIntoHive(const QString& hivePath, const QByteArray& regText, QString* error)
{
    QTemporaryDir dir;
    const QString regPath = dir.filePath(QStringLiteral("merged.reg"));
    QFile reg(regPath);
    if (!reg.open(QIODevice::WriteOnly) || reg.write(regText) != regText.size()) {
        *error = QStringLiteral("cannot write ") + regPath;
        return false;
    }
    reg.close();
    QByteArray out, err;
    if (!run(QStringLiteral("hivexregedit"),
             {QStringLiteral("--merge"), QStringLiteral("--prefix"), QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE"),
              hivePath, regPath},
             &out, &err, 600000)) {
        *error = QStringLiteral("hivexregedit failed: ") + QString::fromUtf8(err + out);
        return false;
    }
    return true;
}

bool RunHivexsh(const QString& hivePath, const QByteArray& commands, QByteArray* out, QString* error)
{
    QProcess process;
    process.start(QStringLiteral("hivexsh"), {hivePath});
    if (!process.waitForStarted(10000)) {
        *error = QStringLiteral("hivexsh did not start");
        return false;
    }
    process.write(commands);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        *error = QStringLiteral("hivexsh did not finish");
        return false;
    }
    *out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || !err.isEmpty()) {
        *error = QStringLiteral("hivexsh failed: ") + QString::fromUtf8(err);
        return false;
    }
    return true;
}

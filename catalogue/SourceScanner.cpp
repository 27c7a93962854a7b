#include "catalogue/SourceScanner.h"

#include "catalogue/TextHead.h"
#include "platform/core/ProgramError.h"
#include "platform/files/AnsiLineReader.h"

#include <QStringView>
#include <algorithm>
#include <optional>
#include <string>

namespace {

// A logical line keeps at most this much of its text: the development environment joins at most
// 25 lines of 1023 characters, and a Declare names its library within its first words. The lines
// past it are still read into the statement, so a long one never turns into new ones.
constexpr qsizetype kMaxStatementLength = 16 * 1024;
// A list longer than a module can have lines ends the scan (its table of Declares holds some 1,500).
constexpr qsizetype kMaxRecords = 65536;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isIdentifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// Whether `word` is the lower-case `keyword` in any case. Only ASCII letters fold, as the
// language's keywords compare: no other letter passes for one of theirs.
bool isKeyword(QStringView word, const char* keyword)
{
    qsizetype i = 0;
    for (; keyword[i] != '\0'; ++i)
        if (i >= word.size() || asciiLower(word[i].unicode()) != char16_t(keyword[i]))
            return false;
    return i == word.size();
}

// Reads the words and string literals of a line from left to right.
class Cursor {
public:
    explicit Cursor(QStringView text) : text_(text) {}

    // The next word: the characters up to a blank, a quote, an '=' or an opening parenthesis;
    // empty at the end or before one of those.
    QStringView word()
    {
        skipBlanks();
        const qsizetype start = at_;
        while (at_ < text_.size() && !isBlank(text_[at_]) && text_[at_] != u'"' && text_[at_] != u'('
               && text_[at_] != u'=')
            ++at_;
        return text_.mid(start, at_ - start);
    }
    // Reads the next word when it is `keyword`.
    bool accept(const char* keyword)
    {
        const qsizetype before = at_;
        if (isKeyword(word(), keyword))
            return true;
        at_ = before;
        return false;
    }
    // Reads the next character when it is `c`.
    bool accept(QChar c)
    {
        skipBlanks();
        if (at_ >= text_.size() || text_[at_] != c)
            return false;
        ++at_;
        return true;
    }
    // The next string literal's text, a doubled quote read as one; nullopt, and nothing read,
    // when a literal does not come next or is not closed on the line.
    std::optional<QString> string()
    {
        skipBlanks();
        if (at_ >= text_.size() || text_[at_] != u'"')
            return std::nullopt;
        QString value;
        for (qsizetype i = at_ + 1; i < text_.size(); ++i) {
            if (text_[i] != u'"') {
                value += text_[i];
            } else if (i + 1 < text_.size() && text_[i + 1] == u'"') {
                value += u'"';
                ++i;
            } else {
                at_ = i + 1;
                return value;
            }
        }
        return std::nullopt;
    }
    // A field of an Object line: a string literal, or else the text up to the next ';'.
    QString field()
    {
        if (std::optional<QString> literal = string())
            return *literal;
        const qsizetype semicolon = text_.indexOf(u';', at_);
        const qsizetype end = semicolon < 0 ? text_.size() : semicolon;
        const QString text = text_.mid(at_, end - at_).trimmed().toString();
        at_ = end;
        return text;
    }

private:
    void skipBlanks()
    {
        while (at_ < text_.size() && isBlank(text_[at_]))
            ++at_;
    }

    QStringView text_;
    qsizetype at_ = 0;
};

// The file the Windows loader opens for a library name: it adds ".dll" when the file name (after
// the last slash) has no extension, and a name ending in dots, which says it has none, names the
// file without them.
QString loaderFileName(const QString& library)
{
    const qsizetype slash = std::max(library.lastIndexOf(u'\\'), library.lastIndexOf(u'/'));
    if (library.endsWith(u'.')) {
        qsizetype end = library.size();
        while (end > slash + 1 && library[end - 1] == u'.')
            --end;
        return library.left(end);
    }
    if (library.isEmpty() || library.indexOf(u'.', slash + 1) >= 0)
        return library;
    return library + QStringLiteral(".dll");
}

// The Declare statement `statement` is, if it is one.
std::optional<DeclaredLibrary> declareIn(QStringView statement)
{
    Cursor words(statement);
    QStringView word = words.word();
    if (isKeyword(word, "public") || isKeyword(word, "private"))
        word = words.word();
    if (!isKeyword(word, "declare"))
        return std::nullopt;
    words.accept("ptrsafe");
    if (!words.accept("sub") && !words.accept("function"))
        return std::nullopt;
    const QStringView name = words.word();
    if (name.isEmpty())
        return std::nullopt;
    words.accept("cdecl");
    if (!words.accept("lib"))
        return std::nullopt;
    std::optional<QString> library = words.string();
    if (!library)
        return std::nullopt;
    DeclaredLibrary declared;
    declared.procedure = name.toString();
    declared.library = *library;
    declared.fileName = loaderFileName(*library);
    if (words.accept("alias"))
        declared.alias = words.string().value_or(QString());
    return declared;
}

bool startsWithRem(QStringView text)
{
    return text.size() >= 3 && isKeyword(text.left(3), "rem") && (text.size() == 3 || !isIdentifierChar(text[3]));
}

// Calls `visit` with each statement of a logical line of code, up to its comment: statements are
// separated by colons outside string literals; a quote outside a string literal, or Rem as a
// statement's first word, starts a comment that runs to the end of the line.
template <typename Visit>
void forEachStatement(QStringView line, Visit visit)
{
    const qsizetype size = line.size();
    qsizetype at = 0;
    while (at < size) {
        while (at < size && isBlank(line[at]))
            ++at;
        if (startsWithRem(line.mid(at)))
            return;
        const qsizetype start = at;
        bool inString = false;
        for (; at < size; ++at) {
            const QChar c = line[at];
            if (c == u'"')
                inString = !inString;
            else if (!inString && (c == u':' || c == u'\''))
                break;
        }
        visit(line.mid(start, at - start));
        if (at >= size || line[at] == u'\'')
            return;
        ++at;
    }
}

// Whether a physical line ends with the continuation mark, a blank and an underscore (blanks
// may follow it); `text` then loses the underscore and what follows it.
bool continues(QStringView& text)
{
    qsizetype end = text.size();
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    if (end == 0 || text[end - 1] != u'_' || (end > 1 && !isBlank(text[end - 2])))
        return false;
    text = text.left(end - 1);
    return true;
}

// The scan of one file, fed its lines in order.
class Scanner {
public:
    explicit Scanner(SourceScan& scan) : scan_(scan) {}

    // Takes the next physical line; false when the scan must stop (see SourceScan::problem).
    bool take(const QString& line, int number);
    // Ends the last statement, continued or not.
    void finish();

private:
    enum class Region { Header, Description, Code };

    bool headerLine(const QString& line, int number);
    bool descriptionLine(const QString& line, int number);
    bool codeLine(const QString& line, int number);
    bool logicalLine();
    bool control(Cursor& words, int number);
    template <typename Record>
    bool append(QList<Record>& list, Record record, const char* what);

    SourceScan& scan_;
    Region region_ = Region::Header;
    int depth_ = 0;           // Begin blocks open in the description
    int conditionals_ = 0;    // #If blocks open in the code
    QString logical_;         // the logical line being joined
    int logicalStart_ = 0;    // its first line
    bool continuing_ = false; // the last line ended with the continuation mark
};

template <typename Record>
bool Scanner::append(QList<Record>& list, Record record, const char* what)
{
    if (list.size() >= kMaxRecords) {
        scan_.problem = QStringLiteral("more than %1 %2: the rest of the file was not read").arg(kMaxRecords).arg(what);
        return false;
    }
    list.append(std::move(record));
    return true;
}

bool Scanner::take(const QString& line, int number)
{
    switch (region_) {
    case Region::Header:
        return headerLine(line, number);
    case Region::Description:
        return descriptionLine(line, number);
    case Region::Code:
        break;
    }
    return codeLine(line, number);
}

bool Scanner::control(Cursor& words, int number)
{
    ControlLine control;
    control.line = number;
    control.className = words.word().toString();
    control.name = words.word().toString();
    return control.className.isEmpty() || append(scan_.controls, std::move(control), "Begin lines");
}

bool Scanner::headerLine(const QString& line, int number)
{
    if (QStringView(line).trimmed().isEmpty())
        return true;
    Cursor words(line);
    const QStringView first = words.word();
    if (isKeyword(first, "version"))
        return true;
    if (isKeyword(first, "begin")) {
        region_ = Region::Description;
        depth_ = 1;
        return control(words, number);
    }
    if (isKeyword(first, "object") && words.accept(u'=')) {
        ObjectLine object;
        object.line = number;
        object.target = words.field();
        if (words.accept(u';'))
            object.fileName = words.field();
        if (object.target.startsWith(u'{')) {
            const qsizetype close = object.target.indexOf(u'}');
            if (close > 0) {
                object.guid = object.target.left(close + 1);
                if (object.target.size() > close + 1 && object.target[close + 1] == u'#') {
                    const QStringView fields = QStringView(object.target).mid(close + 2);
                    const qsizetype hash = fields.indexOf(u'#');
                    object.version = (hash < 0 ? fields : fields.left(hash)).toString();
                    if (hash >= 0)
                        object.locale = fields.mid(hash + 1).toString();
                }
            }
        }
        return append(scan_.objects, std::move(object), "Object lines");
    }
    // The first line of anything else (an Attribute line, a module's code) starts the code.
    region_ = Region::Code;
    return codeLine(line, number);
}

bool Scanner::descriptionLine(const QString& line, int number)
{
    Cursor words(line);
    const QStringView first = words.word();
    if (isKeyword(first, "begin")) {
        ++depth_;
        return control(words, number);
    }
    if (isKeyword(first, "end")) {
        const QStringView next = words.word();
        if ((next.isEmpty() || next.startsWith(u'\'')) && --depth_ == 0)
            region_ = Region::Code;
    }
    return true;
}

bool Scanner::codeLine(const QString& line, int number)
{
    if (!continuing_) {
        logical_.clear();
        logicalStart_ = number;
    }
    QStringView text(line);
    continuing_ = continues(text);
    logical_ += text.left(std::max<qsizetype>(0, kMaxStatementLength - logical_.size()));
    if (continuing_)
        return true;
    return logicalLine();
}

void Scanner::finish()
{
    if (continuing_) {
        continuing_ = false;
        logicalLine();
    }
}

bool Scanner::logicalLine()
{
    const QStringView line = QStringView(logical_).trimmed();
    if (line.startsWith(u'#')) {
        Cursor words(line.mid(1));
        const QStringView directive = words.word();
        if (isKeyword(directive, "if"))
            ++conditionals_;
        else if ((isKeyword(directive, "endif") || (isKeyword(directive, "end") && words.accept("if")))
                 && conditionals_ > 0)
            --conditionals_;
        return true;
    }
    bool more = true;
    forEachStatement(line, [&](QStringView statement) {
        if (!more)
            return;
        if (std::optional<DeclaredLibrary> declared = declareIn(statement)) {
            declared->line = logicalStart_;
            declared->conditional = conditionals_ > 0;
            more = append(scan_.declares, std::move(*declared), "Declare statements");
        }
    });
    return more;
}

SourceScan scanHead(const TextHead& head)
{
    SourceScan scan;
    scan.problem = head.problem;
    AnsiLineReader lines(AnsiLineReader::InMemory{}, std::string(head.bytes.constData(), size_t(head.bytes.size())));
    Scanner scanner(scan);
    QString line;
    int number = 0;
    try {
        while (lines.readLine(line))
            if (!scanner.take(line, ++number))
                return scan;
    } catch (const ProgramError& error) {
        scan.problem = QStringLiteral("line %1: %2").arg(number + 1).arg(error.NumberAndDescription());
        return scan;
    }
    scanner.finish();
    return scan;
}

}

SourceScan ScanSource(const QByteArray& contents)
{
    return scanHead(HeadWithin(contents, kMaxSourceFileSize));
}

SourceScan ScanSourceFile(const QString& hostPath)
{
    return scanHead(ReadTextHead(hostPath, kMaxSourceFileSize));
}

#include "platform/richtext/RichTextBox.h"

#include "platform/core/AnsiCodePage.h"
#include "platform/core/ProgramError.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/PathMapper.h"
#include "platform/richtext/Printer.h"
#include "platform/richtext/RtfWriter.h"
#include "platform/richtext/WindowsFonts.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTimer>
#include <algorithm>

namespace {

// The document breaks blocks at these as well; they stand for themselves in the text.
QString withoutFrameMarks(QString text)
{
    for (QChar& c : text)
        if (c == QChar(0xFDD0) || c == QChar(0xFDD1))
            c = QChar::ReplacementCharacter;
    return text;
}

bool isBold(const QTextCharFormat& f) { return f.fontWeight() > QFont::Normal; }
bool isUnderline(const QTextCharFormat& f) { return f.fontUnderline(); }
bool isItalic(const QTextCharFormat& f) { return f.fontItalic(); }

QFont designFont()
{
    QFont font;
    // Without a GUI application there is no font database; the face only matters on screen and
    // on paper, and the saved rich text names the design face anyway.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        font = QFont(WindowsFonts::Family(RichTextBox::FontName));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(RichTextBox::FontSize);
    return font;
}

}

RichTextBox::RichTextBox(QObject* parent)
    : QObject(parent), document_(new QTextDocument(this))
{
    document_->setUndoRedoEnabled(false);
    document_->setDefaultFont(designFont());
    watchDocument();
}

void RichTextBox::watchDocument()
{
    connect(document_, &QTextDocument::contentsChange, this, [this](int, int, int) {
        if (!styling_)
            linesValid_ = false;
    });
}

void RichTextBox::TakeContent(RichTextBox& other)
{
    if (&other == this)
        return;
    document_->disconnect(this);
    other.document_->disconnect(&other);
    std::swap(document_, other.document_);
    document_->setParent(this);
    other.document_->setParent(&other);
    watchDocument();
    other.watchDocument();
    selStart_ = other.selStart_;
    selLength_ = other.selLength_;
    insertion_ = other.insertion_;
    lineStarts_.swap(other.lineStarts_);
    linesValid_ = other.linesValid_;
    emit documentReplaced();
    emit selectionChanged();
    other.SetText(QString());
}

RichTextBox::~RichTextBox() = default;

QString RichTextBox::Text() const
{
    // One pass, line by line: replacing each break in place moves the rest of the text each time.
    const QString raw = document_->toRawText();
    QString text;
    text.reserve(raw.size() + document_->blockCount());
    qsizetype from = 0;
    for (qsizetype at; (at = raw.indexOf(QChar::ParagraphSeparator, from)) >= 0; from = at + 1) {
        text.append(QStringView(raw).mid(from, at - from));
        text.append(u"\r\n");
    }
    text.append(QStringView(raw).mid(from));
    return text;
}

void RichTextBox::SetText(const QString& text)
{
    document_->clear();
    QTextCursor cursor(document_);
    cursor.insertText(withoutFrameMarks(text), QTextCharFormat());
    selStart_ = 0;
    selLength_ = 0;
    insertion_ = QTextCharFormat();
    emit selectionChanged();
}

int RichTextBox::length() const
{
    // Block b of the document starts at offset position + b in Text (each earlier break took
    // two characters there and one position here); the last block has no break after it.
    const QTextBlock last = document_->lastBlock();
    return last.position() + last.blockNumber() + last.length() - 1;
}

void RichTextBox::indexLines() const
{
    if (linesValid_)
        return;
    lineStarts_.clear();
    lineStarts_.reserve(static_cast<std::size_t>(document_->blockCount()));
    int number = 0;
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next(), ++number)
        lineStarts_.push_back(block.position() + number);
    linesValid_ = true;
}

int RichTextBox::positionOf(int offset) const
{
    indexLines();
    // The last block whose Text offset is at most `offset`.
    const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    const int number = after == lineStarts_.begin() ? 0 : static_cast<int>(after - lineStarts_.begin()) - 1;
    const int start = lineStarts_[static_cast<std::size_t>(number)];
    const int position = start - number;
    const int lineLength = std::size_t(number) + 1 < lineStarts_.size()
                               ? lineStarts_[static_cast<std::size_t>(number) + 1] - 2 - start
                               : document_->characterCount() - 1 - position;
    // An offset on the LF of a CR LF lands on the break, as one on its CR does.
    return position + std::clamp(offset - start, 0, lineLength);
}

int RichTextBox::offsetOf(int position) const
{
    return position + document_->findBlock(position).blockNumber();
}

void RichTextBox::SetSelStart(int start)
{
    selStart_ = std::clamp(start, 0, length());
    selLength_ = 0;
    insertion_ = QTextCharFormat();
    emit selectionChanged();
}

void RichTextBox::SetSelLength(int length)
{
    if (length < 0)
        RaiseStandardError(ErrorNumbers::InvalidPropertyValue);
    selLength_ = std::min(length, this->length() - selStart_);
    emit selectionChanged();
}

std::pair<int, int> RichTextBox::selectionRange() const
{
    return {positionOf(selStart_), positionOf(selStart_ + selLength_)};
}

void RichTextBox::setSelectionFromView(int anchor, int position)
{
    const int first = std::min(anchor, position), last = std::max(anchor, position);
    selStart_ = offsetOf(first);
    selLength_ = offsetOf(last) - selStart_;
    insertion_ = QTextCharFormat();
    // A break selected in the view is a whole CR LF in Text.
    if (last > first && document_->characterAt(last - 1) == QChar::ParagraphSeparator)
        selLength_ = std::min(selLength_, length() - selStart_);
}

QString RichTextBox::SelText() const
{
    return Text().mid(selStart_, selLength_);
}

std::optional<bool> RichTextBox::selectionHas(bool (*test)(const QTextCharFormat&)) const
{
    const auto [first, last] = selectionRange();
    if (first == last) {
        if (insertion_.isValid() && !insertion_.properties().isEmpty())
            return test(insertion_);
        QTextCursor cursor(document_);
        cursor.setPosition(first);
        return test(cursor.charFormat());
    }
    std::optional<bool> seen;
    for (QTextBlock block = document_->findBlock(first); block.isValid() && block.position() < last; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() + fragment.length() <= first || fragment.position() >= last)
                continue;
            const bool value = test(fragment.charFormat());
            if (seen && *seen != value)
                return std::nullopt;
            seen = value;
        }
    }
    return seen.value_or(false);
}

std::optional<bool> RichTextBox::SelBold() const { return selectionHas(isBold); }
std::optional<bool> RichTextBox::SelUnderline() const { return selectionHas(isUnderline); }
std::optional<bool> RichTextBox::SelItalic() const { return selectionHas(isItalic); }

void RichTextBox::applyToSelection(const QTextCharFormat& format)
{
    const auto [first, last] = selectionRange();
    if (first == last) {
        insertion_.merge(format);
        return;
    }
    QTextCursor cursor(document_);
    cursor.setPosition(first);
    cursor.setPosition(last, QTextCursor::KeepAnchor);
    styling_ = true;
    cursor.mergeCharFormat(format);
    styling_ = false;
}

void RichTextBox::SetSelBold(bool on)
{
    QTextCharFormat format;
    format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    applyToSelection(format);
}

void RichTextBox::SetSelUnderline(bool on)
{
    QTextCharFormat format;
    format.setFontUnderline(on);
    applyToSelection(format);
}

void RichTextBox::SetSelItalic(bool on)
{
    QTextCharFormat format;
    format.setFontItalic(on);
    applyToSelection(format);
}

void RichTextBox::StyleRanges(const std::vector<TextStyling>& stylings)
{
    if (stylings.empty())
        return;
    const int total = length();
    QTextCursor cursor(document_);
    // One edit: the document tells its views of the change once, when the edit ends.
    styling_ = true;
    cursor.beginEditBlock();
    for (const TextStyling& styling : stylings) {
        // The range a selection of it would take: the start clamped to the text, the length to
        // its end.
        const int start = std::clamp(styling.start, 0, total);
        const int end = start + std::clamp(styling.length, 0, total - start);
        const int first = positionOf(start), last = positionOf(end);
        if (first == last)
            continue;
        QTextCharFormat format;
        format.setFontWeight(styling.bold ? QFont::Bold : QFont::Normal);
        format.setFontUnderline(styling.underline);
        format.setFontItalic(styling.italic);
        cursor.setPosition(first);
        cursor.setPosition(last, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
    styling_ = false;
}

QList<TextRun> RichTextBox::Runs() const
{
    QList<TextRun> runs;
    int offset = 0;
    auto add = [&runs, &offset](int length, const QTextCharFormat& format) {
        const TextRun run{offset, length, isBold(format), isUnderline(format), isItalic(format)};
        offset += length;
        if (!runs.isEmpty()) {
            TextRun& previous = runs.last();
            if (previous.bold == run.bold && previous.underline == run.underline && previous.italic == run.italic) {
                previous.length += length;
                return;
            }
        }
        if (length > 0)
            runs.append(run);
    };
    // A line break shows no style of its own: it counts as regular text.
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            add(it.fragment().length(), it.fragment().charFormat());
        if (block.next().isValid())
            add(2, QTextCharFormat());
    }
    return runs;
}

QByteArray RichTextBox::TextRTF() const
{
    const QString text = Text();
    RtfWriter::Stream rtf(FontName, FontSize, text.size());
    for (const TextRun& run : Runs())
        rtf.add(QStringView(text).mid(run.start, run.length), run.bold, run.underline, run.italic);
    return rtf.finish();
}

void RichTextBox::SaveFile(const QString& path, int format) const
{
    if (format != RichTextFormat::rtfRTF && format != RichTextFormat::rtfText)
        RaiseStandardError(ErrorNumbers::InvalidProcedureCall);
    // The path is checked before the content is made.
    if (PathMapper::current().toHost(path).isEmpty())
        RaiseStandardError(ErrorNumbers::PathNotFound);
    SaveTextFileBytes(path, format == RichTextFormat::rtfRTF ? TextRTF() : AnsiCodePage::encode(Text()));
}

void SaveTextFileBytes(const QString& path, const QByteArray& bytes)
{
    const QString host = PathMapper::current().toHost(path);
    if (host.isEmpty() || !QFileInfo(QFileInfo(host).absolutePath()).isDir())
        RaiseStandardError(ErrorNumbers::PathNotFound);
    // The user named this file: a link there has its target replaced, as editors do.
    AtomicFile::Failure failure;
    if (!AtomicFile::writeFile(host, bytes, AtomicFile::Links::WriteTarget, &failure))
        RaiseWriteFailure(failure);
}

std::unique_ptr<QTextDocument> RichTextBox::SelectionDocument() const
{
    auto copy = std::make_unique<QTextDocument>();
    copy->setDefaultFont(document_->defaultFont());
    copy->setUndoRedoEnabled(false);
    QTextCursor source(document_);
    const auto [first, last] = selectionRange();
    if (first == last) {
        source.select(QTextCursor::Document);
    } else {
        source.setPosition(first);
        source.setPosition(last, QTextCursor::KeepAnchor);
    }
    QTextCursor(copy.get()).insertFragment(source.selection());
    return copy;
}

void RichTextBox::SelPrint(const QString& jobName) const
{
    Printer::PrintDocument(*SelectionDocument(), jobName);
}

RichTextView::RichTextView(RichTextBox& box, QWidget* parent)
    : QTextEdit(parent), box_(box)
{
    setDocument(box.document());
    setFont(box.document()->defaultFont());
    setLineWrapMode(QTextEdit::NoWrap);
    setAcceptRichText(false);
    connect(this, &QTextEdit::selectionChanged, this, [this] {
        if (!updating_)
            box_.setSelectionFromView(textCursor().anchor(), textCursor().position());
    });
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] {
        if (!updating_)
            box_.setSelectionFromView(textCursor().anchor(), textCursor().position());
    });
    connect(&box, &RichTextBox::documentReplaced, this, [this] { showBoxDocument(); });
    // Styling a long report moves the selection thousands of times; the view shows where it
    // ended up once control returns to the event loop.
    connect(&box, &RichTextBox::selectionChanged, this, [this] {
        if (pending_)
            return;
        pending_ = true;
        QTimer::singleShot(0, this, [this] { showBoxSelection(); });
    });
}

void RichTextView::showBoxDocument()
{
    // Setting a document moves the view's cursor, which is not the user's selection.
    updating_ = true;
    setDocument(box_.document());
    updating_ = false;
}

void RichTextView::showBoxSelection()
{
    pending_ = false;
    const auto [first, last] = box_.selectionRange();
    QTextCursor cursor(document());
    cursor.setPosition(first);
    cursor.setPosition(last, QTextCursor::KeepAnchor);
    updating_ = true;
    setTextCursor(cursor);
    updating_ = false;
}

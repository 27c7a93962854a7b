#pragma once

// The rich-text control: a document with styled runs, selection, printing and saving as RTF or text.

#include <QList>
#include <QObject>
#include <QString>
#include <QTextDocument>
#include <QTextEdit>
#include <memory>
#include <optional>
#include <vector>

// Formats of RichTextBox::SaveFile, numbered as the rich-text control numbers them.
namespace RichTextFormat {
constexpr int rtfRTF = 0;
constexpr int rtfText = 1;
}

// A run of text of one style, in the offsets of RichTextBox::Text.
struct TextRun {
    int start = 0;
    int length = 0;
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

// A style laid over a range of RichTextBox::Text: bold when `bold`, underlined when `underline`,
// italic when `italic`.
struct TextStyling {
    int start = 0;
    int length = 0;
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

// The rich-text control: a text with bold, underlined and italic runs, a selection, and the
// means to save it as rich text or plain text and to print it. Lines are separated by CR LF in
// Text, and every offset (SelStart, SelLength, TextRun) counts a CR LF as two characters, exactly
// as Text reads back. The content lives in one QTextDocument, which RichTextView shows and edits;
// without a view the control works headless (the command-line tool, the tests).
class RichTextBox : public QObject {
    Q_OBJECT
public:
    // Design font of the control: the face name saved in rich text and its size in points.
    static inline const QString FontName = QStringLiteral("Courier New");
    static constexpr double FontSize = 9.75;

    explicit RichTextBox(QObject* parent = nullptr);
    ~RichTextBox() override;

    // The whole text, lines joined by CR LF.
    QString Text() const;
    // Replaces the content by `text` in the regular style and selects nothing at offset 0. CR LF,
    // a lone CR and a lone LF all break lines (each reads back as CR LF).
    void SetText(const QString& text);

    // The selection: SelStart is clamped to the text and empties the selection; SelLength is
    // clamped to the end of the text and raises ProgramError 380 when negative.
    int SelStart() const { return selStart_; }
    void SetSelStart(int start);
    int SelLength() const { return selLength_; }
    void SetSelLength(int length);
    QString SelText() const;

    // Style of the selection: nothing when it is mixed. With nothing selected, the style that
    // the next typed character would take. Setting one styles the selection (with nothing
    // selected, the next typed character).
    std::optional<bool> SelBold() const;
    std::optional<bool> SelUnderline() const;
    std::optional<bool> SelItalic() const;
    void SetSelBold(bool on);
    void SetSelUnderline(bool on);
    void SetSelItalic(bool on);

    // Lays each styling over its range in turn, as selecting the range (SelStart, then SelLength)
    // and setting SelBold, SelUnderline and SelItalic would, but in one change of the document;
    // the selection and the insertion style stay as they were.
    void StyleRanges(const std::vector<TextStyling>& stylings);

    // Takes `other`'s whole content (text, styles, selection) in one step, leaving it empty. A
    // view of this box then shows the new content, laid out afresh as it first shows it, so a
    // long document built and styled without a view is not laid out once per change.
    void TakeContent(RichTextBox& other);

    // The runs of one style that make up the text, in order; line breaks count as regular text.
    QList<TextRun> Runs() const;

    // The content as rich text: the text in the design font, with its bold, underlined and
    // italic runs.
    QByteArray TextRTF() const;

    // Writes the content to the Windows path `path` (replacing a file there in one step): as rich
    // text (rtfRTF) or as plain text in the ANSI code page with CR LF (rtfText). Raises
    // ProgramError 76 when the path has no host form or its folder does not exist, 5 for another
    // format, and when the file cannot be written the number of the failure (61 for a full
    // disk, 75 otherwise) with the system's own description; the old file then stays. A link
    // at the path has its target replaced.
    void SaveFile(const QString& path, int format) const;

    // Prints the selection, or the whole content when nothing is selected, on the default
    // printer (platform/richtext/Printer.h), raising its errors.
    void SelPrint(const QString& jobName) const;
    // The selection, or everything when nothing is selected, as a document of its own.
    std::unique_ptr<QTextDocument> SelectionDocument() const;

    // The store the view shows. The box keeps ownership.
    QTextDocument* document() const { return document_; }
    // The document range [first, last) of the selection.
    std::pair<int, int> selectionRange() const;
    // Takes the selection a view made, in document positions.
    void setSelectionFromView(int anchor, int position);

signals:
    // The selection was changed through the box (not by the view).
    void selectionChanged();
    // document() is another object now (TakeContent).
    void documentReplaced();

private:
    void watchDocument();
    std::optional<bool> selectionHas(bool (*test)(const QTextCharFormat&)) const;
    void applyToSelection(const QTextCharFormat& format);
    int positionOf(int offset) const;
    void indexLines() const;
    int offsetOf(int position) const;
    int length() const;

    QTextDocument* document_;
    int selStart_ = 0;
    int selLength_ = 0;
    QTextCharFormat insertion_;
    // Text offset of each block's start, made when first needed after a change of the text;
    // styling alone leaves it valid.
    mutable std::vector<int> lineStarts_;
    mutable bool linesValid_ = false;
    bool styling_ = false;
};

// Writes `bytes` to the Windows path `path` as RichTextBox::SaveFile does, with its errors: 76
// when the path has no host form or its folder does not exist, 75 when it cannot be written.
void SaveTextFileBytes(const QString& path, const QByteArray& bytes);

// The control on screen: a text view over a RichTextBox's document, in the design font ("Courier
// New" 9.75 points, or the closest fixed-pitch face the machine has). The user's selection is the
// box's selection, and the box's selection shows in the view.
class RichTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit RichTextView(RichTextBox& box, QWidget* parent = nullptr);

    RichTextBox& box() const { return box_; }

private:
    void showBoxSelection();
    void showBoxDocument();

    RichTextBox& box_;
    bool pending_ = false;
    bool updating_ = false;
};

#pragma once

// Message boxes as Windows programs show them. Abstract over who answers: the real dialog is
// QtMessageBoxes; zantrel-cli writes to standard error; tests install a script.

#include <QList>
#include <QString>
#include <functional>

// Style bits and answers of message boxes, numbered as Windows programs number them.
namespace MsgStyle {
constexpr int OkOnly = 0;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;
}
namespace MsgAnswer {
constexpr int Ok = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
}

struct MessageBoxRequest {
    QString text;
    int style = MsgStyle::OkOnly;
    QString title;

    int buttons() const { return style & 0x0F; }
    int icon() const { return style & 0x70; }
    // "critical", "question", "exclamation", "information" or "none".
    QString iconName() const;
    // The answer of the box's default button.
    int defaultAnswer() const;
};

// Whoever answers the program's message boxes: a real dialog in the windows, a printer to
// standard error in the command-line tool, a script in the tests.
class MessageBoxAnswerer {
public:
    virtual ~MessageBoxAnswerer() = default;
    // Shows the box (or not) and returns the answer code of the button chosen.
    virtual int answer(const MessageBoxRequest& request) = 0;
};

// Shows a message box through the installed answerer and returns its answer code. The title
// defaults to the application's name.
int ShowMessage(const QString& text, int style = MsgStyle::OkOnly, const QString& title = QString());

// Installs the answerer of every later message box; the caller keeps ownership. Null restores
// the default, which writes "[icon] text" to standard error and takes the default button.
void InstallMessageBoxAnswerer(MessageBoxAnswerer* answerer);

// Writes "[icon] text" lines to standard error and takes the default button.
class StandardErrorMessageBoxes : public MessageBoxAnswerer {
public:
    int answer(const MessageBoxRequest& request) override;
};

// Records every box and answers from a script, then with the default button. It installs
// itself while it lives.
class ScriptedMessageBoxes : public MessageBoxAnswerer {
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes() override;
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    int answer(const MessageBoxRequest& request) override;

    // Queues the answers of the next boxes, in order.
    void script(std::initializer_list<int> answers) { answers_.append(answers); }
    const QList<MessageBoxRequest>& shown() const { return shown_; }
    // Runs as each box is shown, before it is answered (to look at the program meanwhile).
    std::function<void(const MessageBoxRequest&)> onShow;
    QStringList texts() const;
    void clear() { shown_.clear(); }

private:
    QList<MessageBoxRequest> shown_;
    QList<int> answers_;
    MessageBoxAnswerer* previous_;
};

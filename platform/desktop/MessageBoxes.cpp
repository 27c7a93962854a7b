#include "platform/desktop/MessageBoxes.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

StandardErrorMessageBoxes& defaultAnswerer()
{
    static StandardErrorMessageBoxes answerer;
    return answerer;
}

MessageBoxAnswerer*& installed()
{
    static MessageBoxAnswerer* answerer = nullptr;
    return answerer;
}

MessageBoxAnswerer* active()
{
    MessageBoxAnswerer* answerer = installed();
    return answerer ? answerer : &defaultAnswerer();
}

}

QString MessageBoxRequest::iconName() const
{
    switch (icon()) {
    case MsgStyle::Critical: return QStringLiteral("critical");
    case MsgStyle::Question: return QStringLiteral("question");
    case MsgStyle::Exclamation: return QStringLiteral("exclamation");
    case MsgStyle::Information: return QStringLiteral("information");
    }
    return QStringLiteral("none");
}

int MessageBoxRequest::defaultAnswer() const
{
    const bool second = (style & 0x300) == MsgStyle::DefaultButton2;
    switch (buttons()) {
    case MsgStyle::YesNo: return second ? MsgAnswer::No : MsgAnswer::Yes;
    case 1: return second ? MsgAnswer::Cancel : MsgAnswer::Ok;  // OK, Cancel
    case 3: return second ? MsgAnswer::No : MsgAnswer::Yes;     // Yes, No, Cancel
    }
    return MsgAnswer::Ok;
}

int ShowMessage(const QString& text, int style, const QString& title)
{
    MessageBoxRequest request{text, style, title};
    if (request.title.isEmpty())
        request.title = QCoreApplication::applicationName();
    return active()->answer(request);
}

void InstallMessageBoxAnswerer(MessageBoxAnswerer* answerer)
{
    installed() = answerer;
}

int StandardErrorMessageBoxes::answer(const MessageBoxRequest& request)
{
    const QByteArray line = (u'[' + request.iconName() + QStringLiteral("] ") + request.text + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    return request.defaultAnswer();
}

ScriptedMessageBoxes::ScriptedMessageBoxes()
    : previous_(installed())
{
    InstallMessageBoxAnswerer(this);
}

ScriptedMessageBoxes::~ScriptedMessageBoxes()
{
    InstallMessageBoxAnswerer(previous_);
}

int ScriptedMessageBoxes::answer(const MessageBoxRequest& request)
{
    shown_.append(request);
    if (onShow)
        onShow(request);
    return answers_.isEmpty() ? request.defaultAnswer() : answers_.takeFirst();
}

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList result;
    for (const MessageBoxRequest& request : shown_)
        result.append(request.text);
    return result;
}

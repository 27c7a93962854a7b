#include "platform/desktop/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

int QtMessageBoxes::answer(const MessageBoxRequest& request)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(request.title);
    box.setText(request.text);
    box.setTextFormat(Qt::PlainText);
    switch (request.icon()) {
    case MsgStyle::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgStyle::Question: box.setIcon(QMessageBox::Question); break;
    case MsgStyle::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgStyle::Information: box.setIcon(QMessageBox::Information); break;
    }

    struct Choice { QMessageBox::StandardButton button; int answer; const char* text; };
    QList<Choice> choices;
    switch (request.buttons()) {
    case MsgStyle::YesNo:
        choices = {{QMessageBox::Yes, MsgAnswer::Yes, "&Sí"}, {QMessageBox::No, MsgAnswer::No, "&No"}};
        break;
    case 1:
        choices = {{QMessageBox::Ok, MsgAnswer::Ok, "Aceptar"}, {QMessageBox::Cancel, MsgAnswer::Cancel, "Cancelar"}};
        break;
    default:
        choices = {{QMessageBox::Ok, MsgAnswer::Ok, "Aceptar"}};
    }
    const int defaultAnswer = request.defaultAnswer();
    for (const Choice& choice : choices) {
        QPushButton* button = box.addButton(choice.button);
        button->setText(QString::fromUtf8(choice.text));
        if (choice.answer == defaultAnswer)
            box.setDefaultButton(button);
    }
    // A box shown in the middle of a wait state must still take the user's clicks.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (waiting)
        QApplication::restoreOverrideCursor();
    for (const Choice& choice : choices)
        if (box.clickedButton() == box.button(choice.button))
            return choice.answer;
    // Closed without a button: the last button (No, Cancel, or the only OK) answers.
    return choices.last().answer;
}

#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class frmMain;

// The dialog that changes the folder to load: shows the current path, lets the user browse for
// another, and on "&Aceptar" stores it in the settings file and reloads the main window, staying
// open until "&Salir" or its close box. It releases itself when it closes.
class frmPath : public QDialog {
    Q_OBJECT
public:
    explicit frmPath(frmMain& main);

    QLabel* Label1() const { return label1_; }
    // The buttons by index: 0 "&Aceptar", 1 "&Salir", 2 "&Examinar".
    QPushButton* cmd(int index) const { return cmd_[index]; }
    void cmd_Click(int index);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ExaminarCarpeta();

    frmMain& main_;
    QLabel* label1_;
    QPushButton* cmd_[3];
    bool centred_ = false;
};

#pragma once

// The path dialog, where the user picks the folder to load.

#include <QDialog>

class QLabel;
class Catalogue;
class QPushButton;

// The dialog that changes the folder to load: shows the catalogue's current path, lets the user
// browse for another, and on "&Aceptar" stores it in the catalogue and the settings file and
// tells its opener through pathAccepted (the main window reloads), staying open until "&Salir"
// or its close box. It releases itself when it closes.
class frmPath : public QDialog {
    Q_OBJECT
public:
    frmPath(Catalogue& catalogue, QWidget* parent);

    QLabel* Label1() const { return label1_; }
    // The buttons by index: 0 "&Aceptar", 1 "&Salir", 2 "&Examinar".
    QPushButton* cmd(int index) const { return cmd_[index]; }
    void cmd_Click(int index);

signals:
    // A new path was stored in the catalogue's ScanPath and the settings file.
    void pathAccepted();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ExaminarCarpeta();

    Catalogue& catalogue_;
    QLabel* label1_;
    QPushButton* cmd_[3];
    bool centred_ = false;
};

#pragma once

// The print options dialog: which report, over the checked projects.

#include "output/ReportBuilder.h"

#include <QDialog>
#include <QPointer>

class Catalogue;
class QGroupBox;
class QPushButton;
class QRadioButton;
class StatusBarControl;
class TreeControl;
class frmAccion;
class frmReporte;

// The print options dialog ("Imprimir"): a detailed or a summary report of the checked projects of
// the main tree. "&Aceptar" counts the checked project nodes, shows the progress dialog and then
// the report window, modally; the dialog stays open, with its last choice, until "&Salir".
class frmImprimir : public QDialog {
    Q_OBJECT
public:
    frmImprimir(TreeControl& tree, const Catalogue& catalogue, StatusBarControl& status, QWidget* parent = nullptr);
    ~frmImprimir() override;

    // Shows the program's one print options dialog, modeless, making it when there is none.
    static frmImprimir* showModeless(TreeControl& tree, const Catalogue& catalogue, StatusBarControl& status,
                                     QWidget* parent);
    // The open dialog, or null.
    static frmImprimir* current();

    // Button `index`: 0 "&Aceptar" starts a report, any other closes the dialog.
    void cmd_Click(int index);

    QRadioButton* opt(int index) const;
    QPushButton* cmd(int index) const;
    // The report window of the report being made (null between reports).
    frmReporte* reportWindow() const;
    frmAccion* progressDialog() const;

    void setVisible(bool visible) override;

private:
    // The report window, made when its kind is set.
    void setReportKind(ReportKind tipo);

    TreeControl& tree_;
    const Catalogue& catalogue_;
    StatusBarControl& status_;
    QGroupBox* fra_;
    QRadioButton* opt_[2];
    QPushButton* cmd_[2];
    QPointer<frmReporte> reporte_;
    QPointer<frmAccion> accion_;
    bool loaded_ = false;
};

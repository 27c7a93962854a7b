#pragma once

// The report window: the report shown, printed and saved.

#include "output/ReportBuilder.h"
#include "platform/richtext/RichTextBox.h"

#include <QDialog>
#include <QPointer>

class Catalogue;
class QAction;
class QToolBar;
class ReportProgress;
class StatusBarControl;
class TreeControl;
class frmAccion;

// The report window ("Reporte del archivo"): the dependency report of the checked projects in a
// rich-text area under a two-button toolbar, to print on the default printer or save as rich text
// or plain text. The report is built once, while the window loads, from the main window's tree,
// the catalogue and status bar it is given; the window deletes itself when it closes.
class frmReporte : public QDialog {
    Q_OBJECT
public:
    frmReporte(const TreeControl& tree, const Catalogue& catalogue, StatusBarControl& status,
               QWidget* parent = nullptr);

    // The report kind: 0 detailed, any other value summary. Set before the window is shown.
    ReportKind Tipo() const { return tipo_; }
    void setTipo(ReportKind tipo) { tipo_ = tipo; }
    // The progress dialog the build reports to and closes (may be none).
    void setProgressDialog(frmAccion* dialog);

    // Prints the report (the selection, when there is one) on the default printer: true when the
    // job was handed to the printer; after an error the message "Imprimir : " + number + " " +
    // description, and false.
    bool Imprimir();

    // A toolbar button's click, by its key: "cmdPrint" and "cmdSave" ask first, then print or
    // save and acknowledge.
    void Toolbar1_ButtonClick(const QString& key);

    RichTextBox& txt() { return txt_; }
    RichTextView* txtView() const { return view_; }
    QToolBar* Toolbar1() const { return Toolbar1_; }

    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Builds the report under the wait state; false when it could not be built.
    bool Form_Load();
    void Form_Resize();
    void GeneraInforme();
    // Asks for a file name and saves the report: true when a file was written.
    bool GrabarReporte();

    const TreeControl& tree_;
    const Catalogue& catalogue_;
    StatusBarControl& status_;
    QPointer<frmAccion> progress_;
    ReportKind tipo_ = ReportKind::Detallado;
    bool loaded_ = false;
    QToolBar* Toolbar1_;
    RichTextBox txt_;
    RichTextView* view_;
};

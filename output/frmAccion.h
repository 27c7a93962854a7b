#pragma once

// The progress dialog shown while a report is built.

#include "output/ReportBuilder.h"

#include <QDialog>

class ProgressBarWidget;
class QGroupBox;
class QLabel;

// The progress dialog of a report ("Imprimiendo ..."): the project being written, in a frame
// "Proyecto", over a bar that runs from 1 to `total`. It stays above every other window while it is
// shown, and deletes itself when it closes, so each report gets a fresh one.
class frmAccion : public QDialog, public ReportProgress {
    Q_OBJECT
public:
    explicit frmAccion(QWidget* parent = nullptr);

    // The number of checked project nodes; set before the dialog is shown.
    int total() const { return total_; }
    void setTotal(int total) { total_ = total; }

    QLabel* Label1() const { return Label1_; }
    ProgressBarWidget* pgb() const { return pgb_; }

    // What the report builder tells it.
    void setVisible(bool visible) override;

    void SetProject(const QString& name) override;
    void SetValue(double value) override;
    void Close() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Form_Load();

    QGroupBox* fra_;
    QLabel* Label1_;
    ProgressBarWidget* pgb_;
    int total_ = 0;
    bool loaded_ = false;
};

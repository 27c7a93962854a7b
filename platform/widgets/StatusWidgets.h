#pragma once

// The status bar and the progress bar of Controls.h as Qt widgets, for the windows; the load and
// zantrel-cli use the in-memory ones of MemoryControls.h.

#include "platform/controls/Controls.h"

#include <QLabel>
#include <QList>
#include <QProgressBar>
#include <QWidget>

// The main window's status bar: three sunken panels side by side, the first taking the width
// the other two leave.
class StatusBarWidget : public QWidget, public StatusBarControl {
    Q_OBJECT
public:
    static constexpr int Height = 22;

    explicit StatusBarWidget(QWidget* parent = nullptr);

    void SetPanelText(int panel, const QString& text) override;
    QString PanelText(int panel) const override;
    int PanelLeft(int panel) const override;
    int PanelWidth(int panel) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    static QRect panelRect(int number, int width);
    QLabel* panel(int number) const;
    QList<QLabel*> panels_;
};

// A progress bar that takes any value and shows it within its range.
class ProgressBarWidget : public QProgressBar, public ProgressBarControl {
    Q_OBJECT
public:
    explicit ProgressBarWidget(QWidget* parent = nullptr);

    void SetMin(double min) override;
    void SetMax(double max) override;
    void SetValue(double value) override;
    void SetVisible(bool visible) override { setVisible(visible); }
    double Min() const override { return min_; }
    double Max() const override { return max_; }
    double Value() const override { return value_; }
    bool Visible() const override { return !isHidden(); }

private:
    void show();

    double min_ = 0, max_ = 100, value_ = 0;
};

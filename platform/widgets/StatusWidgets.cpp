#include "platform/widgets/StatusWidgets.h"

#include "platform/core/ProgramError.h"

#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace {
// Widths of panels 2 (under the progress bar) and 3 (the progress text).
constexpr int kPanel2Width = 170;
constexpr int kPanel3Width = 120;
}

StatusBarWidget::StatusBarWidget(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("stbMain"));
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(this);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(3, 0, 3, 0);
        label->setTextFormat(Qt::PlainText);
        panels_.append(label);
    }
    setFixedHeight(Height);
}

QLabel* StatusBarWidget::panel(int number) const
{
    if (number < 1 || number > panels_.size())
        RaiseStandardError(ErrorNumbers::IndexOutOfBounds);
    return panels_[number - 1];
}

void StatusBarWidget::SetPanelText(int number, const QString& text)
{
    QLabel* label = panel(number);
    label->setText(text);
    label->repaint();
}

QString StatusBarWidget::PanelText(int number) const
{
    return panel(number)->text();
}

// Where panel `number` (1 to 3) lies in a bar `width` pixels wide, in the bar's coordinates.
QRect StatusBarWidget::panelRect(int number, int width)
{
    const int first = std::max(0, width - kPanel2Width - kPanel3Width - 4);
    switch (number) {
    case 1:
        return QRect(0, 2, first, Height - 2);
    case 2:
        return QRect(first + 2, 2, kPanel2Width, Height - 2);
    default:
        return QRect(first + kPanel2Width + 4, 2, kPanel3Width, Height - 2);
    }
}

// Panel edges are in the window's coordinates: the bar spans the window's width from x 0. They
// follow from the bar's own geometry, which is right as soon as it is set, even before the bar
// is shown and its panels are laid out.
int StatusBarWidget::PanelLeft(int number) const
{
    panel(number);
    return x() + panelRect(number, width()).x();
}

int StatusBarWidget::PanelWidth(int number) const
{
    panel(number);
    return panelRect(number, width()).width();
}

void StatusBarWidget::resizeEvent(QResizeEvent* event)
{
    for (int number = 1; number <= panels_.size(); ++number)
        panels_[number - 1]->setGeometry(panelRect(number, event->size().width()));
}

ProgressBarWidget::ProgressBarWidget(QWidget* parent)
    : QProgressBar(parent)
{
    setObjectName(QStringLiteral("pgbStatus"));
    setTextVisible(false);
    QProgressBar::setRange(0, 1000);
    QProgressBar::setValue(0);
}

void ProgressBarWidget::SetMin(double min)
{
    min_ = min;
    show();
}

void ProgressBarWidget::SetMax(double max)
{
    max_ = max;
    show();
}

void ProgressBarWidget::SetValue(double value)
{
    value_ = value;
    show();
}

// Shown in thousandths of the range, so that any range (even an empty one) and any value
// display sensibly: a range of one value shows full once that value is reached.
void ProgressBarWidget::show()
{
    double fraction = max_ > min_ ? (value_ - min_) / (max_ - min_) : (value_ >= max_ ? 1.0 : 0.0);
    fraction = std::clamp(fraction, 0.0, 1.0);
    QProgressBar::setValue(static_cast<int>(std::lround(fraction * 1000)));
}

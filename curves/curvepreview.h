#pragma once
// The preview of a curve made from a tank's shape or strapping table, as the dialogs that make
// one show it before it fills the grid: the true curve as a line, the chosen points on it, and
// one line of text with the points used and the largest error, or why no curve was made.

#include "curves/curvefit.h"
#include "graph/chartsetup.h"

#include <QWidget>

class QLabel;
class QLineSeries;
class QScatterSeries;

namespace kaldor {

class CurvePreview : public QWidget {
    Q_OBJECT
public:
    explicit CurvePreview(QWidget* parent = nullptr);

    // Draws the fit's true curve (when it has one) and its points, and states its summary.
    void showFit(const CurveFit& fit);
    // Draws nothing and says that the curve is being worked out.
    void showComputing();
    static QString computingText();
    QString summary() const;

private:
    QLineSeries* m_truth = nullptr;
    QScatterSeries* m_points = nullptr;
    CurveChart m_chart;
    QLabel* m_summary = nullptr;
};

} // namespace kaldor

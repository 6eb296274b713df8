#pragma once
// The frame every curve chart shares (the graph, the curve dialogs' preview, the comparison of
// a file with the meter): the percentage of full scale along the bottom, the value up the left,
// both with ticks placed by the scale graphdata works out, and the series drawn against both.

#include <QList>
#include <QPointF>
#include <QString>

class QChart;
class QChartView;
class QValueAxis;
class QWidget;
class QXYSeries;

namespace kaldor {

struct AxisScale;

struct CurveChart {
    QChart* chart = nullptr;
    QValueAxis* percentAxis = nullptr; // bottom
    QValueAxis* valueAxis = nullptr;   // left
};

// A chart holding the series in this order (the theme colours them as they are added), each
// attached to both axes; an empty title leaves that axis untitled.
CurveChart makeCurveChart(const QList<QXYSeries*>& series, const QString& percentTitle,
                          const QString& valueTitle);
// The chart in a view of its own, drawn antialiased.
QChartView* makeChartView(QChart* chart, QWidget* parent);

// Sets a chart axis to a scale worked out by graphdata.
void applyAxisScale(QValueAxis* axis, const AxisScale& scale);
// Both axes of the chart scaled to the points.
void scaleCurveAxes(const CurveChart& chart, const QList<QPointF>& points);

} // namespace kaldor

#pragma once
// The graphit window, "Graph Data": one tank's curve as a line of VALUE over the percentage of
// full scale, each point marked; hovering a marker shows its numbers. It has no behaviour of
// its own: the editor and the viewer check their curve and fill it, each later fill replacing
// the curve it shows. It is never modal.

#include <QList>
#include <QPointF>
#include <QWidget>

class QLabel;
class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace kaldor {

class GraphWindow : public QWidget {
    Q_OBJECT
public:
    explicit GraphWindow(QWidget* parent = nullptr);

    // Draws these points (from graphPoints), scales both axes to them, and shows and raises
    // the window. Without points nothing changes and the window is not shown; returns whether
    // it drew.
    bool showCurve(const QList<QPointF>& points);

private:
    void showHovered(const QPointF& point, bool entered);

    QChart* m_chart = nullptr;
    QLineSeries* m_line = nullptr;
    QScatterSeries* m_markers = nullptr;
    QValueAxis* m_percentAxis = nullptr;
    QValueAxis* m_valueAxis = nullptr;
    QLabel* m_hovered = nullptr;
};

} // namespace kaldor

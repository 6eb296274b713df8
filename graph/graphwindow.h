#pragma once
// The graphit window, "Graph Data": one tank's curve as a line of VALUE over the percentage of
// full scale, each point marked; hovering a marker shows its numbers. It has no behaviour of
// its own: the editor and the viewer check their curve and fill it, each later fill replacing
// the curve it shows. It is never modal. Given the true curve of the tank (from its shape or
// its strapping table), it draws that under the points and the error of the meter's lines
// along the level on an axis of its own at the right, with a legend that names the three
// lines. Above the chart it names the tank it draws; its title stays "Graph Data".

#include "graph/chartsetup.h"

#include <QList>
#include <QPointF>
#include <QVector>
#include <QWidget>

class QLabel;
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
    // it drew. truth: the true value at each 0.01 % step, or nothing. caption: the tank drawn,
    // from graphCaption.
    bool showCurve(const QList<QPointF>& points, const QVector<double>& truth = {},
                   const QString& caption = {});

private:
    void showHovered(const QPointF& point, bool entered);

    QLineSeries* m_line = nullptr;
    QScatterSeries* m_markers = nullptr;
    QLineSeries* m_truth = nullptr;
    QLineSeries* m_error = nullptr;
    CurveChart m_chart;
    QValueAxis* m_errorAxis = nullptr; // right
    QLabel* m_hovered = nullptr;
    QLabel* m_caption = nullptr;
};

} // namespace kaldor

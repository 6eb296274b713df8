#include "graph/chartsetup.h"

#include "graph/graphdata.h"

#include <QChart>
#include <QChartView>
#include <QValueAxis>
#include <QXYSeries>

#include <algorithm>

namespace kaldor {

CurveChart makeCurveChart(const QList<QXYSeries*>& series, const QString& percentTitle,
                          const QString& valueTitle)
{
    CurveChart c;
    c.chart = new QChart;
    for (QXYSeries* s : series)
        c.chart->addSeries(s);
    c.percentAxis = new QValueAxis;
    c.valueAxis = new QValueAxis;
    if (!percentTitle.isEmpty()) c.percentAxis->setTitleText(percentTitle);
    if (!valueTitle.isEmpty()) c.valueAxis->setTitleText(valueTitle);
    for (QValueAxis* axis : {c.percentAxis, c.valueAxis})
        axis->setTickType(QValueAxis::TicksDynamic);
    c.chart->addAxis(c.percentAxis, Qt::AlignBottom);
    c.chart->addAxis(c.valueAxis, Qt::AlignLeft);
    for (QXYSeries* s : series) {
        s->attachAxis(c.percentAxis);
        s->attachAxis(c.valueAxis);
    }
    return c;
}

QChartView* makeChartView(QChart* chart, QWidget* parent)
{
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

void applyAxisScale(QValueAxis* axis, const AxisScale& scale)
{
    // The axis lays out a label for each tick at every step: an interval wider than both the old
    // range and the new one comes first, so that a fine interval never meets a wide range (a
    // 0.1 interval over 0 .. 1100 is ten thousand labels and seconds of work).
    axis->setTickInterval(
        std::max({scale.tickInterval, axis->max() - axis->min(), scale.max - scale.min}));
    axis->setRange(scale.min, scale.max);
    axis->setTickAnchor(0);
    axis->setTickInterval(scale.tickInterval);
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(scale.decimals));
}

void scaleCurveAxes(const CurveChart& chart, const QList<QPointF>& points)
{
    applyAxisScale(chart.percentAxis, percentAxisScale(points));
    applyAxisScale(chart.valueAxis, valueAxisScale(points));
}

} // namespace kaldor

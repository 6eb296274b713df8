#include "curves/curvepreview.h"

#include "curves/curvesource.h"
#include "graph/graphdata.h"

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QVBoxLayout>

namespace kaldor {

namespace {

// Every fifth step is plenty for a line a few hundred pixels wide, and keeps a redraw cheap.
constexpr int kPreviewStride = 5;
constexpr qreal kMarkerSize = 6;
constexpr QSize kChartSize(360, 240);

} // namespace

CurvePreview::CurvePreview(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("curvePreview"));
    m_truth = new QLineSeries;
    m_truth->setObjectName(QStringLiteral("previewTruth"));
    m_points = new QScatterSeries;
    m_points->setObjectName(QStringLiteral("previewPoints"));
    m_points->setMarkerSize(kMarkerSize);

    m_chart = makeCurveChart({m_truth, m_points}, QStringLiteral("%"), {});
    m_chart.chart->legend()->hide();
    m_chart.chart->setMargins(QMargins(2, 2, 2, 2));

    QChartView* view = makeChartView(m_chart.chart, this);
    view->setMinimumSize(kChartSize);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("fitSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view, 1);
    layout->addWidget(m_summary);
}

void CurvePreview::showFit(const CurveFit& fit)
{
    const QList<QPointF> truth = truthLine(fit.truth, kPreviewStride);
    QList<QPointF> points;
    points.reserve(fit.points.size());
    for (const LevelPoint& p : fit.points)
        points.append({p.percent(), double(p.value)});
    m_truth->replace(truth);
    m_points->replace(points);
    const QList<QPointF> all = truth + points;
    scaleCurveAxes(m_chart, all);
    m_summary->setText(curveFitSummary(fit));
}

void CurvePreview::showComputing()
{
    m_truth->clear();
    m_points->clear();
    m_summary->setText(computingText());
}

QString CurvePreview::computingText()
{
    return QStringLiteral("Working out the curve…");
}

QString CurvePreview::summary() const
{
    return m_summary->text();
}

} // namespace kaldor

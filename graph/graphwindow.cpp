#include "graph/graphwindow.h"

#include "graph/graphdata.h"
#include "store/textrules.h"
#include "ui/escapecloses.h"

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace kaldor {

namespace {

constexpr QSize kSize(640, 480);
constexpr qreal kMarkerSize = 8;
constexpr qreal kTruthWidth = 3;

} // namespace

GraphWindow::GraphWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("graphit"));
    setWindowTitle(QStringLiteral("Graph Data"));
    closeOnEscape(this);
    resize(kSize);

    // The line carries the curve; the markers are a series of their own so that each point
    // reports its own hovering.
    m_line = new QLineSeries;
    m_line->setObjectName(QStringLiteral("curveLine"));
    m_markers = new QScatterSeries;
    m_markers->setMarkerSize(kMarkerSize);

    // The true curve goes in first, so that the points' line is drawn over it.
    m_truth = new QLineSeries;
    m_truth->setObjectName(QStringLiteral("trueCurve"));
    m_error = new QLineSeries;
    m_error->setObjectName(QStringLiteral("errorAlongLevel"));

    m_chart = makeCurveChart({m_truth, m_line, m_markers},
                             QStringLiteral("PERCENTAGE OF FULL SCALE"), QStringLiteral("UNITS"));
    QChart* chart = m_chart.chart;
    m_markers->setColor(m_line->color()); // the theme colours series as they are added
    m_markers->setBorderColor(m_line->color());
    chart->addSeries(m_error);
    // The legend is shown with the true curve, where three lines need telling apart; the
    // markers are the points' line and have no entry of their own.
    m_truth->setName(QStringLiteral("True curve"));
    m_line->setName(QStringLiteral("Meter's curve (points)"));
    m_error->setName(QStringLiteral("Meter's error (right axis)"));
    for (QLegendMarker* marker : chart->legend()->markers(m_markers))
        marker->setVisible(false);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->hide();
    QPen truthPen(Qt::darkGray);
    truthPen.setWidthF(kTruthWidth);
    m_truth->setPen(truthPen);
    m_error->setPen(QPen(Qt::red));

    m_errorAxis = new QValueAxis;
    m_errorAxis->setTitleText(QStringLiteral("ERROR (UNITS)"));
    m_errorAxis->setLabelsColor(Qt::red);
    m_errorAxis->setGridLineVisible(false); // the value axis's grid is the chart's
    m_errorAxis->setTickType(QValueAxis::TicksDynamic);
    chart->addAxis(m_errorAxis, Qt::AlignRight);
    m_error->attachAxis(m_chart.percentAxis);
    m_error->attachAxis(m_errorAxis);
    m_errorAxis->setVisible(false);

    QChartView* view = makeChartView(chart, this);
    view->setObjectName(QStringLiteral("Graph1"));

    m_hovered = new QLabel(this);
    m_hovered->setObjectName(QStringLiteral("hoveredPoint"));

    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("graphTank"));
    QFont captionFont = m_caption->font();
    captionFont.setBold(true);
    m_caption->setFont(captionFont);
    m_caption->setAlignment(Qt::AlignHCenter);
    m_caption->setWordWrap(true); // a shape's long description does not widen the window
    m_caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_caption->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_caption);
    layout->addWidget(view, 1);
    layout->addWidget(m_hovered);

    connect(m_markers, &QXYSeries::hovered, this, &GraphWindow::showHovered);
}

bool GraphWindow::showCurve(const QList<QPointF>& points, const QVector<double>& truth,
                            const QString& caption)
{
    if (points.isEmpty()) return false;
    m_caption->setText(caption);
    m_caption->setVisible(!caption.isEmpty());
    m_line->replace(points);
    m_markers->replace(points);
    const QList<QPointF> truthPoints = truthLine(truth);
    const QList<QPointF> error = errorLine(points, truth);
    m_truth->replace(truthPoints);
    m_error->replace(error);
    scaleCurveAxes(m_chart, points + truthPoints);
    m_errorAxis->setVisible(!error.isEmpty());
    m_chart.chart->legend()->setVisible(!error.isEmpty());
    if (!error.isEmpty()) {
        // The error's axis keeps 0 in view, so that the line reads against it.
        const AxisScale errorScale = valueAxisScale(error + QList<QPointF>{{0, 0}});
        applyAxisScale(m_errorAxis, errorScale);
    }
    m_hovered->clear();
    show();
    raise();
    activateWindow();
    return true;
}

// The chart reports the hovered marker's place as mapped back from the screen; the numbers
// shown are those of the curve point nearest to it.
void GraphWindow::showHovered(const QPointF& point, bool entered)
{
    const QList<QPointF> points = m_markers->points();
    if (!entered || points.isEmpty()) {
        m_hovered->clear();
        return;
    }
    const double xSpan = m_chart.percentAxis->max() - m_chart.percentAxis->min();
    const double ySpan = m_chart.valueAxis->max() - m_chart.valueAxis->min();
    const auto distance = [&](const QPointF& p) {
        const double dx = (p.x() - point.x()) / xSpan;
        const double dy = (p.y() - point.y()) / ySpan;
        return dx * dx + dy * dy;
    };
    const QPointF nearest =
        *std::min_element(points.begin(), points.end(), [&](const QPointF& a, const QPointF& b) {
            return distance(a) < distance(b);
        });
    m_hovered->setText(QStringLiteral("%1 % of full scale: %2 units")
                           .arg(plainNumber(nearest.x()), plainNumber(nearest.y())));
}

} // namespace kaldor

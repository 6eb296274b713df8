#include "viewer/comparewindow.h"

#include "editor/curvegrid.h"
#include "graph/chartsetup.h"
#include "graph/graphdata.h"
#include "link/exchangemessages.h"
#include "link/link.h"
#include "store/celltexts.h"
#include "store/indicatortanks.h"
#include "store/tankfile.h"
#include "ui/dialogs.h"
#include "ui/showmessages.h"

#include <QChartView>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kaldor {

namespace {

constexpr QSize kSize(1100, 640);

QString heading(const QString& side)
{
    return side.left(1).toUpper() + side.mid(1);
}

// The grid's texts and the chart's points of one side's record; nothing when the side lacks it.
QList<QPointF> fill(CurveGrid* grid, const QVector<TankRecord>& records, int index, bool offsetMode)
{
    CurveTable table;
    int points = 0;
    if (index >= 0) points = fillCurveTable(table, records[index], offsetMode);
    grid->setTable(table);
    return graphPoints(table, points);
}

CurveGrid* sideGrid(QWidget* parent, const char* name, const QString& heading)
{
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(heading, box));
    auto* grid = new CurveGrid(box);
    grid->setObjectName(QLatin1String(name));
    layout->addWidget(grid, 1);
    return grid;
}

} // namespace

CompareWindow::CompareWindow(const QString& fileName, QVector<TankRecord> file,
                             QVector<TankRecord> meter, bool offsetMode, QWidget* parent,
                             CompareSides sides)
    : QWidget(parent, Qt::Window), m_file(std::move(file)), m_meter(std::move(meter)),
      m_offsetMode(offsetMode), m_sides(std::move(sides)), m_pairs(pairTanks(m_file, m_meter))
{
    setObjectName(QStringLiteral("cmpmeter"));
    setWindowTitle(m_sides.caption + QStringLiteral(": ") + fileName);
    resize(kSize);

    m_tanks = new QTableWidget(int(m_pairs.size()), 2, this);
    m_tanks->setObjectName(QStringLiteral("tblTanks"));
    m_tanks->setHorizontalHeaderLabels({QStringLiteral("Tank"), QStringLiteral("State")});
    m_tanks->verticalHeader()->hide();
    m_tanks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tanks->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tanks->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < m_pairs.size(); ++row) {
        const TankPair& p = m_pairs[row];
        m_tanks->setItem(row, 0, new QTableWidgetItem(tankListText(p.tankNumber)));
        m_tanks->setItem(
            row, 1, new QTableWidgetItem(tankStateText(p.state, m_sides.nameA, m_sides.nameB)));
    }
    m_tanks->resizeColumnsToContents();
    m_tanks->setFixedWidth(m_tanks->horizontalHeader()->length() + 2 * m_tanks->frameWidth() +
                           m_tanks->verticalScrollBar()->sizeHint().width());

    m_fileSeries = new QLineSeries;
    m_fileSeries->setName(heading(m_sides.nameA));
    m_fileSeries->setPointsVisible(true);
    m_meterSeries = new QLineSeries;
    m_meterSeries->setName(heading(m_sides.nameB));
    m_meterSeries->setPointsVisible(true);
    m_chart = makeCurveChart({m_fileSeries, m_meterSeries},
                             QStringLiteral("PERCENTAGE OF FULL SCALE"), QStringLiteral("UNITS"));
    QChartView* chartView = makeChartView(m_chart.chart, this);
    chartView->setObjectName(QStringLiteral("chartCompare"));

    m_difference = new QLabel(this);
    m_difference->setObjectName(QStringLiteral("lblDifference"));
    m_difference->setWordWrap(true);
    auto* grids = new QWidget(this);
    auto* gridRow = new QHBoxLayout(grids);
    gridRow->setContentsMargins(0, 0, 0, 0);
    m_fileGrid = sideGrid(grids, "gridFile", heading(m_sides.nameA));
    m_meterGrid = sideGrid(grids, "gridMeter", heading(m_sides.nameB));
    gridRow->addWidget(m_fileGrid->parentWidget());
    gridRow->addWidget(m_meterGrid->parentWidget());

    auto* right = new QVBoxLayout;
    right->addWidget(chartView, 3);
    right->addWidget(m_difference);
    right->addWidget(grids, 2);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_tanks);
    layout->addLayout(right, 1);

    connect(m_tanks, &QTableWidget::currentCellChanged, this, [this](int row) { showTank(row); });
}

void CompareWindow::showTank(int row)
{
    if (row < 0 || row >= m_pairs.size()) return;
    if (m_tanks->currentRow() != row)
        m_tanks->setCurrentCell(row, 0); // shows it through currentCellChanged
    const TankPair& p = m_pairs[row];
    const QList<QPointF> filePoints = fill(m_fileGrid, m_file, p.indexA, m_offsetMode);
    const QList<QPointF> meterPoints = fill(m_meterGrid, m_meter, p.indexB, m_offsetMode);
    m_fileSeries->replace(filePoints);
    m_meterSeries->replace(meterPoints);
    scaleCurveAxes(m_chart, filePoints + meterPoints);

    QList<GridCell> highlighted;
    QString difference = tankStateText(p.state, m_sides.nameA, m_sides.nameB);
    if (p.state == TankState::Changed) {
        for (const CellDifference& d :
             differingCells(m_file[p.indexA], m_meter[p.indexB], m_offsetMode)) {
            if (d.value) highlighted.append({d.point, CurveTable::kValueColumn});
            if (d.percent) highlighted.append({d.point, CurveTable::kPercentColumn});
        }
        const QVector<TankDifference> first =
            compareTankRecords({m_file[p.indexA]}, {m_meter[p.indexB]}, m_offsetMode);
        if (!first.isEmpty())
            difference = differenceLine(first.constFirst(), m_sides.nameA, m_sides.nameB);
    }
    m_fileGrid->setHighlighted(highlighted);
    m_meterGrid->setHighlighted(highlighted);
    m_difference->setText(difference);
}

bool compareWithMeter(Link& link, Dialogs& dialogs, QWidget* window, const QString& file,
                      bool offsetMode, QProgressBar* bar)
{
    if (file.isEmpty()) {
        dialogs.message(window, QStringLiteral("No file selected"));
        return false;
    }
    IndicatorTanks tanks = loadIndicatorTanks(file);
    if (!tanks.ok() && tanks.status != TanksStatus::NoTanks) {
        dialogs.message(window, tanks.detail);
        return false;
    }
    const QPointer<QProgressBar> progress(bar);
    const QString name = QFileInfo(file).fileName();
    const bool asked = link.read(
        window,
        [&dialogs, window, progress, name, records = std::move(tanks.records),
         offsetMode](const ExchangeResult& r, const IndicatorImage& image) {
            if (progress) progress->setVisible(false);
            if (!r.done()) {
                showMessages(dialogs, window, downloadMessages(r, DownloadVariant::MainWindow));
                return;
            }
            const DecodeResult meter = decodeTankRecords(image);
            if (!meter.ok()) {
                dialogs.message(window,
                                QStringLiteral("The meter's image cannot be read as tanks: ") +
                                    meter.detail);
                return;
            }
            auto* compare = new CompareWindow(name, records, meter.records, offsetMode, window);
            compare->setAttribute(Qt::WA_DeleteOnClose);
            compare->show();
            compare->showTank(0);
        },
        [progress](int percent) {
            if (progress) progress->setValue(percent);
        });
    if (!asked) {
        dialogs.message(window, Link::kBusyMessage);
        return false;
    }
    if (bar) {
        bar->setValue(0);
        bar->setVisible(true);
    }
    return true;
}

} // namespace kaldor

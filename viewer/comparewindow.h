#pragma once
// The cmpmeter window, "Compare with Meter": the tanks of an indicator file beside those the
// meter holds, each with its state (same, changed, only in file, only in meter). The tank the
// user picks is drawn from both sides on one chart, and its points fill two grids side by
// side with the cells that read differently highlighted. The file management window and the
// viewer open it after reading the meter, the history window on two backups; it only shows
// what the store's comparison says.

#include "graph/chartsetup.h"
#include "store/imagecompare.h"
#include "store/tankrecords.h"

#include <QVector>
#include <QWidget>

class QLabel;
class QLineSeries;
class QProgressBar;
class QTableWidget;

namespace kaldor {

class CurveGrid;
class Dialogs;
class Link;

// The title's caption and the sides' names, as the state column and the difference line say
// them ("only in meter"); the grids and the chart's series are headed by them capitalised.
struct CompareSides {
    QString caption = QStringLiteral("Compare with Meter");
    QString nameA = QStringLiteral("file");
    QString nameB = QStringLiteral("meter");
};

class CompareWindow : public QWidget {
    Q_OBJECT
public:
    CompareWindow(const QString& fileName, QVector<TankRecord> file, QVector<TankRecord> meter,
                  bool offsetMode, QWidget* parent = nullptr, CompareSides sides = {});

    const QVector<TankPair>& pairs() const { return m_pairs; }
    // Draws and fills the grids with the tank of this table row.
    void showTank(int row);

private:
    QVector<TankRecord> m_file;
    QVector<TankRecord> m_meter;
    bool m_offsetMode;
    CompareSides m_sides;
    QVector<TankPair> m_pairs; // one per table row

    QTableWidget* m_tanks = nullptr;
    QLabel* m_difference =
        nullptr; // the first difference of the tank shown, as kaldorctl diff says it
    CurveGrid* m_fileGrid = nullptr;
    CurveGrid* m_meterGrid = nullptr;
    QLineSeries* m_fileSeries = nullptr;
    QLineSeries* m_meterSeries = nullptr;
    CurveChart m_chart;
};

// "Compare with Meter" of a window: the indicator file is checked whole (a file that cannot be
// read is refused with its name and the reason, and the meter is not read), the meter is read
// with the window's progress bar (if it has one) running, and the compare window opens over
// the window. Returns false, with the reason shown, when nothing was asked of the link.
bool compareWithMeter(Link& link, Dialogs& dialogs, QWidget* window, const QString& file,
                      bool offsetMode, QProgressBar* bar);

} // namespace kaldor

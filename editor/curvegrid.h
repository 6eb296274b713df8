#pragma once
// Grid1, the tank editor's curve grid: 101 rows by 3 columns. Row 0 holds the headings and
// column 0 the point numbers; both stay fixed as the view's headers while the points scroll.
// The grid has no cell editor: every key goes through typeIntoGrid, and the current cell only
// ever lies on a point cell (rows 1 .. 100, VALUE or percentage).

#include "editor/gridtyping.h"
#include "store/curvetable.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QTableView>

namespace kaldor {

// The curve as a table model: row 0 the headings "Pt.", "VALUE" and "    %", column 0 the
// numbers 1 .. 100, the points in rows 1 .. 100 and columns 1 and 2.
class CurveGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kGridRows = CurveTable::kRows + 1;
    static constexpr int kGridColumns = 3;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The view's headers show row 0 and column 0.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const CurveTable& table() const { return m_table; }
    // Takes the new curve and reports the rows whose texts changed.
    void setTable(const CurveTable& table);
    // The heading of column 1: "VALUE" in the editor, " Vol." in the viewer.
    void setValueHeading(const QString& heading);
    // Cells drawn on kHighlight (the points that differ from another curve); none by default.
    void setHighlighted(const QList<GridCell>& cells);
    static const QColor kHighlight;

private:
    CurveTable m_table;
    QList<GridCell> m_highlighted;
    QString m_valueHeading = QStringLiteral("VALUE");
};

class CurveGrid : public QTableView {
    Q_OBJECT
public:
    static constexpr int kColumnTwips = 600; // the least width of the point columns
    static constexpr int kShownRows = 16;    // the point rows the grid shows at its own size

    explicit CurveGrid(QWidget* parent = nullptr);

    const CurveTable& table() const { return m_model->table(); }
    // Refills the points, as when a tank is shown or a file opened; the current cell stays.
    void setTable(const CurveTable& table);

    GridCell currentCell() const;
    void setCurrentCell(GridCell cell);
    // The first point row in view.
    int topRow() const;
    void setTopRow(int row);

    bool offsetCapable() const { return m_offsetCapable; }
    void setOffsetCapable(bool offsetCapable) { m_offsetCapable = offsetCapable; }

    // The Clear menu item: every point emptied, row 1's VALUE current, the keyboard focus here.
    void clearCurve();
    // The first and last point rows of the selection, or the current row when none is selected.
    std::pair<int, int> selectedRows() const;

    void setValueHeading(const QString& heading);
    void setHighlighted(const QList<GridCell>& cells);

    QSize sizeHint() const override;

signals:
    // +1 after a row was inserted, -1 after one was deleted.
    void pointCountChanged(int change);
    // Around each key, Insert, Delete and double-click the grid applies: before it touches the
    // points, and after, with what it did in words ("Typing", "Insert Row", ...).
    void aboutToEdit();
    void edited(const QString& what);

protected:
    // The keys that move the current cell with the view's own navigation.
    static bool isNavigationKey(int key);
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(GridKey key);
    int pointColumnWidth() const;

    CurveGridModel* m_model = nullptr;
    QWidget* m_corner = nullptr;
    bool m_offsetCapable = false;
};

} // namespace kaldor

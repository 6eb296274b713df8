#include "editor/curvegrid.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStylePainter>

#include <algorithm>

namespace kaldor {

namespace {

const QString kNumberHeading = QStringLiteral("Pt.");
const QString kPercentHeading = QStringLiteral("    %");

bool isPointCell(const QModelIndex& index)
{
    return index.isValid() && index.row() >= 1 && index.column() >= CurveTable::kValueColumn;
}

} // namespace

int CurveGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kGridRows;
}

int CurveGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kGridColumns;
}

const QColor CurveGridModel::kHighlight{255, 200, 120};

QVariant CurveGridModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::BackgroundRole && isPointCell(index) &&
        m_highlighted.contains(GridCell{index.row(), index.column()}))
        return kHighlight;
    // Numbers read against each other down a column: right-aligned.
    if (role == Qt::TextAlignmentRole && isPointCell(index))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    if (index.row() == 0) {
        if (index.column() == 0) return kNumberHeading;
        return index.column() == CurveTable::kValueColumn ? m_valueHeading : kPercentHeading;
    }
    if (index.column() == 0) return QString::number(index.row());
    return m_table.text(index.row(), index.column());
}

QVariant CurveGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) return data(index(0, section), role);
    return data(index(section, 0), role);
}

Qt::ItemFlags CurveGridModel::flags(const QModelIndex& index) const
{
    return isPointCell(index) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled;
}

void CurveGridModel::setValueHeading(const QString& heading)
{
    m_valueHeading = heading;
    emit headerDataChanged(Qt::Horizontal, CurveTable::kValueColumn, CurveTable::kValueColumn);
}

void CurveGridModel::setHighlighted(const QList<GridCell>& cells)
{
    m_highlighted = cells;
    emit dataChanged(index(1, CurveTable::kValueColumn),
                     index(CurveTable::kRows, CurveTable::kPercentColumn), {Qt::BackgroundRole});
}

void CurveGridModel::setTable(const CurveTable& table)
{
    int first = 0;
    int last = 0;
    for (int r = 1; r <= CurveTable::kRows; ++r) {
        if (table.value(r) != m_table.value(r) || table.percent(r) != m_table.percent(r)) {
            first = first ? first : r;
            last = r;
        }
    }
    m_table = table;
    if (first)
        emit dataChanged(index(first, CurveTable::kValueColumn),
                         index(last, CurveTable::kPercentColumn), {Qt::DisplayRole});
}

CurveGrid::CurveGrid(QWidget* parent) : QTableView(parent), m_model(new CurveGridModel(this))
{
    setObjectName(QStringLiteral("Grid1"));
    setModel(m_model);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ContiguousSelection); // rows to copy
    setSelectionBehavior(SelectItems);
    setTabKeyNavigation(true);
    setCornerButtonEnabled(false);
    // The heading row and the number column are shown by the headers, which stay in place.
    setRowHidden(0, true);
    setColumnHidden(0, true);
    horizontalHeader()->setSectionsClickable(false);
    verticalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Rows as tall as their text needs, so that many are in view at once.
    const int rowHeight = fontMetrics().height() + 6;
    verticalHeader()->setMinimumSectionSize(rowHeight);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    const int columnWidth = pointColumnWidth();
    setColumnWidth(CurveTable::kValueColumn, columnWidth);
    setColumnWidth(CurveTable::kPercentColumn, columnWidth);

    // The corner above the numbers carries the heading of column 0.
    m_corner = findChild<QAbstractButton*>();
    if (m_corner) m_corner->installEventFilter(this);

    setCurrentCell(GridCell{});
}

void CurveGrid::setTable(const CurveTable& table)
{
    m_model->setTable(table);
}

GridCell CurveGrid::currentCell() const
{
    const QModelIndex index = currentIndex();
    if (!isPointCell(index)) return GridCell{};
    return GridCell{index.row(), index.column()};
}

void CurveGrid::setCurrentCell(GridCell cell)
{
    const int row = std::clamp(cell.row, 1, int(CurveTable::kRows));
    const int column = cell.column == CurveTable::kPercentColumn ? CurveTable::kPercentColumn
                                                                 : CurveTable::kValueColumn;
    setCurrentIndex(m_model->index(row, column));
}

int CurveGrid::topRow() const
{
    return std::max(rowAt(0), 1);
}

void CurveGrid::setTopRow(int row)
{
    scrollTo(m_model->index(std::clamp(row, 1, int(CurveTable::kRows)), currentCell().column),
             PositionAtTop);
}

void CurveGrid::clearCurve()
{
    CurveTable table = m_model->table();
    const GridCell cell = clearGrid(table);
    m_model->setTable(table);
    setCurrentCell(cell);
    setFocus();
}

void CurveGrid::setHighlighted(const QList<GridCell>& cells)
{
    m_model->setHighlighted(cells);
}

std::pair<int, int> CurveGrid::selectedRows() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    int first = CurveTable::kRows + 1;
    int last = 0;
    for (const QModelIndex& index : selected) {
        if (!isPointCell(index)) continue;
        first = std::min(first, index.row());
        last = std::max(last, index.row());
    }
    if (last == 0) return {currentCell().row, currentCell().row};
    return {first, last};
}

void CurveGrid::setValueHeading(const QString& heading)
{
    m_model->setValueHeading(heading);
    const int columnWidth = pointColumnWidth();
    setColumnWidth(CurveTable::kValueColumn, columnWidth);
    setColumnWidth(CurveTable::kPercentColumn, columnWidth);
}

int CurveGrid::pointColumnWidth() const
{
    // 600 twips, unless the font needs more for the widest texts the cells and headings show.
    const int margin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 2;
    const QFontMetrics cells = fontMetrics();
    const QFontMetrics headings = horizontalHeader()->fontMetrics();
    return std::max({kColumnTwips * logicalDpiX() / 1440,
                     cells.horizontalAdvance(QStringLiteral(" 99.99")) + margin,
                     cells.horizontalAdvance(QStringLiteral("-32767")) + margin,
                     headings.horizontalAdvance(
                         m_model->headerData(CurveTable::kValueColumn, Qt::Horizontal).toString()) +
                         margin});
}

QSize CurveGrid::sizeHint() const
{
    const int frame = 2 * frameWidth();
    const int width = verticalHeader()->sizeHint().width() + columnWidth(CurveTable::kValueColumn) +
                      columnWidth(CurveTable::kPercentColumn) +
                      verticalScrollBar()->sizeHint().width() + frame;
    const int height = horizontalHeader()->sizeHint().height() + kShownRows * rowHeight(1) + frame;
    return {width, height};
}

bool CurveGrid::isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

void CurveGrid::keyPressEvent(QKeyEvent* event)
{
    if (isNavigationKey(event->key())) {
        QTableView::keyPressEvent(event); // the view's own cell navigation
        return;
    }
    switch (event->key()) {
    case Qt::Key_Insert:
    case Qt::Key_Delete:
        event->accept(); // these act when the key is let go
        return;
    case Qt::Key_Backspace:
        apply(GridKey::typed(kBackspaceCode));
        event->accept();
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() != 1) {
        event->ignore();
        return;
    }
    apply(GridKey::typed(text.front().unicode()));
    event->accept();
}

void CurveGrid::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat() ||
        (event->key() != Qt::Key_Insert && event->key() != Qt::Key_Delete)) {
        QTableView::keyReleaseEvent(event);
        return;
    }
    apply(event->key() == Qt::Key_Insert ? GridKey::insertReleased() : GridKey::deleteReleased());
    event->accept();
}

void CurveGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event); // the press has made the clicked cell current
    apply(GridKey::doubleClick());
}

bool CurveGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_corner || event->type() != QEvent::Paint)
        return QTableView::eventFilter(watched, event);
    QStyleOptionHeader option;
    option.initFrom(this); // the corner button itself is disabled, its heading is not
    option.rect = m_corner->rect();
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.textAlignment = Qt::AlignCenter;
    option.text = m_model->headerData(0, Qt::Horizontal).toString();
    QStylePainter painter(m_corner);
    painter.drawControl(QStyle::CE_Header, option);
    return true;
}

void CurveGrid::apply(GridKey key)
{
    emit aboutToEdit();
    CurveTable table = m_model->table();
    const GridStep step = typeIntoGrid(table, key, m_offsetCapable, currentCell(), topRow());
    m_model->setTable(table);
    if (step.topRow != topRow()) setTopRow(step.topRow);
    setCurrentCell(step.cell);
    if (step.pointCountChange != 0) emit pointCountChanged(step.pointCountChange);
    switch (key.kind) {
    case GridKey::Kind::Typed:
        emit edited(QStringLiteral("Typing"));
        break;
    case GridKey::Kind::InsertReleased:
        emit edited(QStringLiteral("Insert Row"));
        break;
    case GridKey::Kind::DeleteReleased:
        emit edited(QStringLiteral("Delete Row"));
        break;
    case GridKey::Kind::DoubleClick:
        emit edited(QStringLiteral("Empty Cell"));
        break;
    }
}

} // namespace kaldor

#include "viewer/viewerwindow.h"

#include "editor/curvegrid.h"
#include "graph/graphdata.h"
#include "graph/graphwindow.h"
#include "link/exchangemessages.h"
#include "link/link.h"
#include "link/upload.h"
#include "store/celltexts.h"
#include "store/curvecheck.h"
#include "store/indicatortanks.h"
#include "store/messages.h"
#include "store/offsetmode.h"
#include "store/tankfile.h"
#include "store/workingfile.h"
#include "ui/dialogs.h"
#include "ui/sendimage.h"
#include "ui/showmessages.h"
#include "viewer/comparewindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QVBoxLayout>

namespace kaldor {

namespace {

constexpr int kListWidth = 120;

const QString kCaption = QStringLiteral("Indicator/Tank Data");

// Grid1 as the viewer shows it: the points can be looked at and scrolled through, never typed
// into.
class ViewerGrid : public CurveGrid {
public:
    explicit ViewerGrid(QWidget* parent) : CurveGrid(parent) {}

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (isNavigationKey(event->key()))
            CurveGrid::keyPressEvent(event);
        else
            event->ignore();
    }
    void keyReleaseEvent(QKeyEvent* event) override { QTableView::keyReleaseEvent(event); }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        QTableView::mouseDoubleClickEvent(event);
    }
};

} // namespace

ViewerWindow::ViewerWindow(Link& link, Dialogs& dialogs, bool offsetMode, const QString& file,
                           QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_link(link), m_dialogs(dialogs), m_offsetMode(offsetMode),
      m_file(file)
{
    setObjectName(QStringLiteral("edtnk"));
    setWindowTitle(titleFor(kCaption, offsetMode));

    auto* central = new QWidget(this);
    setCentralWidget(central);
    m_list = new QListWidget(central);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setFixedWidth(kListWidth);
    m_grid = new ViewerGrid(central);
    m_grid->setValueHeading(QStringLiteral(" Vol."));
    m_shown = new QLabel(central);
    m_shown->setObjectName(QStringLiteral("Label1"));
    m_name = new QLabel(QFileInfo(file).fileName(), central);
    m_name->setObjectName(QStringLiteral("Label3"));
    m_status = new QLineEdit(central);
    m_status->setObjectName(QStringLiteral("Text1"));
    m_status->setReadOnly(true);
    m_status->setVisible(false);
    m_progress = new QProgressBar(central);
    m_progress->setObjectName(QStringLiteral("pbEdit"));
    m_progress->setRange(0, 100);
    m_progress->setVisible(false);

    auto* left = new QVBoxLayout;
    left->addWidget(m_name);
    left->addWidget(m_list, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(m_shown);
    right->addWidget(m_grid, 1);
    right->addWidget(m_status);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(columns, 1);
    layout->addWidget(m_progress);

    auto item = [this](const char* name, const QString& caption, void (ViewerWindow::*slot)()) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        menuBar()->addAction(a);
        connect(a, &QAction::triggered, this, slot);
    };
    item("agraph", QStringLiteral("&Graph"), &ViewerWindow::graphCurve);
    item("aview", QStringLiteral("&View"), &ViewerWindow::displayTank);
    item("smeter", QStringLiteral("&Send File to Meter"), &ViewerWindow::sendFile);
    item("compareMeter", QStringLiteral("Co&mpare with Meter"), &ViewerWindow::compareWithMeter);
    auto* closing = new QAction(QStringLiteral("&Close"), this);
    closing->setObjectName(QStringLiteral("aclose"));
    menuBar()->addAction(closing);
    connect(closing, &QAction::triggered, this, &QWidget::close);
    // Every item of the menu bar in view, none behind its overflow arrow.
    setMinimumWidth(menuBar()->sizeHint().width());

    connect(m_list, &QListWidget::itemDoubleClicked, this, &ViewerWindow::displayTank);
}

bool ViewerWindow::load()
{
    show();
    raise();
    activateWindow();
    m_grid->setCurrentCell(GridCell{});

    IndicatorTanks tanks = loadIndicatorTanks(m_file);
    switch (tanks.status) {
    case TanksStatus::Ok:
        m_records = std::move(tanks.records);
        break;
    case TanksStatus::EndOfData:
    case TanksStatus::NoTanks:
        m_dialogs.message(this, tanks.message);
        break;
    case TanksStatus::NotFound:
    case TanksStatus::Failed:
        // Nothing of such a file can be shown: the viewer closes and the program goes on.
        m_dialogs.message(this, tanks.status == TanksStatus::NotFound
                                    ? QStringLiteral("Get Indicator data first ")
                                    : tanks.message);
        close();
        return false;
    }
    QStringList entries;
    entries.reserve(m_records.size());
    for (const TankRecord& record : std::as_const(m_records))
        entries.append(tankListText(record.tankNumber));
    m_list->addItems(entries);
    return true;
}

void ViewerWindow::displayTank()
{
    CurveTable table;
    m_grid->setTable(table);
    m_grid->setCurrentCell(GridCell{});
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        m_dialogs.message(this, QStringLiteral("Nothing selected"));
        return;
    }
    QListWidgetItem* entry = selected.constFirst();
    m_shown->setText(entry->text());
    fillCurveTable(table, m_records.at(m_list->row(entry)), m_offsetMode);
    m_grid->setTable(table);
}

// The viewer's shorter check: a curve whose last percentage is not 99.99, or that falls, is
// drawn; the check still orders the grid.
void ViewerWindow::graphCurve()
{
    m_status->setText(QStringLiteral("Checking data order."));
    m_status->setVisible(true);
    CurveTable table = m_grid->table();
    const CurveCheck check = validateCurve(table, CheckForm::Viewer);
    m_status->setVisible(false);
    m_status->clear();
    m_grid->setTable(table);
    m_grid->setCurrentCell(check.currentCell);
    showMessages(m_dialogs, this, check.messages);
    if (!check.curveValid || !check.pointCount) return;
    if (!m_graph) {
        m_graph = new GraphWindow(this);
        m_graph->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_graph->showCurve(graphPoints(table, *check.pointCount), {},
                       graphCaption(m_shown->text(), QStringLiteral("file ") + m_name->text()));
}

void ViewerWindow::sendFile()
{
    if (m_file.isEmpty()) {
        m_dialogs.message(this, QStringLiteral("No file selected"));
        return;
    }
    sendIndicatorFile(m_link, m_dialogs, this, m_file, UploadVariant::Viewer, m_offsetMode,
                      WriteView{m_progress, m_status});
}

void ViewerWindow::compareWithMeter()
{
    kaldor::compareWithMeter(m_link, m_dialogs, this, m_file, m_offsetMode, m_progress);
}

// Closing removes the working file, also when the viewer showed another file.
void ViewerWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    QFile working(workingFilePath());
    if (working.exists() && !working.remove()) {
        const int error = working.error() == QFileDevice::PermissionsError ? err::kPermissionDenied
                                                                           : err::kPathAccess;
        m_dialogs.message(this,
                          QStringLiteral("Error :") + strNumber(static_cast<long long>(error)));
    }
    emit closed();
}

} // namespace kaldor

#include "editor/editorwindow.h"

#include "curves/curvecsv.h"
#include "curves/curvesourcedialog.h"
#include "curves/shapedialog.h"
#include "editor/curvegrid.h"
#include "editor/gridpaste.h"
#include "editor/tanknumberprompt.h"
#include "editor/tanksend.h"
#include "graph/graphdata.h"
#include "graph/graphwindow.h"
#include "link/exchangemessages.h"
#include "link/link.h"
#include "sheet/sheetpainter.h"
#include "store/atomicfile.h"
#include "store/celltexts.h"
#include "store/fileextensions.h"
#include "store/indicatortanks.h"
#include "store/offsetmode.h"
#include "store/tankfile.h"
#include "store/workingfile.h"
#include "ui/dialogs.h"
#include "ui/sendimage.h"
#include "ui/showmessages.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPrinter>
#include <QProgressBar>
#include <QScreen>
#include <QUndoStack>

namespace kaldor {

namespace {

const QString kChecking = QStringLiteral("Checking data order.");

const QString kCaption = QStringLiteral("Edit Tank Data");

FileDialog tankFileDialog(const QString& title)
{
    FileDialog d;
    d.title = title;
    d.filter = QStringLiteral("Tank (*.tnk)");
    d.defaultSuffix = QStringLiteral("tnk");
    d.confirmOverwrite = true;
    return d;
}

FileDialog saveDialog(const QString& title, const QString& filter, const QString& suffix)
{
    FileDialog d;
    d.title = title;
    d.filter = filter;
    d.defaultSuffix = suffix;
    d.confirmOverwrite = true;
    return d;
}

// The platform's keys for a standard action, less those on Insert or Delete: the grid inserts
// and deletes rows when those keys are let go, whatever modifier is held.
QList<QKeySequence> shortcutsFor(QKeySequence::StandardKey key)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    keys.removeIf([](const QKeySequence& k) {
        const Qt::Key pressed = k[0].key();
        return pressed == Qt::Key_Insert || pressed == Qt::Key_Delete;
    });
    return keys;
}

QString fileSource(const QString& path)
{
    return QStringLiteral("file ") + QFileInfo(path).fileName();
}

// Rows of the grid in view as the editor opens; the grid takes the height the window is given.
constexpr int kRowsInView = 26;

const QString kImageSource = QStringLiteral("the meter's image, ");

bool isEnter(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// A widget that keeps its place in the layout while hidden, so that nothing around it moves.
void keepPlace(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

} // namespace

EditorWindow::EditorWindow(Link& link, Dialogs& dialogs, bool offsetMode, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_link(link), m_dialogs(dialogs), m_offsetMode(offsetMode)
{
    setObjectName(QStringLiteral("atnkfrm"));
    setWindowTitle(titleFor(kCaption, m_offsetMode));
    buildControls();
    buildMenus();
    // Opens with kRowsInView rows of the grid in view, where the screen has room for them.
    QSize size = sizeHint();
    size.rheight() +=
        (kRowsInView - CurveGrid::kShownRows) * m_grid->verticalHeader()->defaultSectionSize();
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
}

EditorWindow::~EditorWindow() = default;

const CurveTable& EditorWindow::table() const
{
    return m_grid->table();
}

GraphWindow* EditorWindow::graphWindow() const
{
    return m_graph;
}

void EditorWindow::buildControls()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);

    auto* listHeading = new QLabel(QStringLiteral("Tanks in Indicator"), central);
    listHeading->setObjectName(QStringLiteral("Label3"));
    m_list = new QListWidget(central);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->viewport()->installEventFilter(this);
    m_list->installEventFilter(this); // Enter shows the tank, as a double-click does
    m_list->setMaximumWidth(3 *
                            m_list->fontMetrics().horizontalAdvance(QStringLiteral("Tank  255")));

    m_tankLabel = new QLabel(central);
    m_tankLabel->setObjectName(QStringLiteral("Label1"));
    m_grid = new CurveGrid(central);
    m_grid->setOffsetCapable(m_offsetMode);
    connect(m_grid, &CurveGrid::pointCountChanged, this,
            [this](int change) { m_pointCount += change; });
    m_undo = new QUndoStack(this);
    connect(m_grid, &CurveGrid::aboutToEdit, this, [this] { m_beforeKey = gridState(); });
    connect(m_grid, &CurveGrid::edited, this, [this](const QString& what) {
        m_largestError.reset(); // the error no longer describes the curve
        recordChange(m_beforeKey, what);
    });
    connect(m_grid->model(), &QAbstractItemModel::dataChanged, this, &EditorWindow::updateSummary);

    m_summary = new QLabel(central);
    m_summary->setObjectName(QStringLiteral("curveSummary"));
    m_summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_summary->setMinimumWidth(
        m_summary->fontMetrics().horizontalAdvance(QStringLiteral("Full scale: -00000")));

    m_numberPrompt = new TankNumberPrompt(m_dialogs, central);
    connect(m_numberPrompt, &TankNumberPrompt::entered, this,
            [this](TankNumberPrompt::Entry entry, const QString& text) {
                if (entry == TankNumberPrompt::Entry::Send)
                    tankNumberEntered(text);
                else
                    saveNumberEntered(text);
            });
    connect(m_numberPrompt, &TankNumberPrompt::saveKeyPressed, this, [this](const QString& text) {
        m_tankNumberText = text;
        m_tankLabel->setText(QStringLiteral("Tank ") + m_tankNumberText);
    });
    m_status = new QLineEdit(central);
    m_status->setObjectName(QStringLiteral("Text1"));
    m_status->setReadOnly(true);
    m_status->setFocusPolicy(Qt::NoFocus);
    m_progress = new QProgressBar(central);
    m_progress->setObjectName(QStringLiteral("pbTank"));
    m_progress->setRange(0, 100);
    // The longest step of a write and its percentage on one line.
    m_progress->setMinimumWidth(m_progress->fontMetrics().horizontalAdvance(
                                    QStringLiteral("Reading the meter for a backup\u2026  100%")) +
                                4 * m_progress->fontMetrics().averageCharWidth());
    m_status->setMinimumWidth(m_status->fontMetrics().horizontalAdvance(
                                  QStringLiteral("Reading the meter for a backup\u2026")) +
                              4 * m_status->fontMetrics().averageCharWidth());
    for (QWidget* hidden : std::initializer_list<QWidget*>{m_status, m_progress}) {
        keepPlace(hidden);
        hidden->setVisible(false);
    }

    // The list and the grid take the height; under them, in places kept while empty, the tank
    // number's prompt, then the check's or the write's step beside the progress bar.
    auto* steps = new QHBoxLayout;
    steps->addWidget(m_status);
    steps->addWidget(m_progress, 1);

    auto* layout = new QGridLayout(central);
    layout->addWidget(listHeading, 0, 0);
    layout->addWidget(m_list, 1, 0);
    layout->addWidget(m_tankLabel, 0, 1);
    layout->addWidget(m_grid, 1, 1);
    layout->addWidget(m_summary, 1, 2);
    layout->addWidget(m_numberPrompt, 2, 0, 1, 3);
    layout->addLayout(steps, 3, 0, 1, 3);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(0, 1);
    updateSummary();
}

void EditorWindow::buildMenus()
{
    auto action = [this](QWidget* where, const char* name, const QString& caption, auto slot) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        where->addAction(a);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("afile"));
    file->menuAction()->setObjectName(QStringLiteral("afileAction"));
    action(file, "topen", QStringLiteral("&Open"), &EditorWindow::openTankFile)
        ->setShortcuts(shortcutsFor(QKeySequence::Open));
    action(file, "tsavefile", QStringLiteral("&Save"), &EditorWindow::saveTank)
        ->setShortcuts(shortcutsFor(QKeySequence::Save));
    action(file, "tsave", QStringLiteral("Save &As"), &EditorWindow::saveTankAs);
    file->addSeparator();
    action(file, "texport", QStringLiteral("&Export CSV\u2026"), &EditorWindow::exportCsv);
    action(file, "tprint", QStringLiteral("&Print Calibration Sheet\u2026"),
           &EditorWindow::printSheet)
        ->setShortcuts(shortcutsFor(QKeySequence::Print));
    action(file, "tsheetpdf", QStringLiteral("Calibration Sheet as P&DF\u2026"),
           &EditorWindow::saveSheetPdf);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("aedit"));
    edit->menuAction()->setObjectName(QStringLiteral("aeditAction"));
    QAction* undo = m_undo->createUndoAction(this, QStringLiteral("&Undo"));
    undo->setObjectName(QStringLiteral("aundo"));
    undo->setShortcuts(shortcutsFor(QKeySequence::Undo));
    QAction* redo = m_undo->createRedoAction(this, QStringLiteral("&Redo"));
    redo->setObjectName(QStringLiteral("aredo"));
    redo->setShortcuts(shortcutsFor(QKeySequence::Redo));
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    action(edit, "acopy", QStringLiteral("&Copy"), &EditorWindow::copyRows)
        ->setShortcuts(shortcutsFor(QKeySequence::Copy));
    action(edit, "apaste", QStringLiteral("&Paste"), &EditorWindow::pasteRows)
        ->setShortcuts(shortcutsFor(QKeySequence::Paste));

    action(file, "newShape", QStringLiteral("New from Tank &Shape…"), &EditorWindow::newFromShape);
    action(file, "importTable", QStringLiteral("&Import Strapping Table…"),
           &EditorWindow::importStrappingTable);
    action(menuBar(), "agraph", QStringLiteral("&Graph"), &EditorWindow::graphCurve);
    action(menuBar(), "aclear", QStringLiteral("&Clear"), &EditorWindow::clearCurve);
    action(menuBar(), "tread", QStringLiteral("&Read Indicator"), &EditorWindow::readIndicator);
    action(menuBar(), "asend", QStringLiteral("&Send Tank data"), &EditorWindow::sendTankData);
    action(menuBar(), "tclose", QStringLiteral("C&lose"), &EditorWindow::close);
    setMinimumWidth(menuBar()->sizeHint().width()); // every menu in view
}

void EditorWindow::loadTankTable(bool askWhenMissing)
{
    // Every exchange of the link drops what waits at the port before it starts, so the load
    // leaves the port alone.
    m_numberPrompt->resetPromptText();
    setWindowTitle(titleFor(kCaption, m_offsetMode));
    show();
    m_grid->setFocus(); // the list left without the focus shows no tank it does not hold
    m_grid->setCurrentCell(GridCell{1, CurveTable::kValueColumn});
    m_records.clear();
    m_list->clear();
    m_tankNumberText.clear();

    IndicatorTanks tanks = loadIndicatorTanks(workingFilePath());
    if (tanks.fileOpened) m_indicatorLoaded = true;
    switch (tanks.status) {
    case TanksStatus::Ok:
        m_records = std::move(tanks.records);
        for (const TankRecord& record : m_records)
            m_list->addItem(tankListText(record.tankNumber));
        followGridInList();
        return;
    case TanksStatus::NotFound: {
        if (!askWhenMissing) return;
        Question q;
        q.text =
            QStringLiteral("No indicator file in buffer. Do you want to get the indicator file?");
        q.title = QStringLiteral("No indicator file");
        q.icon = QuestionIcon::Critical;
        q.defaultAnswer = Answer::No;
        if (m_dialogs.question(this, q) == Answer::Yes) readIndicator();
        return;
    }
    case TanksStatus::EndOfData:
    case TanksStatus::NoTanks:
    case TanksStatus::Failed:
        m_dialogs.message(this, tanks.message);
        return;
    }
}

void EditorWindow::setCurve(const CurveTable& table)
{
    m_grid->setTable(table);
}

void EditorWindow::showTankCurve()
{
    const GridState before = gridState();
    CurveTable table;
    setCurve(table);
    m_grid->setCurrentCell(GridCell{1, m_grid->currentCell().column});
    m_source.clear();
    m_largestError.reset();
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    const int entry = selected.isEmpty() ? -1 : m_list->row(selected.constFirst());
    if (entry < 0 || entry >= m_records.size()) {
        recordChange(before, QStringLiteral("Show Tank"));
        m_dialogs.message(this, QStringLiteral("Nothing in box"));
        return;
    }
    m_tankLabel->setText(selected.constFirst()->text());
    m_pointCount = fillCurveTable(table, m_records.at(entry), m_offsetMode);
    m_source = kImageSource + selected.constFirst()->text();
    setCurve(table);
    recordChange(before, QStringLiteral("Show Tank"));
}

void EditorWindow::clearCurve()
{
    changeGrid(QStringLiteral("Clear"), [this] {
        m_tankNumberText.clear();
        m_tankLabel->clear();
        m_source.clear();
        m_largestError.reset();
        m_grid->clearCurve();
    });
}

void EditorWindow::fillGrid(const CurveTable& table, const QString& undoText, const QString& source,
                            std::optional<SheetError> largestError)
{
    changeGrid(undoText, [&] {
        setCurve(table);
        m_pointCount = table.filledRows();
        m_grid->setCurrentCell(GridCell{1, CurveTable::kValueColumn});
        m_source = source;
        m_largestError = largestError;
    });
}

GridState EditorWindow::gridState() const
{
    return GridState{m_grid->table(),     m_pointCount, m_grid->currentCell(), m_tankNumberText,
                     m_tankLabel->text(), m_source,     m_largestError};
}

void EditorWindow::setGridState(const GridState& state, bool withTank)
{
    setCurve(state.table);
    m_pointCount = state.pointCount;
    m_grid->setCurrentCell(state.cell);
    if (withTank) {
        m_tankNumberText = state.tankNumberText;
        m_tankLabel->setText(state.tankLabel);
    }
    m_source = state.source;
    m_largestError = state.largestError;
    followGridInList();
}

void EditorWindow::recordChange(const GridState& before, const QString& what)
{
    followGridInList();
    GridState after = gridState();
    if (!GridChange::isStep(before, after)) return;
    const auto apply = [this](const GridState& state, bool withTank) {
        setGridState(state, withTank);
    };
    m_undo->push(new GridChange(apply, before, std::move(after), what));
}

void EditorWindow::copyRows()
{
    const auto [first, last] = m_grid->selectedRows();
    QGuiApplication::clipboard()->setText(copyGridRows(m_grid->table(), first, last));
}

void EditorWindow::pasteRows()
{
    CurveTable table = m_grid->table();
    const int row = m_grid->currentCell().row;
    const GridPaste paste =
        pasteIntoGrid(table, row, QGuiApplication::clipboard()->text(), m_offsetMode);
    if (!paste.ok) {
        showMessages(m_dialogs, this, paste.messages);
        return;
    }
    changeGrid(QStringLiteral("Paste"), [&] {
        m_largestError.reset();
        setCurve(table);
        m_grid->setCurrentCell(GridCell{row, CurveTable::kValueColumn});
    });
}

std::optional<CalibrationSheet> EditorWindow::checkedSheet()
{
    if (!checkCurve()) return std::nullopt;
    std::optional<int> tankNumber;
    if (isTankNumberText(m_tankNumberText)) tankNumber = int(val(m_tankNumberText));
    SheetBuild built =
        sheetFromTable(m_grid->table(), m_pointCount, tankNumber, m_offsetMode, m_source);
    if (!built.sheet) {
        showMessages(m_dialogs, this, built.messages);
        return std::nullopt;
    }
    built.sheet->largestError = m_largestError;
    return built.sheet;
}

void EditorWindow::exportCsv()
{
    if (!checkCurve(CurveRules::Tank)) return;
    const std::optional<QString> path = m_dialogs.saveFileName(
        this, saveDialog(QStringLiteral("Export CSV"), QStringLiteral("CSV (*.csv)"),
                         QStringLiteral("csv")));
    if (!path || outputRefused(m_dialogs, this, *path, OutputForm::Csv)) return;
    const FileWriteResult written =
        writeFileAtomically(*path, curveCsv(m_grid->table(), m_pointCount));
    m_dialogs.message(this, written.ok ? QStringLiteral("File ") + *path + QStringLiteral(" saved.")
                                       : errorText(written.errorNumber));
}

void EditorWindow::printSheet()
{
    const std::optional<CalibrationSheet> sheet = checkedSheet();
    if (!sheet) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(kSheetTitle);
    if (!m_dialogs.print(this, printer)) return;
    paintCalibrationSheets(printer, {*sheet});
}

void EditorWindow::saveSheetPdf()
{
    const std::optional<CalibrationSheet> sheet = checkedSheet();
    if (!sheet) return;
    const std::optional<QString> path = m_dialogs.saveFileName(
        this, saveDialog(QStringLiteral("Calibration Sheet as PDF"), QStringLiteral("PDF (*.pdf)"),
                         QStringLiteral("pdf")));
    if (!path || outputRefused(m_dialogs, this, *path, OutputForm::Pdf)) return;
    const FileWriteResult written = writeCalibrationSheetPdf(*path, {*sheet});
    m_dialogs.message(this, written.ok ? QStringLiteral("File ") + *path + QStringLiteral(" saved.")
                                       : errorText(written.errorNumber));
}

bool EditorWindow::checkCurve(CurveRules rules)
{
    m_status->setVisible(true);
    m_status->setText(kChecking);
    m_status->repaint(); // shown while the check runs, without handing events out meanwhile
    CurveTable table = m_grid->table();
    const CurveCheck check =
        rules == CurveRules::Tank ? checkTankCurve(table, m_offsetMode) : validateCurve(table);
    changeGrid(QStringLiteral("Check"), [&] {
        setCurve(table);
        m_grid->setCurrentCell(check.currentCell);
        if (check.pointCount) m_pointCount = *check.pointCount;
    });
    m_status->setVisible(false);
    m_status->clear();
    m_curveValid = check.curveValid;
    showMessages(m_dialogs, this, check.messages);
    return m_curveValid;
}

void EditorWindow::graphCurve()
{
    if (!checkCurve()) return;
    if (!m_graph) m_graph = new GraphWindow(this);
    const QList<QPointF> points = graphPoints(m_grid->table(), m_pointCount);
    m_graph->showCurve(
        points, samePoints(points, m_sourceFit.points) ? m_sourceFit.truth : QVector<double>{},
        graphCaption(m_tankLabel->text(), m_source));
}

// The dialogs are window-modal and answer through their signals, so that nothing waits in a
// loop of its own.
void EditorWindow::newFromShape()
{
    auto* dialog = new ShapeDialog(m_offsetMode, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { fillFromCurve(dialog->fit(), dialog->sourceText()); });
    dialog->open();
}

void EditorWindow::importStrappingTable()
{
    FileDialog d;
    d.title = QStringLiteral("Import Strapping Table");
    d.filter = QStringLiteral("Strapping table (*.csv *.txt);;All files (*)");
    const std::optional<QString> path = m_dialogs.openFileName(this, d);
    if (!path) return;
    const StrappingTable table = readStrappingTable(*path);
    if (!table.ok()) {
        m_dialogs.message(this, table.refusal);
        return;
    }
    auto* dialog = new TableDialog(table, QFileInfo(*path).fileName(), m_offsetMode, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { fillFromCurve(dialog->fit(), dialog->sourceText()); });
    dialog->open();
}

void EditorWindow::fillFromCurve(const CurveFit& fit, const QString& sourceText)
{
    CurveTable table;
    fillPointRows(table, fit.points);
    m_sourceFit = fit;
    fillGrid(table, QStringLiteral("Fill"), sourceText,
             SheetError{fit.largestError, fit.largestErrorStep / 100.0});
}

int EditorWindow::shownListEntry() const
{
    if (!m_source.startsWith(kImageSource)) return -1;
    const QString text = m_source.mid(kImageSource.size());
    for (int row = 0; row < m_list->count(); ++row)
        if (m_list->item(row)->text() == text) return row;
    return -1;
}

void EditorWindow::followGridInList()
{
    const int entry = shownListEntry();
    if (entry >= 0) {
        m_list->setCurrentRow(entry);
        return;
    }
    m_list->setCurrentItem(nullptr);
    m_list->clearSelection();
}

QString EditorWindow::knownTankNumber() const
{
    const int entry = shownListEntry();
    if (entry >= 0 && entry < m_records.size())
        return QString::number(m_records.at(entry).tankNumber);
    return m_tankNumberText;
}

QString EditorWindow::shownTankFile() const
{
    return !m_tankFilePath.isEmpty() && m_source == fileSource(m_tankFilePath) ? m_tankFilePath
                                                                               : QString();
}

void EditorWindow::updateSummary()
{
    const CurveSummary summary = summarizeCurve(m_grid->table(), m_offsetMode);
    const QString none = QStringLiteral("\u2013");
    QString text = QStringLiteral("Full scale: ") +
                   (summary.fullScale ? QString::number(*summary.fullScale) : none);
    text += QStringLiteral("\nOffset: ") +
            (m_offsetMode ? (summary.fullScale ? QString::number(summary.offset) : none)
                          : QStringLiteral("none"));
    text += QStringLiteral("\nPoints: ") + QString::number(summary.points);
    m_summary->setText(text);
}

void EditorWindow::sendTankData()
{
    if (!m_indicatorLoaded) {
        m_dialogs.message(this, QStringLiteral("Read Indicator first."));
        return;
    }
    if (m_tankNumberText.isEmpty()) {
        // A curve that cannot be sent stops here, before the tank number is asked for. The
        // curve is checked again once the number is in: it may be typed into meanwhile.
        if (!checkCurve()) return;
        const CurveForSend curve = encodeCurveForSend(m_grid->table(), m_pointCount, m_offsetMode);
        if (!curve.encoded) {
            showMessages(m_dialogs, this, curve.messages);
            return;
        }
        // The send asks only while no tank number is known: a known one is sent at once.
        m_numberPrompt->ask(TankNumberPrompt::Entry::Send);
        m_sendWaitsForNumber = true; // Enter in text2 goes on with the send
        return;
    }
    continueSend();
}

// A number outside 1 .. 255 has been refused by the prompt, which stays open for another one.
void EditorWindow::tankNumberEntered(const QString& text)
{
    m_tankNumberText = text;
    m_tankLabel->setText(QStringLiteral("Tank ") + text);
    m_numberPrompt->dismiss();
    if (!m_sendWaitsForNumber) return;
    m_sendWaitsForNumber = false;
    continueSend();
}

void EditorWindow::continueSend()
{
    if (!checkCurve()) return;
    QList<int> loaded;
    for (const TankRecord& record : m_records)
        loaded.append(record.tankNumber);
    const TankSendPreparation prep =
        prepareTankSend(m_grid->table(), m_pointCount, m_tankNumberText, loaded, m_offsetMode);
    if (!prep.send) {
        showMessages(m_dialogs, this, prep.messages);
        if (prep.numberInUse) offerReplace();
        return;
    }
    const SafeUseCase sending = [send = *prep.send, working = workingFilePath()](
                                    ExchangeContext& ctx, const SafeWriteOptions& options) {
        return safeSendTank(ctx, send, working, options);
    };
    if (writeSafely(
            m_link, m_dialogs, this, sending, m_offsetMode, WriteView{m_progress, m_status},
            [this](const SafeWrite& s) { return sendDone(s); }, {}, ExchangeKind::SendTank))
        exchangeStarted();
}

// The single-tank send only adds a tank; one the meter holds already is put back by writing the
// whole image again with this curve in that tank's place.
void EditorWindow::offerReplace()
{
    const TankSendPreparation prep =
        prepareTankSend(m_grid->table(), m_pointCount, m_tankNumberText, {}, m_offsetMode);
    if (!prep.send) {
        showMessages(m_dialogs, this, prep.messages);
        return;
    }
    Question q;
    q.text = QStringLiteral("Replace tank %1 in the meter with this curve?\n\nThe meter is read "
                            "first (that read is the backup), then its whole image is written "
                            "again with every other tank as it is, and read back to check it.")
                 .arg(prep.send->tankNumber);
    q.defaultAnswer = Answer::No;
    if (m_dialogs.question(this, q) != Answer::Yes || m_closed) return;
    const SafeUseCase replacing = [send = *prep.send](ExchangeContext& ctx,
                                                      const SafeWriteOptions& options) {
        return safeReplaceTank(ctx, send, options);
    };
    if (writeSafely(
            m_link, m_dialogs, this, replacing, m_offsetMode, WriteView{m_progress, m_status},
            [this](const SafeWrite& s) { return sendDone(s); }, {}, ExchangeKind::Write))
        exchangeStarted();
}

bool EditorWindow::sendDone(const SafeWrite& result)
{
    exchangeEnded();
    if (m_closed) return false;
    if (result.write.done()) m_indicatorLoaded = false;
    return true;
}

void EditorWindow::saveTankAs()
{
    const std::optional<QString> path = askSaveFileName(
        m_dialogs, this, tankFileDialog(QStringLiteral("Save As")), hasTankExtension);
    if (!path) return;
    saveTankTo(*path, true);
}

void EditorWindow::saveTank()
{
    const QString path = shownTankFile();
    if (path.isEmpty() || !isTankNumberText(m_tankNumberText)) {
        saveTankAs();
        return;
    }
    saveTankTo(path, false);
}

void EditorWindow::saveTankTo(const QString& path, bool askNumber)
{
    if (!checkCurve()) return;
    // A curve the file cannot hold stops here, before the tank number is asked for.
    const EncodedCurve encoded = encodeCurve(m_grid->table(), m_pointCount, m_offsetMode);
    const Messages refused = encoded.ok ? tankFileCurveRefusals(encoded, m_pointCount,
                                                                m_grid->table(), m_offsetMode, path)
                                        : encoded.messages;
    if (!refused.isEmpty()) {
        showMessages(m_dialogs, this, refused);
        return;
    }
    m_savePath = path;
    m_saveTable = m_grid->table();
    m_savePointCount = m_pointCount;
    m_saveEncoded = encoded;
    m_sendWaitsForNumber = false;
    if (askNumber) {
        m_numberPrompt->ask(TankNumberPrompt::Entry::Save, knownTankNumber());
        return;
    }
    m_numberPrompt->dismiss();
    saveNumberEntered(m_tankNumberText);
}

void EditorWindow::saveNumberEntered(const QString& text)
{
    const TankFileSave saved =
        saveTankFile(m_savePath, text, m_saveEncoded, m_savePointCount, m_saveTable, m_offsetMode);
    m_numberPrompt->dismiss();
    if (saved.ok) {
        // The grid now holds the file saved: File > Save writes there again.
        m_tankFilePath = m_savePath;
        m_source = fileSource(m_savePath);
        followGridInList();
    }
    showMessages(m_dialogs, this, saved.messages);
}

void EditorWindow::openTankFile()
{
    const std::optional<QString> path =
        m_dialogs.openFileName(this, tankFileDialog(QStringLiteral("Open")));
    if (path) openTankFileAt(*path);
}

void EditorWindow::openTankFileAt(const QString& path)
{
    const GridState before = gridState();
    CurveTable table;
    const TankFileOpen opened = kaldor::openTankFile(path, m_offsetMode, table);
    setCurve(table);
    if (opened.tankNumberText) m_tankNumberText = *opened.tankNumberText;
    if (opened.pointCount) m_pointCount = *opened.pointCount;
    m_grid->setCurrentCell(
        GridCell{1, opened.ok ? CurveTable::kValueColumn : m_grid->currentCell().column});
    m_source = opened.ok ? fileSource(path) : QString();
    if (opened.ok) m_tankFilePath = path;
    m_largestError.reset();
    if (opened.ok) m_tankLabel->setText(QStringLiteral("Tank ") + m_tankNumberText);
    recordChange(before, QStringLiteral("Open"));
    showMessages(m_dialogs, this, opened.messages);
}

void EditorWindow::readIndicator()
{
    const bool asked = m_link.download(
        this, workingFilePath(),
        [this](const ExchangeResult& r, const IndicatorImage&) { readDone(r); },
        [this](int percent) { m_progress->setValue(percent); });
    if (!asked) {
        m_dialogs.message(this, Link::kBusyMessage);
        return;
    }
    exchangeStarted();
    m_list->clear();
    m_progress->setValue(0);
    m_progress->setVisible(true);
}

void EditorWindow::readDone(const ExchangeResult& result)
{
    exchangeEnded();
    if (m_closed) {
        // The editor closed while the meter was read: the working file it deleted then must
        // not come back.
        removeWorkingFile();
        return;
    }
    showMessages(m_dialogs, this, downloadMessages(result, DownloadVariant::Editor));
    if (result.done()) m_indicatorLoaded = true;
    m_progress->setVisible(false);
    loadTankTable();
}

void EditorWindow::exchangeStarted()
{
    ++m_exchangesRunning;
}

// A closed editor stays until the link has answered its last request.
void EditorWindow::exchangeEnded()
{
    --m_exchangesRunning;
    if (m_closed && m_exchangesRunning == 0) deleteLater();
}

bool EditorWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        showTankCurve(); // the press before it has selected the item under the mouse
        return true;
    }
    if (watched == m_list && isEnter(event)) {
        showTankCurve();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void EditorWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_closed) return;
    m_closed = true;
    m_sendWaitsForNumber = false;
    if (m_graph) m_graph->close();
    emit closed();
    const int error = removeWorkingFile();
    // The box keeps the window as a running exchange does: an exchange that answers while it is
    // open must not delete the window under it.
    exchangeStarted();
    if (error != 0) m_dialogs.message(this, QStringLiteral("Error :") + strNumber(error));
    exchangeEnded();
}

} // namespace kaldor

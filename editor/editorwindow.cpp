#include "editor/editorwindow.h"

#include "editor/curvegrid.h"
#include "editor/tankfile.h"
#include "editor/tanksend.h"
#include "graph/graphdata.h"
#include "graph/graphwindow.h"
#include "link/exchangemessages.h"
#include "link/link.h"
#include "store/celltexts.h"
#include "store/indicatortanks.h"
#include "store/workingfile.h"
#include "ui/dialogs.h"
#include "ui/sendimage.h"
#include "ui/showmessages.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>

namespace kaldor
{

namespace
{

const QString kPrompt = QStringLiteral("Enter Tank Address\r\nand press the Enter Key");
const QString kChecking = QStringLiteral("Checking data order.");

QString titleFor(bool offsetMode)
{
    return offsetMode ? QStringLiteral("Edit Tank Data (Meter Offset Capable)")
                      : QStringLiteral("Edit Tank Data (Meter Not Offset Capable)");
}

FileDialog tankFileDialog(const QString& title)
{
    FileDialog d;
    d.title = title;
    d.filter = QStringLiteral("Tank (*.tnk)");
    d.defaultSuffix = QStringLiteral("tnk");
    d.confirmOverwrite = true;
    return d;
}

bool isEnter(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

EditorWindow::EditorWindow(Link& link, Dialogs& dialogs, bool offsetMode, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_link(link), m_dialogs(dialogs), m_offsetMode(offsetMode)
{
    setObjectName(QStringLiteral("atnkfrm"));
    setWindowTitle(titleFor(m_offsetMode));
    buildControls();
    buildMenus();
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
    m_list->setMaximumWidth(3 *
                            m_list->fontMetrics().horizontalAdvance(QStringLiteral("Tank  255")));

    m_tankLabel = new QLabel(central);
    m_tankLabel->setObjectName(QStringLiteral("Label1"));
    m_grid = new CurveGrid(central);
    m_grid->setOffsetCapable(m_offsetMode);
    connect(m_grid, &CurveGrid::pointCountChanged, this,
            [this](int change) { m_pointCount += change; });

    m_prompt = new QLabel(kPrompt, central);
    m_prompt->setObjectName(QStringLiteral("Label2"));
    m_sendEntry = new QLineEdit(central);
    m_sendEntry->setObjectName(QStringLiteral("text2"));
    m_saveEntry = new QLineEdit(central);
    m_saveEntry->setObjectName(QStringLiteral("Text3"));
    for (QLineEdit* entry : {m_sendEntry, m_saveEntry})
        entry->installEventFilter(this);
    m_status = new QLineEdit(central);
    m_status->setObjectName(QStringLiteral("Text1"));
    m_status->setReadOnly(true);
    m_status->setFocusPolicy(Qt::NoFocus);
    m_progress = new QProgressBar(central);
    m_progress->setObjectName(QStringLiteral("pbTank"));
    m_progress->setRange(0, 100);
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{m_prompt, m_sendEntry, m_saveEntry, m_status, m_progress})
        hidden->setVisible(false);

    auto* entries = new QHBoxLayout;
    entries->addWidget(m_prompt);
    entries->addWidget(m_sendEntry);
    entries->addWidget(m_saveEntry);
    entries->addStretch(1);

    auto* layout = new QGridLayout(central);
    layout->addWidget(listHeading, 0, 0);
    layout->addWidget(m_list, 1, 0);
    layout->addWidget(m_tankLabel, 0, 1);
    layout->addWidget(m_grid, 1, 1);
    layout->addLayout(entries, 2, 0, 1, 2);
    layout->addWidget(m_status, 3, 0);
    layout->addWidget(m_progress, 3, 1);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(0, 1);
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
    action(file, "topen", QStringLiteral("&Open"), &EditorWindow::openTankFile);
    action(file, "tsave", QStringLiteral("Save &As"), &EditorWindow::saveTankAs);
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
    m_prompt->setText(kPrompt);
    setWindowTitle(titleFor(m_offsetMode));
    show();
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
    CurveTable table;
    setCurve(table);
    m_grid->setCurrentCell(GridCell{1, m_grid->currentCell().column});
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    const int entry = selected.isEmpty() ? -1 : m_list->row(selected.constFirst());
    if (entry < 0 || entry >= m_records.size()) {
        m_dialogs.message(this, QStringLiteral("Nothing in box"));
        return;
    }
    m_tankLabel->setText(selected.constFirst()->text());
    m_pointCount = fillCurveTable(table, m_records.at(entry), m_offsetMode);
    setCurve(table);
}

void EditorWindow::clearCurve()
{
    m_tankNumberText.clear();
    m_tankLabel->clear();
    m_grid->clearCurve();
}

bool EditorWindow::checkCurve()
{
    m_status->setVisible(true);
    m_status->setText(kChecking);
    m_status->repaint(); // shown while the check runs, without handing events out meanwhile
    CurveTable table = m_grid->table();
    const CurveCheck check = validateCurve(table);
    setCurve(table);
    m_grid->setCurrentCell(check.currentCell);
    m_status->setVisible(false);
    m_status->clear();
    m_curveValid = check.curveValid;
    if (check.pointCount) m_pointCount = *check.pointCount;
    showMessages(m_dialogs, this, check.messages);
    return m_curveValid;
}

void EditorWindow::graphCurve()
{
    if (!checkCurve()) return;
    if (!m_graph) m_graph = new GraphWindow(this);
    m_graph->showCurve(graphPoints(m_grid->table(), m_pointCount));
}

void EditorWindow::showEntry(QLineEdit* entry)
{
    entry->clear();
    entry->setVisible(true);
    m_prompt->setVisible(true);
    entry->setFocus();
}

void EditorWindow::hideEntries()
{
    for (QLineEdit* entry : {m_sendEntry, m_saveEntry}) {
        entry->setVisible(false);
        entry->clear();
    }
    m_prompt->setVisible(false);
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
        m_saveEntry->setVisible(false);
        m_saveEntry->clear();
        showEntry(m_sendEntry);
        m_sendWaitsForNumber = true; // Enter in text2 goes on with the send
        return;
    }
    continueSend();
}

// A number outside 1 .. 255 is refused and the entry stays open for another one.
void EditorWindow::tankNumberEntered()
{
    const QString text = m_sendEntry->text();
    if (!isTankNumberText(text)) {
        m_sendEntry->clear();
        m_dialogs.message(this, kTankNumberRefusal);
        return;
    }
    m_tankNumberText = text;
    m_tankLabel->setText(QStringLiteral("Tank ") + text);
    hideEntries();
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
        return;
    }
    const SafeUseCase sending = [send = *prep.send, working = workingFilePath()](
                                    ExchangeContext& ctx, const SafeWriteOptions& options) {
        return safeSendTank(ctx, send, working, options);
    };
    if (writeSafely(m_link, m_dialogs, this, sending, m_offsetMode, WriteView{m_progress, m_status},
                    [this](const SafeWrite& s) { return sendDone(s); }))
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
    std::optional<QString> path;
    for (;;) {
        path = m_dialogs.saveFileName(this, tankFileDialog(QStringLiteral("Save As")));
        if (!path) return;
        if (path->contains(QLatin1String(".tnk")) || path->contains(QLatin1String(".TNK"))) break;
        m_dialogs.message(this, QStringLiteral("Wrong file extension"));
    }
    if (!checkCurve()) return;
    // A curve the file cannot hold stops here, before the tank number is asked for.
    const EncodedCurve encoded = encodeCurve(m_grid->table(), m_pointCount, m_offsetMode);
    const Messages refused =
        encoded.ok ? tankFileCurveRefusals(encoded, m_pointCount) : encoded.messages;
    if (!refused.isEmpty()) {
        showMessages(m_dialogs, this, refused);
        return;
    }
    m_savePath = *path;
    m_saveTable = m_grid->table();
    m_savePointCount = m_pointCount;
    m_saveEncoded = encoded;
    m_sendWaitsForNumber = false;
    m_sendEntry->setVisible(false);
    m_sendEntry->clear();
    showEntry(m_saveEntry);
}

void EditorWindow::saveNumberEntered()
{
    const QString text = m_saveEntry->text();
    if (!isTankNumberText(text)) {
        m_saveEntry->clear();
        m_dialogs.message(this, kTankNumberRefusal);
        return;
    }
    const TankFileSave saved =
        saveTankFile(m_savePath, text, m_saveEncoded, m_savePointCount, m_saveTable, m_offsetMode);
    hideEntries();
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
    CurveTable table;
    const TankFileOpen opened = kaldor::openTankFile(path, m_offsetMode, table);
    setCurve(table);
    if (opened.tankNumberText) m_tankNumberText = *opened.tankNumberText;
    if (opened.pointCount) m_pointCount = *opened.pointCount;
    m_grid->setCurrentCell(
        GridCell{1, opened.ok ? CurveTable::kValueColumn : m_grid->currentCell().column});
    showMessages(m_dialogs, this, opened.messages);
    if (opened.ok) m_tankLabel->setText(QStringLiteral("Tank ") + m_tankNumberText);
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
    if (watched == m_saveEntry && event->type() == QEvent::KeyPress) {
        // Label1 and the tank number follow the box, as it reads before the key.
        m_tankNumberText = m_saveEntry->text();
        m_tankLabel->setText(QStringLiteral("Tank ") + m_tankNumberText);
    }
    if (isEnter(event) && (watched == m_sendEntry || watched == m_saveEntry)) {
        if (watched == m_sendEntry)
            tankNumberEntered();
        else
            saveNumberEntered();
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
    if (error != 0) m_dialogs.message(this, QStringLiteral("Error :") + strNumber(error));
    if (m_exchangesRunning == 0) deleteLater();
}

} // namespace kaldor

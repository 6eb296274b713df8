#include "shell/mainwindow.h"

#include "editor/editorwindow.h"
#include "link/clearwindow.h"
#include "link/historywindow.h"
#include "link/keypadwindow.h"
#include "link/linetrafficwindow.h"
#include "link/link.h"
#include "link/portwindow.h"
#include "shell/aboutwindow.h"
#include "shell/gauge.h"
#include "shell/helpwindow.h"
#include "shell/saveretrieved.h"
#include "store/managementwindow.h"
#include "store/messages.h"
#include "store/offsetmode.h"
#include "store/workingfile.h"
#include "ui/dialogs.h"
#include "ui/sendimage.h"
#include "ui/showmessages.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

namespace kaldor {

namespace {

constexpr int kGaugeSteps = 2 * Gauge::kMaximum; // 1 up to 100, then 100 down to 1
constexpr int kMajorTicks = 9;
constexpr int kScaleWidth = 64;
constexpr int kScaleFontSize = 9;

const QString kCaption = QStringLiteral("KALDOR");

void bringToFront(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

// A window the main window makes once and keeps while it is open: the first call makes it with
// make(), every call shows it in front.
template <typename W, typename Make> W* showOnce(QPointer<W>& window, Make make)
{
    if (!window) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringToFront(window);
    return window;
}

} // namespace

QString gaugeScaleText()
{
    const QString crlf = QStringLiteral("\r\n");
    const QString minor = QStringLiteral("-      ");
    QString text = QStringLiteral("--10 ") + crlf;
    for (int n = kMajorTicks; n >= 1; --n)
        text += minor + crlf + QStringLiteral("-- %1  ").arg(n) + crlf;
    text += minor + crlf + QStringLiteral("-- 0 ") + crlf;
    return text;
}

MainWindow::MainWindow(Link& link, Dialogs& dialogs, QMap<int, QString> portDevices,
                       QWidget* parent)
    : QMainWindow(parent), m_link(link), m_dialogs(dialogs), m_portDevices(std::move(portDevices))
{
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(kApplicationTitle);
    buildControls();
    buildMenus();
    connect(&m_link, &Link::lineChanged, this, &MainWindow::updateLineStatus);
    connect(&m_link, &Link::exchangeFinished, this, [this](const ExchangeRecord& record) {
        m_exchangeStatus->setText(exchangeStatusText(record));
    });
    updateLineStatus();
    m_animation.setInterval(kGaugeStepMs);
    connect(&m_animation, &QTimer::timeout, this, &MainWindow::stepGauge);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);

    auto* panel = new QFrame(central);
    panel->setObjectName(QStringLiteral("Panel3D1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);

    auto* picture = new QFrame(panel);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* scale = new QPlainTextEdit(picture);
    scale->setObjectName(QStringLiteral("Text1"));
    scale->setFont(QFont(QStringLiteral("Arial"), kScaleFontSize));
    scale->setPlainText(gaugeScaleText());
    scale->setReadOnly(true);
    scale->setFrameStyle(QFrame::NoFrame);
    scale->setFocusPolicy(Qt::NoFocus);
    scale->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scale->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scale->setFixedWidth(kScaleWidth);
    // The scale shows its 21 lines whole; the gauge spans from the middle of "--10 " to the
    // middle of "-- 0 ", so that the needle reads against the ticks.
    const int lineSpacing = scale->fontMetrics().lineSpacing();
    const int textMargin = int(scale->document()->documentMargin());
    constexpr int kScaleLines = 21;
    constexpr int kPictureMargin = 2;
    scale->setFixedHeight(kScaleLines * lineSpacing + 2 * textMargin);
    auto* pictureLayout = new QHBoxLayout(picture);
    pictureLayout->setContentsMargins(kPictureMargin, kPictureMargin, kPictureMargin,
                                      kPictureMargin);
    pictureLayout->addWidget(scale);

    m_gauge = new Gauge(panel);
    m_gauge->setObjectName(QStringLiteral("Gauge2"));
    m_gauge->setFixedHeight((kScaleLines - 1) * lineSpacing + 2 * Gauge::kFrame);
    m_gaugeLabel = new GaugeLabel(QStringLiteral(" 1"), panel);
    m_gaugeLabel->setObjectName(QStringLiteral("Label2"));
    m_gaugeLabel->setAlignment(Qt::AlignCenter);
    // A fixed size: the changing text never asks the layout to run again.
    m_gaugeLabel->setFixedSize(
        m_gaugeLabel->fontMetrics().horizontalAdvance(QStringLiteral(" 1000")),
        m_gaugeLabel->fontMetrics().height());

    auto* gaugeColumn = new QVBoxLayout;
    gaugeColumn->addSpacing(picture->frameWidth() + kPictureMargin + textMargin + lineSpacing / 2 -
                            Gauge::kFrame);
    gaugeColumn->addWidget(m_gauge, 0, Qt::AlignHCenter);
    gaugeColumn->addWidget(m_gaugeLabel);
    gaugeColumn->addStretch(1);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(picture, 0, Qt::AlignTop);
    panelLayout->addLayout(gaugeColumn);
    panelLayout->setAlignment(gaugeColumn, Qt::AlignTop);

    m_check =
        new QCheckBox(QStringLiteral("Check this box if meter flashes model number"), central);
    m_check->setObjectName(QStringLiteral("Check1"));
    connect(m_check, &QCheckBox::clicked, this, &MainWindow::toggleOffsetMode);

    auto* notice = new QLabel(QStringLiteral("KALDOR Instruments\nTank-Level Indicator Set-Up\n\n"
                                             "includes\n\nNegative/Positive Offset  Capability"),
                              central);
    notice->setObjectName(QStringLiteral("Label1"));
    notice->setAlignment(Qt::AlignCenter);
    QFont noticeFont = notice->font();
    noticeFont.setPointSizeF(noticeFont.pointSizeF() * 1.3);
    noticeFont.setBold(true);
    notice->setFont(noticeFont);

    m_progress = new QProgressBar(central);
    m_progress->setObjectName(QStringLiteral("pbMain"));
    m_progress->setRange(0, 100);
    m_progress->setVisible(false);

    auto* right = new QVBoxLayout;
    right->addWidget(m_check);
    right->addStretch(1);
    right->addWidget(notice);
    right->addStretch(1);
    right->addWidget(m_progress);

    auto* layout = new QHBoxLayout(central);
    layout->addWidget(panel);
    layout->addLayout(right, 1);

    // Two lines under the window: the line, then the last exchange; long texts wrap.
    auto* status = new QWidget(this);
    auto* statusLayout = new QVBoxLayout(status);
    statusLayout->setContentsMargins(2, 0, 2, 2);
    statusLayout->setSpacing(0);
    m_lineStatus = new QLabel(status);
    m_lineStatus->setObjectName(QStringLiteral("lineStatus"));
    m_exchangeStatus = new QLabel(QStringLiteral("No exchange with the meter yet."), status);
    m_exchangeStatus->setObjectName(QStringLiteral("exchangeStatus"));
    // Wide enough for each text in two lines, and two lines high whatever it holds.
    central->setMinimumWidth(90 * m_lineStatus->fontMetrics().averageCharWidth());
    for (QLabel* label : {m_lineStatus, m_exchangeStatus}) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setFixedHeight(2 * label->fontMetrics().lineSpacing());
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        statusLayout->addWidget(label);
    }
    statusBar()->addWidget(status, 1);
    statusBar()->setSizeGripEnabled(false);
}

void MainWindow::updateLineStatus()
{
    m_lineStatus->setText(lineStatusText(m_link.lineState(), m_offsetMode));
}

void MainWindow::buildMenus()
{
    auto action = [this](QWidget* where, const char* name, const QString& caption) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        where->addAction(a);
        return a;
    };
    auto menu = [this](const char* name, const QString& caption) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name) + QStringLiteral("Action"));
        m->setToolTipsVisible(true);
        return m;
    };

    QMenu* files = menu("fileM", QStringLiteral("&File Management"));
    connect(action(files, "mfiles", QStringLiteral("&Indicator Files")), &QAction::triggered, this,
            &MainWindow::showManagementWindow);
    connect(action(files, "tfiles", QStringLiteral("&Tank Files")), &QAction::triggered, this,
            [this] { showTankEditor(); });
    connect(action(files, "smetfile", QStringLiteral("&Save Retrieved Indicator File")),
            &QAction::triggered, this, &MainWindow::saveRetrievedIndicatorFile);

    connect(action(menuBar(), "aprog", QStringLiteral("&Program")), &QAction::triggered, this,
            &MainWindow::showKeypadWindow);

    QMenu* clone = menu("gclone", QStringLiteral("C&lone"));
    connect(action(clone, "aupldall", QStringLiteral("&Send to Indicator")), &QAction::triggered,
            this, &MainWindow::uploadIndicatorFile);
    connect(action(clone, "dwnldall", QStringLiteral("&Get Indicator File from Indicator")),
            &QAction::triggered, this, &MainWindow::downloadIndicatorFile);
    connect(action(clone, "aclear", QStringLiteral("&Clear Indicator")), &QAction::triggered, this,
            &MainWindow::showClearWindow);
    // Every window's write reads the meter for a backup first and reads it back afterwards,
    // unless switched off here for the rest of the run.
    clone->addSeparator();
    const auto setting = [&](const char* name, const QString& caption, bool WriteSafety::*flag) {
        QAction* a = action(clone, name, caption);
        a->setCheckable(true);
        a->setChecked(m_link.writeSafety().*flag);
        connect(a, &QAction::toggled, this, [this, flag](bool on) {
            WriteSafety safety = m_link.writeSafety();
            safety.*flag = on;
            m_link.setWriteSafety(safety);
        });
    };
    setting("abackup", QStringLiteral("&Back Up the Meter Before Each Write"),
            &WriteSafety::backup);
    setting("averify", QStringLiteral("&Verify Each Write"), &WriteSafety::verify);
    connect(action(clone, "abackups", QStringLiteral("&Open Backups Folder")), &QAction::triggered,
            this, &MainWindow::openBackupsFolder);
    connect(action(clone, "ahistory", QStringLiteral("Meter &History…")), &QAction::triggered, this,
            &MainWindow::showHistoryWindow);

    connect(action(menuBar(), "gcomm", QStringLiteral("&Comm")), &QAction::triggered, this,
            &MainWindow::showPortWindow);
    // Beside "&Comm", which opens the port window at a click and so cannot hold a menu.
    connect(action(menuBar(), "gtraffic", QStringLiteral("Line &Traffic")), &QAction::triggered,
            this, &MainWindow::showLineTrafficWindow);
    connect(action(menuBar(), "gexit", QStringLiteral("E&xit")), &QAction::triggered, this,
            &MainWindow::exitProgram);

    QMenu* help = menu("bhelp", QStringLiteral("&Help"));
    connect(action(help, "aboutHelp", QStringLiteral("&About")), &QAction::triggered, this,
            &MainWindow::showAbout);
    connect(action(help, "ahelp", QStringLiteral("&Contents")), &QAction::triggered, this,
            &MainWindow::showHelpContents);
}

void MainWindow::stepGauge()
{
    // Steps 0..99 show 1..100, steps 100..199 show 100..1.
    const int v = m_gaugeStep < Gauge::kMaximum ? m_gaugeStep + 1 : kGaugeSteps - m_gaugeStep;
    m_gauge->setValue(v);
    m_gaugeLabel->setText(QLatin1Char(' ') + QString::number(v));
    m_gaugeStep = (m_gaugeStep + 1) % kGaugeSteps;
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_animate) m_animation.start();
}

// The gauge only moves while it can be seen: a hidden main window (the keypad is open) costs
// nothing.
void MainWindow::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    m_animation.stop();
}

void MainWindow::startUp()
{
    m_offsetMode = true;
    updateTitle();
    updateLineStatus();
    m_link.openPort(this, PortSpec{1, m_portDevices.value(1)},
                    [this](const PortStatus& status) { onStartUpPortOpened(status); });
    show();
}

// The start-up's failure rules: a port held by another program is reported and the program
// goes on with the port closed; a missing device is not reported; anything else is. Only a
// port that is open already or cannot be used at all ends the program; after a failure other
// than a held port the gauge stays still.
void MainWindow::onStartUpPortOpened(const PortStatus& status)
{
    const PortError e = status.error;
    if (e == PortError::None || e == PortError::HeldByOther) {
        if (e == PortError::HeldByOther)
            m_dialogs.message(this, QStringLiteral("Port unavailable. Choose another port."));
        m_animate = true;
        if (isVisible()) m_animation.start();
        return;
    }
    if (e != PortError::Unavailable) m_dialogs.message(this, portErrorText(status));
    if (e == PortError::NotOpen || e == PortError::AlreadyOpen) {
        m_ended = true;
        emit programEnded();
    }
}

void MainWindow::downloadIndicatorFile()
{
    const bool asked = m_link.download(
        this, workingFilePath(),
        [this](const ExchangeResult& r, const IndicatorImage&) {
            showMessages(m_dialogs, this, downloadMessages(r, DownloadVariant::MainWindow));
            m_progress->setVisible(false);
        },
        [this](int percent) { m_progress->setValue(percent); });
    if (!asked) {
        m_dialogs.message(this, Link::kBusyMessage);
        return;
    }
    m_progress->setVisible(true);
    m_progress->setValue(0);
}

void MainWindow::uploadIndicatorFile()
{
    // The bar shows each block sent, as it does for the read.
    sendIndicatorFile(m_link, m_dialogs, this, workingFilePath(), UploadVariant::MainWindow,
                      m_offsetMode, WriteView{m_progress});
}

void MainWindow::openBackupsFolder()
{
    const QString folder = m_link.writeSafety().backupFolder;
    if (!QDir().mkpath(folder) || !QDesktopServices::openUrl(QUrl::fromLocalFile(folder))) {
        m_dialogs.message(this, QStringLiteral("The backups folder %1 cannot be opened.")
                                    .arg(QDir::toNativeSeparators(folder)));
    }
}

void MainWindow::showHistoryWindow()
{
    showOnce(m_historyWindow, [this] {
        return new HistoryWindow(m_link, m_dialogs, m_offsetMode, this);
    })->refresh();
}

template <typename W> W* MainWindow::takesPlace(W* window)
{
    connect(window, &W::closed, this, [this] {
        if (!m_ended) show();
    });
    return window;
}

void MainWindow::showPortWindow()
{
    showOnce(m_portWindow, [this] {
        return new PortWindow(m_link, m_dialogs, m_portDevices, this);
    })->selectCurrentPort();
}

void MainWindow::showLineTrafficWindow()
{
    showOnce(m_trafficWindow,
             [this] { return new LineTrafficWindow(m_link.traceLog(), m_dialogs, this); });
}

void MainWindow::showClearWindow()
{
    showOnce(m_clearWindow, [this] { return new ClearWindow(m_link, m_dialogs, this); });
}

// The keypad takes the main window's place while it is open.
void MainWindow::showKeypadWindow()
{
    showOnce(m_keypadWindow,
             [this] { return takesPlace(new KeypadWindow(m_link, m_dialogs, this)); });
    hide();
}

void MainWindow::showTankEditor(const QString& tankFile)
{
    if (m_editorWindow && m_editorWindow->isVisible()) {
        bringToFront(m_editorWindow);
        return;
    }
    auto* editor = takesPlace(new EditorWindow(m_link, m_dialogs, m_offsetMode, this));
    m_editorWindow = editor;
    hide();
    editor->loadTankTable(tankFile.isEmpty());
    if (!tankFile.isEmpty()) editor->openTankFileAt(tankFile);
    editor->raise();
    editor->activateWindow();
}

// The indicator file management window takes the main window's place while it is open.
ManagementWindow* MainWindow::showManagementWindow()
{
    ManagementWindow* window = showOnce(m_managementWindow, [this] {
        return takesPlace(new ManagementWindow(m_link, m_dialogs, m_offsetMode, this));
    });
    hide();
    return window;
}

void MainWindow::startWithIndicatorFile(const QString& path)
{
    showManagementWindow()->openFile(path);
}

void MainWindow::updateTitle()
{
    setWindowTitle(titleFor(kCaption, m_offsetMode));
}

// Every click inverts the mode, whatever the box shows.
void MainWindow::toggleOffsetMode()
{
    m_offsetMode = !m_offsetMode;
    updateTitle();
    updateLineStatus();
}

void MainWindow::showAbout()
{
    AboutWindow about(this);
    about.exec();
}

void MainWindow::showHelpContents()
{
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow(this);
        m_helpWindow->setAttribute(Qt::WA_DeleteOnClose);
        if (!m_helpWindow->load()) {
            delete m_helpWindow;
            m_dialogs.message(this, QStringLiteral("No Help Executable Available"));
            return;
        }
    }
    bringToFront(m_helpWindow);
}

void MainWindow::saveRetrievedIndicatorFile()
{
    kaldor::saveRetrievedIndicatorFile(this, m_dialogs, workingFilePath());
}

int MainWindow::shutDown()
{
    m_closedByUser = true;
    m_animation.stop();
    // The link lets go of the line and its thread ends before the working file is removed:
    // a read called off here can no longer write or remove it afterwards.
    m_link.stop();
    QFile working(workingFilePath());
    if (!working.exists() || working.remove()) return 0;
    return working.error() == QFileDevice::PermissionsError ? err::kPermissionDenied
                                                            : err::kPathAccess;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    onMainWindowClosed();
    event->accept();
}

void MainWindow::onMainWindowClosed()
{
    if (m_ended) return;
    const int error = shutDown();
    if (error != 0) m_dialogs.message(this, errorText(error));
    m_ended = true;
    emit programEnded();
}

// Exit ends the program at once; a working file that cannot be deleted is not reported.
void MainWindow::exitProgram()
{
    if (m_ended) return;
    shutDown();
    m_ended = true;
    emit programEnded();
}

} // namespace kaldor

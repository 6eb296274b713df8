#include "store/managementwindow.h"

#include "construct/constructionwindow.h"
#include "link/exchangemessages.h"
#include "link/link.h"
#include "link/upload.h"
#include "store/inputfile.h"
#include "store/offsetmode.h"
#include "ui/dialogs.h"
#include "ui/sendimage.h"
#include "ui/showmessages.h"
#include "viewer/comparewindow.h"
#include "viewer/viewerwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>

#include <algorithm>

namespace kaldor {

namespace {

constexpr int kMinimumWidth = 480;
constexpr int kMinimumHeight = 160;

const QString kCaption = QStringLiteral("Indicator File Management");

} // namespace

ManagementWindow::ManagementWindow(Link& link, Dialogs& dialogs, bool offsetMode, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_link(link), m_dialogs(dialogs), m_offsetMode(offsetMode)
{
    setObjectName(QStringLiteral("meterform"));
    setWindowTitle(titleFor(kCaption, offsetMode));
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    // The chosen file's path, so that the user sees what "&Send File to Meter" sends.
    m_chosenLabel = new QLabel(this);
    m_chosenLabel->setObjectName(QStringLiteral("lblChosen"));
    m_chosenLabel->setAlignment(Qt::AlignCenter);
    m_chosenLabel->setWordWrap(true);
    m_chosenLabel->setMargin(12);
    setCentralWidget(m_chosenLabel);
    // The meter's read for a compare.
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbCompare"));
    m_progress->setRange(0, 100);
    m_progress->setVisible(false);
    statusBar()->addPermanentWidget(m_progress, 1);

    auto action = [this](QWidget* where, const char* name, const QString& caption) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        where->addAction(a);
        return a;
    };
    QMenu* files = menuBar()->addMenu(QStringLiteral("&Files"));
    files->setObjectName(QStringLiteral("cfile"));
    connect(action(files, "fileopen", QStringLiteral("&Open")), &QAction::triggered, this,
            &ManagementWindow::openIndicatorFile);
    connect(action(menuBar(), "aconstrct", QStringLiteral("&Construct New Indicator File")),
            &QAction::triggered, this, &ManagementWindow::constructIndicatorFile);
    connect(action(menuBar(), "smeter", QStringLiteral("&Send File to Meter")), &QAction::triggered,
            this, &ManagementWindow::sendFile);
    connect(action(menuBar(), "compareMeter", QStringLiteral("Co&mpare with Meter")),
            &QAction::triggered, this, &ManagementWindow::compareWithMeter);
    connect(action(menuBar(), "aexit", QStringLiteral("C&lose")), &QAction::triggered, this,
            &QWidget::close);
    // Every item of the menu bar in view, none behind its overflow arrow.
    setMinimumWidth(std::max(kMinimumWidth, menuBar()->sizeHint().width()));
}

void ManagementWindow::openIndicatorFile()
{
    FileDialog dialog;
    dialog.title = QStringLiteral("Open");
    dialog.filter = QStringLiteral("Indicator (*.idr)");
    dialog.confirmOverwrite = false;
    if (m_dialogUsed) dialog.defaultSuffix = QStringLiteral("idr");
    const std::optional<QString> chosen = m_dialogs.openFileName(this, dialog);
    m_dialogUsed = true;
    if (!chosen || chosen->isEmpty()) return;
    openFile(*chosen);
}

ViewerWindow* ManagementWindow::openFile(const QString& path)
{
    // Kept whole: the construction window moves the current directory.
    m_chosenFile = QFileInfo(path).absoluteFilePath();
    m_chosenLabel->setText(QDir::toNativeSeparators(m_chosenFile));
    const InputFile input = readInputFile(m_chosenFile);
    if (!input.ok()) {
        m_dialogs.message(this, fileRefusal(m_chosenFile, input.reason));
        return nullptr;
    }
    if (m_viewer) m_viewer->close();
    auto* viewer = new ViewerWindow(m_link, m_dialogs, m_offsetMode, m_chosenFile, this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    m_viewer = viewer;
    connect(viewer, &ViewerWindow::closed, this, [this] { show(); });
    if (!viewer->load()) return nullptr;
    hide();
    return viewer;
}

void ManagementWindow::constructIndicatorFile()
{
    if (!m_construction) {
        m_construction = new ConstructionWindow(m_link, m_dialogs, m_offsetMode, this);
        m_construction->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_construction, &ConstructionWindow::closed, this, [this] { show(); });
    }
    m_construction->show();
    m_construction->raise();
    m_construction->activateWindow();
    hide();
}

void ManagementWindow::sendFile()
{
    if (m_chosenFile.isEmpty()) {
        m_dialogs.message(this, QStringLiteral("No file selected"));
        return;
    }
    sendIndicatorFile(m_link, m_dialogs, this, m_chosenFile, UploadVariant::FileManagement,
                      m_offsetMode, {});
}

void ManagementWindow::compareWithMeter()
{
    kaldor::compareWithMeter(m_link, m_dialogs, this, m_chosenFile, m_offsetMode, m_progress);
}

void ManagementWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    emit closed();
}

} // namespace kaldor

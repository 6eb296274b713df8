#include "link/linetrafficwindow.h"

#include "link/tracelog.h"
#include "store/atomicfile.h"
#include "store/inputfile.h"
#include "ui/dialogs.h"
#include "ui/escapecloses.h"
#include "ui/showmessages.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kaldor {

LineTrafficWindow::LineTrafficWindow(std::shared_ptr<TraceLog> log, Dialogs& dialogs,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), m_log(std::move(log)), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("LineTraffic"));
    setWindowTitle(QStringLiteral("Line Traffic"));
    closeOnEscape(this);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("traffic"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    m_pause = new QPushButton(QStringLiteral("&Pause"), this);
    m_pause->setObjectName(QStringLiteral("pauseTraffic"));
    m_pause->setCheckable(true);
    m_pause->setToolTip(QStringLiteral("Holds the view still; the traffic is still recorded"));
    auto* clear = new QPushButton(QStringLiteral("C&lear"), this);
    clear->setObjectName(QStringLiteral("clearTraffic"));
    clear->setToolTip(QStringLiteral("Empties the log"));
    auto* save = new QPushButton(QStringLiteral("Save Log…"), this);
    save->setObjectName(QStringLiteral("saveLog"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("closeTraffic"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pause);
    buttons->addWidget(clear);
    buttons->addWidget(save);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(m_pause, &QPushButton::toggled, this, &LineTrafficWindow::setPaused);
    connect(clear, &QPushButton::clicked, this, &LineTrafficWindow::clearLog);
    connect(save, &QPushButton::clicked, this, &LineTrafficWindow::saveLog);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // The link thread only appends and tells the window once that there is news; the window
    // looks a moment later, never on every byte, and not at all while the line is quiet.
    m_timer.setSingleShot(true);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &LineTrafficWindow::refresh);
}

LineTrafficWindow::~LineTrafficWindow()
{
    m_log->setNewsListener({});
}

void LineTrafficWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_log->setNewsListener([this] {
        QMetaObject::invokeMethod(this, &LineTrafficWindow::newsArrived, Qt::QueuedConnection);
    });
    refresh();
}

void LineTrafficWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_log->setNewsListener({});
    m_timer.stop();
}

void LineTrafficWindow::newsArrived()
{
    if (!m_timer.isActive()) m_timer.start();
}

void LineTrafficWindow::refresh()
{
    const qint64 recorded = m_log->recorded();
    if (isPaused() || recorded == m_seen) return;
    m_seen = recorded;
    const qint64 hidden = recorded - qMin<qint64>(recorded, kShownEntries);
    m_text->setPlainText(
        QString::fromUtf8(formatTraceLog(m_log->entries(kShownEntries), m_log->started(), hidden)));
    m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
}

void LineTrafficWindow::setPaused(bool paused)
{
    if (m_pause->isChecked() != paused) {
        m_pause->setChecked(paused); // comes back here through toggled
        return;
    }
    m_pause->setText(paused ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    refresh();
}

bool LineTrafficWindow::isPaused() const
{
    return m_pause->isChecked();
}

void LineTrafficWindow::clearLog()
{
    m_log->clear();
    m_text->clear();
    m_seen = -1;
    refresh();
}

void LineTrafficWindow::saveLog()
{
    const std::optional<QString> path =
        m_dialogs.saveFileName(this, FileDialog{QStringLiteral("Save Log"),
                                                QStringLiteral("Text (*.txt)"),
                                                QStringLiteral("txt"),
                                                true,
                                                {},
                                                {}});
    if (!path || outputRefused(m_dialogs, this, *path, OutputForm::Trace)) return;
    const FileWriteResult written = writeFileAtomically(
        *path, formatTraceLog(m_log->entries(), m_log->started(), m_log->dropped()));
    if (!written.ok) m_dialogs.message(this, fileRefusal(*path, written.detail));
}

} // namespace kaldor

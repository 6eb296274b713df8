#pragma once
// The "Line Traffic" window: the last exchanges on the line in hex, as the link's traffic log
// holds them, refreshed on a timer while the window is shown. "Save Log…" writes the whole log
// to a text file.

#include <QTimer>
#include <QWidget>
#include <memory>

class QPlainTextEdit;

namespace kaldor {

class Dialogs;
class TraceLog;

class LineTrafficWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;
    static constexpr int kShownEntries = 2000; // the newest; the saved log has them all

    LineTrafficWindow(std::shared_ptr<TraceLog> log, Dialogs& dialogs, QWidget* parent = nullptr);

    // Shows the newest entries when anything was recorded since the last look.
    void refresh();
    void saveLog();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::shared_ptr<TraceLog> m_log;
    Dialogs& m_dialogs;
    QPlainTextEdit* m_text = nullptr;
    QTimer m_timer;
    qint64 m_seen = -1; // the log's count of entries when last shown
};

} // namespace kaldor

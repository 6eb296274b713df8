#pragma once
// The "Line Traffic" window: the last exchanges on the line, each byte's time of day and time
// since the log started, the bytes in hex and as ASCII, as the link's traffic log holds them,
// refreshed a moment after new traffic while the window is shown (nothing runs while the line
// is quiet). "Pause" holds the view still while the log
// goes on recording; "Clear" empties the log; "Save Log…" writes the whole log to a text file.

#include <QTimer>
#include <QWidget>
#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace kaldor {

class Dialogs;
class TraceLog;

class LineTrafficWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;
    static constexpr int kShownEntries = 2000; // the newest; the saved log has them all

    LineTrafficWindow(std::shared_ptr<TraceLog> log, Dialogs& dialogs, QWidget* parent = nullptr);
    ~LineTrafficWindow() override;

    // Shows the newest entries when anything was recorded since the last look, unless paused.
    void refresh();
    void saveLog();
    // Pause: the view stays as it is until the button is pressed again.
    void setPaused(bool paused);
    bool isPaused() const;
    // Clear: the log starts again empty.
    void clearLog();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The log has news: the view follows once the refresh interval has passed.
    void newsArrived();

    std::shared_ptr<TraceLog> m_log;
    Dialogs& m_dialogs;
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_pause = nullptr;
    QTimer m_timer;     // single shot, started by news
    qint64 m_seen = -1; // the log's count of entries when last shown
};

} // namespace kaldor

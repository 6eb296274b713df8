#pragma once
// The main window form1: the program's hub. It holds the offset mode, offers every top-level
// function through its menu, shows the level gauge, and ends the program when it closes.
// Exchanges with the meter run on the link's thread; the window only starts them and shows
// what they report.

#include "link/serialport.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QTimer>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;

namespace kaldor {

class AboutWindow;
class ClearWindow;
class Dialogs;
class EditorWindow;
class Gauge;
class GaugeLabel;
class HelpWindow;
class HistoryWindow;
class KeypadWindow;
class LineTrafficWindow;
class Link;
class ManagementWindow;
class PortWindow;

// The scale beside the gauge: 21 lines from "--10 " down to "-- 0 ", each ended by CR LF.
QString gaugeScaleText();

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // One step of the gauge: ten a second, a sweep up and down in 20 s. Each step moves the
    // level by about three rows of pixels, which the eye follows as steady motion; a faster
    // step costs the idle program a share of the processor in proportion and shows nothing
    // more.
    static constexpr int kGaugeStepMs = 100;

    // portDevices: the device each port option opens (--port N=DEVICE); the others open the
    // system's port of that number.
    MainWindow(Link& link, Dialogs& dialogs, QMap<int, QString> portDevices = {},
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens port 1, sets the title and shows the window; the gauge runs from here on.
    void startUp();

    bool offsetMode() const { return m_offsetMode; }
    // True after Exit or closing the window, which remove the working file.
    bool closedByUser() const { return m_closedByUser; }

public slots:
    void toggleOffsetMode();
    void showHelpContents();
    void showAbout();
    void showPortWindow();
    void showLineTrafficWindow();
    void showClearWindow();
    void showKeypadWindow();
    // The tank editor takes the main window's place; with a tank file it opens that file.
    void showTankEditor(const QString& tankFile = {});
    ManagementWindow* showManagementWindow();
    // The start with an indicator file: the viewer open on it, the management window behind.
    void startWithIndicatorFile(const QString& path);
    void downloadIndicatorFile();
    void uploadIndicatorFile();
    // The folder the backups are kept in, in the desktop's file manager; made when missing.
    void openBackupsFolder();
    // The backups listed, each to compare, restore or open; made once, then raised.
    void showHistoryWindow();
    void saveRetrievedIndicatorFile();
    void exitProgram();

signals:
    // The program is to end now (Exit, the window closed, a port failure at start-up).
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void stepGauge();
    void updateTitle();
    void updateLineStatus();
    // A window that takes the main window's place while it is open: its close shows the main
    // window again, unless the program is ending.
    template <typename W> W* takesPlace(W* window);
    void onMainWindowClosed();
    // Stops the link and removes the working file; returns the run-time error number of a
    // failed delete (0 when deleted or absent).
    int shutDown();
    void onStartUpPortOpened(const PortStatus& status);

    // The port stays open while the user works in other windows: the main window never
    // holds the focus itself (its check box takes it), so losing the focus closes nothing.

    Link& m_link;
    Dialogs& m_dialogs;
    bool m_offsetMode = true;
    QMap<int, QString> m_portDevices;
    bool m_animate = false; // start-up left the gauge running
    bool m_ended = false;
    bool m_closedByUser = false;

    QCheckBox* m_check = nullptr;
    Gauge* m_gauge = nullptr;
    GaugeLabel* m_gaugeLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_lineStatus = nullptr;     // the line and the mode
    QLabel* m_exchangeStatus = nullptr; // the last exchange, whichever window started it
    QTimer m_animation;
    int m_gaugeStep = 0;

    QPointer<PortWindow> m_portWindow;
    QPointer<LineTrafficWindow> m_trafficWindow;
    QPointer<ClearWindow> m_clearWindow;
    QPointer<KeypadWindow> m_keypadWindow;
    QPointer<EditorWindow> m_editorWindow;
    QPointer<ManagementWindow> m_managementWindow;
    QPointer<HelpWindow> m_helpWindow;
    QPointer<HistoryWindow> m_historyWindow;
};

} // namespace kaldor

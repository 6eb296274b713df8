#pragma once
// The meterform window, "Indicator File Management": the user's archive of indicator files.
// "&Open" chooses an *.idr file and opens it in the data viewer, "&Construct New Indicator
// File" opens the construction window, "&Send File to Meter" sends the chosen file whole. The
// chosen file is kept while the window lives. The window steps aside while the viewer or the
// construction window is open and comes back when it closes.

#include <QMainWindow>
#include <QPointer>

class QLabel;
class QProgressBar;

namespace kaldor {

class ConstructionWindow;
class Dialogs;
class Link;
class ViewerWindow;

class ManagementWindow : public QMainWindow {
    Q_OBJECT
public:
    ManagementWindow(Link& link, Dialogs& dialogs, bool offsetMode, QWidget* parent = nullptr);

    // The file chosen by "&Open"; empty until one was chosen.
    const QString& chosenFile() const { return m_chosenFile; }

    // Takes the file as the chosen one and opens it in the viewer, as "&Open" does once the
    // dialog has given a name; a file that cannot be read is refused with its name and the
    // reason, and the viewer is not opened. Returns the viewer, or null.
    ViewerWindow* openFile(const QString& path);

public slots:
    void openIndicatorFile();
    void constructIndicatorFile();
    void sendFile();
    // Reads the meter and opens the compare window on the chosen file and the meter's tanks.
    void compareWithMeter();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Link& m_link;
    Dialogs& m_dialogs;
    bool m_offsetMode;
    bool m_dialogUsed = false; // the default extension applies from the second dialog on
    QString m_chosenFile;
    QLabel* m_chosenLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QPointer<ViewerWindow> m_viewer;
    QPointer<ConstructionWindow> m_construction;
};

} // namespace kaldor

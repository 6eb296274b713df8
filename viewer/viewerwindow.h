#pragma once
// The edtnk window, "Indicator/Tank Data": shows without allowing changes what an indicator
// file holds, its tanks listed in directory order and, for the tank the user picks, the curve
// points as VALUE (" Vol.") and percentage. From its menu the shown curve is graphed and the
// whole file sent to the meter. The indicator file management window opens it on the file
// chosen there and steps aside while it is open; closing it removes the working file.

#include "store/tankrecords.h"

#include <QMainWindow>
#include <QPointer>
#include <QVector>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;

namespace kaldor {

class CurveGrid;
class Dialogs;
class GraphWindow;
class Link;

class ViewerWindow : public QMainWindow {
    Q_OBJECT
public:
    // file: the indicator file chosen in the management window, the source of the list and of
    // the send.
    ViewerWindow(Link& link, Dialogs& dialogs, bool offsetMode, const QString& file,
                 QWidget* parent = nullptr);

    // Shows the window and reads the file. A file that ends before its count or holds no
    // tanks leaves the window open with an empty list; any other failure is reported and
    // closes the window. Returns whether the window stayed open.
    bool load();

public slots:
    void displayTank();
    void graphCurve();
    void sendFile();
    // Reads the meter and opens the compare window on this file and the meter's tanks.
    void compareWithMeter();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Link& m_link;
    Dialogs& m_dialogs;
    bool m_offsetMode;
    QString m_file;
    QVector<TankRecord> m_records; // one per list entry, in directory order

    QListWidget* m_list = nullptr;
    CurveGrid* m_grid = nullptr;
    QLabel* m_shown = nullptr;     // Label1: the list text of the tank on display
    QLabel* m_name = nullptr;      // Label3: the file's name
    QLineEdit* m_status = nullptr; // Text1: shown while the graph checks the curve
    QProgressBar* m_progress = nullptr;
    QPointer<GraphWindow> m_graph;
};

} // namespace kaldor

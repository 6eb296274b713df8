#pragma once
// The tank editor atnkfrm: the tanks of the working file in a list, one tank's curve in the
// grid, and the actions on that curve: check and graph it, send it to the meter as one tank,
// save it as a tank file or open one, read the meter again. The logic of every action lives in
// the core; the window asks the user, calls it and shows what it says.
//
// Nothing here waits in a loop of its own: a tank number typed into text2 or Text3 is taken
// up by the Enter key's handler, and the exchanges run on the link and report back.

#include "curves/curvefit.h"
#include "editor/curveundo.h"
#include "link/safewrite.h"
#include "link/wire.h"
#include "sheet/calibrationsheet.h"
#include "store/curvecheck.h"
#include "store/curvetable.h"
#include "store/tankrecords.h"

#include <QMainWindow>
#include <QPointer>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QUndoStack;

namespace kaldor {

class CurveGrid;
class Dialogs;
class GraphWindow;
class Link;
class TankNumberPrompt;

class EditorWindow : public QMainWindow {
    Q_OBJECT
public:
    EditorWindow(Link& link, Dialogs& dialogs, bool offsetMode, QWidget* parent = nullptr);
    ~EditorWindow() override;

    // loadTankTable: title, grid frame, the working file's tanks in the list. A missing working
    // file asks whether to read the meter, unless askWhenMissing is false.
    void loadTankTable(bool askWhenMissing = true);
    // "&Open" without the dialog: the tank file at path into the grid.
    void openTankFileAt(const QString& path);

    bool offsetMode() const { return m_offsetMode; }
    bool indicatorLoaded() const { return m_indicatorLoaded; }
    int pointCount() const { return m_pointCount; }
    bool curveValid() const { return m_curveValid; }
    QString tankNumberText() const { return m_tankNumberText; }
    const CurveTable& table() const;
    GraphWindow* graphWindow() const;
    QUndoStack* undoStack() const { return m_undo; }

    // A fill: the grid's points replaced by table's, row 1's VALUE current, as one step the Edit
    // menu can undo (named "Undo " and undoText). source and largestError go on the calibration
    // sheet of this curve.
    void fillGrid(const CurveTable& table, const QString& undoText, const QString& source = {},
                  std::optional<SheetError> largestError = {});
    // The curve last made from a tank's shape or strapping table, with its true values, and
    // where it came from; the graph draws its truth while the grid holds its points.
    const CurveFit& sourceFit() const { return m_sourceFit; }
    QString sourceText() const { return m_source; }

public slots:
    void showTankCurve();
    void clearCurve();
    void graphCurve();
    void sendTankData();
    void saveTankAs();
    // File > Save: the grid back into the tank file it came from, after the checks of Save As
    // and under the tank number it holds; Save As when the grid holds no tank file.
    void saveTank();
    void openTankFile();
    void readIndicator();
    void copyRows();
    void pasteRows();
    void exportCsv();
    void printSheet();
    void saveSheetPdf();
    void newFromShape();
    void importStrappingTable();

signals:
    // The window has closed; the working file is gone.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    // validateCurve on the grid (Order), or checkTankCurve (Tank: also encoded, as for a tank
    // file), with "Checking data order." in Text1 while it runs; the grid gets the compacted and
    // sorted curve back. Returns curveValid.
    enum class CurveRules { Order, Tank };
    bool checkCurve(CurveRules rules = CurveRules::Order);
    void tankNumberEntered(const QString& text); // Enter in text2
    void saveNumberEntered(const QString& text); // Enter in Text3
    void continueSend();
    void offerReplace();
    // Save As to path, once the curve has passed the checks a tank file asks for: the tank
    // number is asked for, or taken as known when askNumber is false.
    void saveTankTo(const QString& path, bool askNumber);
    // The list entry whose tank the grid holds, or -1 (a file, a shape, nothing).
    int shownListEntry() const;
    // The list's selection follows the grid: that entry, or nothing.
    void followGridInList();
    // The tank number the grid's curve belongs to, as far as it is known.
    QString knownTankNumber() const;
    // The tank file the grid holds, or empty.
    QString shownTankFile() const;
    void updateSummary();
    void readDone(const ExchangeResult& result);
    // False once the editor is closed: the send's messages are not shown then.
    bool sendDone(const SafeWrite& result);
    void exchangeStarted();
    void exchangeEnded();
    void setCurve(const CurveTable& table);
    // The grid's points replaced by the fit's.
    void fillFromCurve(const CurveFit& fit, const QString& sourceText);

    GridState gridState() const;
    void setGridState(const GridState& state, bool withTank);
    // One undo step from before to now, unless GridChange finds it is none.
    void recordChange(const GridState& before, const QString& what);
    template <class Change> void changeGrid(const QString& what, Change change)
    {
        const GridState before = gridState();
        change();
        recordChange(before, what);
    }
    // The checked curve's sheet, or nothing after the check's or the encoding's messages.
    std::optional<CalibrationSheet> checkedSheet();

    Link& m_link;
    Dialogs& m_dialogs;
    const bool m_offsetMode;

    // The TankTable and the editing state.
    QVector<TankRecord> m_records;
    int m_pointCount = 0;
    bool m_curveValid = false;
    bool m_indicatorLoaded = false;
    QString m_tankNumberText;
    bool m_sendWaitsForNumber = false;
    // What Save As checked and encoded, written when Text3 takes a tank number: the file holds
    // that curve even if the grid is typed into while the number is asked for.
    QString m_savePath;
    CurveTable m_saveTable;
    int m_savePointCount = 0;
    EncodedCurve m_saveEncoded;

    int m_exchangesRunning = 0; // this window's requests the link has not answered yet, and its
                                // closing message while it is open
    bool m_closed = false;

    QListWidget* m_list = nullptr;
    CurveGrid* m_grid = nullptr;
    QLabel* m_tankLabel = nullptr;              // Label1
    TankNumberPrompt* m_numberPrompt = nullptr; // Label2 with text2 and Text3
    QLabel* m_summary = nullptr;                // full scale, offset and points of the grid
    QLineEdit* m_status = nullptr;              // Text1
    QProgressBar* m_progress = nullptr;         // pbTank
    QPointer<GraphWindow> m_graph;
    QUndoStack* m_undo = nullptr;
    GridState m_beforeKey; // the state the grid's key being applied started from
    QString m_source;      // where the grid's curve came from, for the sheet
    std::optional<SheetError> m_largestError;
    CurveFit m_sourceFit;   // its truth is drawn by the graph while the grid holds its points
    QString m_tankFilePath; // the tank file last opened or saved; the grid holds it while its
                            // source names it
};

} // namespace kaldor

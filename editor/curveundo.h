#pragma once
// The Edit menu's steps in the tank editor: what the grid held before a change and after it,
// put back by Undo and Redo.

#include "sheet/calibrationsheet.h"
#include "store/curvetable.h"

#include <QString>
#include <QUndoCommand>

#include <functional>
#include <optional>

namespace kaldor {

// What an undo step puts back: the points, the point count, the current cell, the tank number
// and label, and what the sheet says of the curve's origin.
struct GridState {
    CurveTable table;
    int pointCount = 0;
    GridCell cell;
    QString tankNumberText;
    QString tankLabel;
    QString source;
    std::optional<SheetError> largestError;
};

// One step of the Edit menu: the grid's state before and after a change. The change has been
// made when the step is pushed, so its first redo finds the grid as it leaves it.
class GridChange : public QUndoCommand {
public:
    // Puts a state on the grid; the tank number and label only when withTank is true.
    using Apply = std::function<void(const GridState& state, bool withTank)>;

    GridChange(Apply apply, GridState before, GridState after, const QString& what);

    // A change is a step unless the points and the tank shown are as they were (a check that
    // only counts the points is no step).
    static bool isStep(const GridState& before, const GridState& after);

    void undo() override;
    void redo() override;

private:
    // A step that left the tank alone leaves alone the number given since, for a send.
    bool tankChanged() const;

    const Apply m_apply;
    const GridState m_before;
    const GridState m_after;
};

} // namespace kaldor

#pragma once
// Typing into the editor's curve grid. The grid has no cell editor of its own: every key the
// user types, the Insert and Delete keys and a double-click come here with the curve, the
// current cell and the grid's top visible row, and leave with the curve changed in place and
// the new current cell and top row.

#include "store/curvetable.h"

namespace kaldor {

// What reaches the grid: a character typed (its character code), the Insert or Delete key let
// go, or a double-click.
struct GridKey {
    enum class Kind { Typed, InsertReleased, DeleteReleased, DoubleClick };
    Kind kind = Kind::Typed;
    int code = 0; // the character code of a typed key

    static GridKey typed(int code) { return {Kind::Typed, code}; }
    static GridKey insertReleased() { return {Kind::InsertReleased, 0}; }
    static GridKey deleteReleased() { return {Kind::DeleteReleased, 0}; }
    static GridKey doubleClick() { return {Kind::DoubleClick, 0}; }
};

struct GridStep {
    GridCell cell;            // the current cell afterwards
    int topRow = 1;           // the grid's top visible point row afterwards
    int pointCountChange = 0; // +1 after an Insert, -1 after a Delete, whatever the row
};

inline constexpr int kBackspaceCode = 8;
inline constexpr int kMinusCode = 45;
// A carry to a row more than this far below the top visible row scrolls the grid by one row.
inline constexpr int kRowsBelowTop = 15;

// Applies one key. Digits fill the current cell: a full VALUE carries on into the percentage of
// the same row, a full percentage into the VALUE of the next row (row 100 stays), and the full
// stop after two percentage digits comes by itself. Backspace removes the last character; a
// minus makes the VALUE text "-" in the offset-capable mode only; every other character is
// ignored. Insert and Delete shift the rows at the current row and leave the VALUE cell of that
// row current. A double-click empties the current cell.
GridStep typeIntoGrid(CurveTable& table, GridKey key, bool offsetCapable, GridCell cell,
                      int topRow);

// The texts a cell takes from elsewhere than the keyboard (a paste), blanks around them
// dropped first: what typing could leave there. A VALUE is one to four digits, or in the
// offset-capable mode a minus and one to three digits; a percentage is a number from 0 to 99.99
// of at most five characters, digits and at most one stop.
bool isValueCellText(const QString& text, bool offsetCapable);
bool isPercentCellText(const QString& text);

// The Clear menu item: empties every point and returns the cell that becomes current.
GridCell clearGrid(CurveTable& table);

} // namespace kaldor

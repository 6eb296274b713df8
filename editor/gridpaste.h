#pragma once
// Rows of the editor's grid to and from a spreadsheet's clipboard text: one line per row, the
// VALUE and the percentage separated by a tab. A paste overwrites the rows from the current
// row down; it is taken whole or refused whole.

#include "store/celltexts.h"
#include "store/curvetable.h"
#include "store/messages.h"

namespace kaldor {

// Rows first .. last, each "VALUE<TAB>percentage" and a line end, blanks around the texts
// dropped.
QString copyGridRows(const CurveTable& table, int first, int last);

struct GridPaste {
    bool ok = false;
    Messages messages; // on refusal one message that names the pasted row
    int rows = 0;      // the rows pasted
};

// Writes the lines of text over rows row, row + 1, ... of the table. An empty line empties its
// row; the line end after the last line is not a row; a first line with no number in it, of
// more lines than one, is a spreadsheet's header and is left out (a refusal still names the
// line of the text). Texts a refusal quotes are quoted as quotedText quotes them. Refused, the
// table untouched, when a line has more than two columns, a text breaks the cell rules of the grid
// (isValueCellText, isPercentCellText) or the rows run past row 100.
GridPaste pasteIntoGrid(CurveTable& table, int row, const QString& text, bool offsetCapable);

// A fill: a grid that holds these rows from row 1 and nothing else (rows past 100 dropped).
CurveTable curveTableOf(const QVector<CellRow>& rows);

} // namespace kaldor

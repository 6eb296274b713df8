#pragma once
// Curves for the tests, as the grid's cell texts.

#include "store/curvetable.h"

#include <QList>
#include <QPair>

namespace kaldor::testing {

using Rows = QList<QPair<QString, QString>>; // VALUE text, percentage text

inline CurveTable tableOf(const Rows& rows)
{
    CurveTable t;
    for (int i = 0; i < rows.size(); ++i) {
        t.setValue(i + 1, rows[i].first);
        t.setPercent(i + 1, rows[i].second);
    }
    return t;
}

// Points (0 %, 100), (50 %, 600), (99.99 %, 1100).
inline Rows threePointRows()
{
    return {{"100", "0"}, {"600", "50"}, {"1100", "99.99"}};
}
inline CurveTable threePointTable()
{
    return tableOf(threePointRows());
}

// The filled rows of a table, as the grid holds them.
inline Rows rowsOf(const CurveTable& t)
{
    Rows rows;
    for (int r = 1; r <= t.filledRows(); ++r)
        rows.append({t.value(r), t.percent(r)});
    return rows;
}

} // namespace kaldor::testing

#include "editor/curveundo.h"

namespace kaldor {

GridChange::GridChange(Apply apply, GridState before, GridState after, const QString& what)
    : QUndoCommand(what), m_apply(std::move(apply)), m_before(std::move(before)),
      m_after(std::move(after))
{
}

bool GridChange::isStep(const GridState& before, const GridState& after)
{
    return after.table != before.table || after.tankNumberText != before.tankNumberText ||
           after.tankLabel != before.tankLabel;
}

void GridChange::undo()
{
    m_apply(m_before, tankChanged());
}

void GridChange::redo()
{
    m_apply(m_after, tankChanged());
}

bool GridChange::tankChanged() const
{
    return m_before.tankNumberText != m_after.tankNumberText ||
           m_before.tankLabel != m_after.tankLabel;
}

} // namespace kaldor

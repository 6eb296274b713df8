#pragma once
// The program's icon, drawn in code (the same picture as shell/kaldor.svg, which the desktop
// entry uses): a tank with its level and a scale beside it.

#include <QIcon>
#include <QPixmap>

namespace kaldor {

QPixmap appIconPixmap(int size);
QIcon appIcon();

} // namespace kaldor

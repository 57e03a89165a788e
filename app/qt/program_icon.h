#pragma once

// Icon 128, the program's icon: the window icon of every dialog, the about box's icon
// and the desktop icon: the PNGs that scripts/render-icons draws from icon/qv5300.svg at 16,
// 32, 48 and 256 pixels (no SVG renderer at run time).

#include <QIcon>

namespace qv::qt {

// All sizes of the icon, from the program's compiled-in resources. Needs a
// QGuiApplication.
QIcon programIcon();

} // namespace qv::qt

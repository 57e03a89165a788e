#pragma once

// Icon 128, the program's icon: the window icon of every dialog, the about box's icon
// and the desktop icon. Drawn at 16, 32, 48 and 256 pixels from icon/qv5300.svg.

#include <QIcon>

namespace qv::qt {

// All sizes of the icon, from the program's compiled-in resources. Needs a
// QGuiApplication.
QIcon programIcon();

} // namespace qv::qt

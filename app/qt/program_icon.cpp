#include "app/qt/program_icon.h"

#include <QString>

// The resources live in a static library, so nothing would pull them into the executable
// unless something refers to their initialiser; this does, and it must be called outside
// any namespace.
static void initProgramResources() {
    Q_INIT_RESOURCE(res);
}

namespace qv::qt {

QIcon programIcon() {
    static const bool initialised = (initProgramResources(), true);
    (void)initialised;
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/qv5300/icon/qv5300-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace qv::qt

#include "app/main_dialog.h"

namespace qv {

void CQV53Dlg::applyPublishSettings() {}

std::string CQV53Dlg::publishStatusText() const {
    return {};
}

} // namespace qv

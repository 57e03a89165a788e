#pragma once

// "--trials none|no-text" for the Qt benchmark programs: the program as it is, or with
// no text reaching the window's widgets.

#include "bench/program_rig.h"

#include <string>

namespace qv::bench {

// False for a name it does not know.
inline bool parseTrials(const std::string& text, RigTrials& trials) {
    trials = {};
    if (text == "none")
        return true;
    if (text == "no-text") {
        trials.noText = true;
        return true;
    }
    return false;
}

} // namespace qv::bench

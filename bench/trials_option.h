#pragma once

// "--trials none|all|LIST" for the Qt benchmark programs; LIST is a comma-separated
// choice of unchanged-state, coalesce-posts, cached-controls, no-text. "all" is the
// three changes, without no-text.

#include "bench/program_rig.h"

#include <sstream>
#include <string>

namespace qv::bench {

// False for a name it does not know.
inline bool parseTrials(const std::string& text, RigTrials& trials) {
    trials = {};
    if (text == "none")
        return true;
    if (text == "all") {
        trials = {true, true, true, false};
        return true;
    }
    std::istringstream in(text);
    std::string name;
    while (std::getline(in, name, ',')) {
        if (name == "unchanged-state")
            trials.unchangedState = true;
        else if (name == "coalesce-posts")
            trials.coalescePosts = true;
        else if (name == "cached-controls")
            trials.cachedControls = true;
        else if (name == "no-text")
            trials.noText = true;
        else
            return false;
    }
    return true;
}

} // namespace qv::bench

// The dialogs a search pass looked at by their structure and found not to be
// the host's Print dialog, so that later passes need not ask each of them for
// its controls again.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/windows.h"

namespace vorelle::printdialog {

// A dialog's controls may be created after its window, so none is ruled out
// for good: each is looked at again once kLookAgainPasses passes have gone by
// since it was ruled out. Only the dialogs met in the latest pass are kept: a
// closed dialog is forgotten, and a handle given again to a new dialog is
// looked at no later than when the old one would have been.
class RuledOutDialogs {
public:
    static constexpr std::uint32_t kLookAgainPasses = 16;

    // Called once per pass, for each dialog the pass meets: true when `dialog`
    // was ruled out within the last kLookAgainPasses passes (it then stays
    // ruled out for the next pass too); false when it is to be looked at.
    bool Recently(platform::Window dialog);
    // `dialog` was looked at in this pass and ruled out.
    void Add(platform::Window dialog);
    // Ends the pass: what it met is what the next pass remembers.
    void EndPass();

private:
    struct Entry {
        platform::Window dialog;
        std::uint32_t pass;
    };
    std::vector<Entry> previous_;
    std::vector<Entry> current_;
    std::uint32_t pass_ = 0;
};

}  // namespace vorelle::printdialog

#include "printdialog/ruled_out_dialogs.h"

#include <algorithm>

namespace vorelle::printdialog {

bool RuledOutDialogs::Recently(platform::Window dialog) {
    const auto it = std::find_if(previous_.begin(), previous_.end(),
                                 [dialog](const Entry& entry) { return entry.dialog == dialog; });
    // Unsigned difference: right across the counter's wrap.
    if (it == previous_.end() || pass_ - it->pass >= kLookAgainPasses) {
        return false;
    }
    current_.push_back(*it);
    return true;
}

void RuledOutDialogs::Add(platform::Window dialog) {
    current_.push_back({dialog, pass_});
}

void RuledOutDialogs::EndPass() {
    // The two vectors keep their room: no allocation once the desktop's
    // dialogs have been met.
    previous_.swap(current_);
    current_.clear();
    ++pass_;
}

}  // namespace vorelle::printdialog

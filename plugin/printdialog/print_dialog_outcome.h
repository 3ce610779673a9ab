// How a print job handed to the watcher ended, or that it has not yet.
#pragma once

#include <cstdint>

namespace vorelle::printdialog {

enum class PrintDialogOutcome : std::uint8_t {
    None,           // no job handed over since start-up
    Waiting,        // the watcher is still at work
    Confirmed,      // the printer selected and the dialog confirmed
    Selected,       // selected and left open, as the job asked
    NoDialog,       // no dialog of the host's under the Print dialog's captions within the limit
    NoPrinterBox,   // such a dialog, but none with a printer box, within the limits
    NotListed,      // no item of the printer box names the printer
    NotTaken,       // the selection did not take, or the list changed meanwhile
    NoOkButton,     // such a dialog with its printer box, but no OK button, within the limits
    NotAnswering,   // the dialog left a message unanswered, or went away
    Stopped,        // a later hand-over, a stop or the shutdown ended the job first
    NoWatcher,      // the hand-over started no watcher
    WatcherFailed,  // the watcher ended on an error of its own (out of memory)
};

}  // namespace vorelle::printdialog

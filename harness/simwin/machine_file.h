// The JSON machine file (fmhost --machine FILE) and the embedded sample machine.
//
// Shape: {"printers": [{"name": S, "connection": B, "port": S|null, "devices": S|null,
//                     "startPrintingImmediately": B}, ...],
//         "default": S|null, "keys": {PATH: {NAME: S, ...}, ...}, "readOnlyKeys": [PATH, ...],
//         "faults": ["enumerate"|"printer-details"|"devices-key"|"devices-value"|"write-printer"|
//                    "create-mutex"|"mutex-wait"|"spool-write"|"reject-jobs"|
//                    "short-write"|"write-nothing", ...]}
// Every member but "printers" (and a printer's "name") is optional; "port" and "devices" absent
// mean none, like null. Strings are UTF-8; key values are stored as REG_SZ with their terminator.
// A printer's name is one Windows takes (PrinterNameAllowed): a name with ',' or '\' outside a
// connection's server part is an error that says so.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "simwin/machine.h"

namespace simwin {

// Parses machine-file text; none with the fault (no file name) in `error` when it is not JSON
// or not of the shape above.
std::optional<MachineSpec> ParseMachine(std::string_view json, std::string& error);

// Reads and parses the file at `path`; none with "PATH: FAULT" in `error` when it cannot be read
// or has the wrong shape.
std::optional<MachineSpec> LoadMachineFile(const std::string& path, std::string& error);

// The embedded sample machine's JSON text.
std::string_view SampleMachineJson();
// The embedded sample machine: three local printers and a connection (one with a comma in its
// Devices data, one without a port), a default printer and the FileMaker 11.0A preferences key.
MachineSpec SampleMachine();

}  // namespace simwin

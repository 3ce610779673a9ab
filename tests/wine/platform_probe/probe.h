// A small check list for the facade probe: each check prints one line, the
// run closes with "N passed, N failed".
#pragma once

#include <string>

namespace probe {

void Check(bool ok, const std::string& what, const std::string& detail = {});
// A fact about the machine that is reported but not asserted.
void Note(const std::string& text);

std::string Narrow(const std::u16string& text);  // for messages (ASCII texts only)

void WindowChecks();
void KernelChecks();
void RegistryChecks();
void SpoolerChecks(const std::u16string& printerOnFile);
// The system's Print dialog, which comes up with the default printer, driven to `otherPrinter`.
void PrintDialogChecks(const std::u16string& otherPrinter);
void StringChecks();

}  // namespace probe

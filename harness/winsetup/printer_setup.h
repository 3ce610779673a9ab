// Printers of the test machine: Wine's PostScript driver with a PPD of our
// own, printers on the port "FILE:", the Windows default printer. (Named
// apart from the winspool functions, which are macros.)
#pragma once

#include <string>
#include <vector>

namespace winsetup {

// Each returns an empty text on success, otherwise what failed and why.
std::wstring InstallDriver();  // once per prefix; again is harmless
std::wstring AddQueue(const std::wstring& name);
std::wstring RemoveQueue(const std::wstring& name);
std::wstring ChooseDefault(const std::wstring& name);

// Level-4 names of local printers and connections, in the spooler's order.
std::vector<std::wstring> ListPrinters();
// The empty text when there is no default printer.
std::wstring DefaultPrinter();

}  // namespace winsetup

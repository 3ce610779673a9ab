// winsetup [ACTION ...] — prepares and inspects the Wine prefix of the
// end-to-end run. Actions run in the order given; the first failure ends the
// run with status 1 and a message on standard error. Usage errors give 2.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "winsetup/dialog_reader.h"
#include "winsetup/printer_setup.h"
#include "winsetup/registry_setup.h"
#include "winsetup/utf8_output.h"

namespace {

using winsetup::PrintError;
using winsetup::PrintLine;

constexpr const wchar_t* kUsage =
    L"usage: winsetup [ACTION ...]\n"
    L"  --add-printer NAME       install our PostScript driver (once) and add NAME on FILE:\n"
    L"  --delete-printer NAME    remove NAME (absent is fine)\n"
    L"  --set-default NAME       make NAME the Windows default printer\n"
    L"  --create-key PATH        create PATH below HKEY_CURRENT_USER\n"
    L"  --delete-key PATH        delete PATH and everything below it (absent is fine)\n"
    L"  --delete-value PATH NAME delete a value (absent is fine)\n"
    L"  --list-printers          print the level-4 printer names, one a line\n"
    L"  --get-default            print the Windows default printer (empty line when none)\n"
    L"  --key-exists PATH        print yes or no\n"
    L"  --get-value PATH NAME    print a text value; status 1 when it cannot be read\n"
    L"  --read-dialog SECONDS ID wait up to SECONDS for a dialog with the ComboBox ID (1139\n"
    L"                           the Print dialog's printer box, 1136 Print Setup's) and\n"
    L"                           read it until it closes: print its caption, name label\n"
    L"                           (stc6), OK button and selected printer as it last\n"
    L"                           showed them, one a line";

struct Action {
    const wchar_t* option;
    int arguments;
    std::function<std::wstring(const std::vector<std::wstring>&)> run;
};

bool driverInstalled = false;

// A decimal number from 0 to 65535; -1 for anything else.
int Number(const std::wstring& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return -1;
    }
    const int n = std::stoi(text);
    return n <= 65535 ? n : -1;
}

std::vector<Action> Actions() {
    return {
        {L"--add-printer", 1,
         [](const std::vector<std::wstring>& a) {
             if (!driverInstalled) {
                 std::wstring error = winsetup::InstallDriver();
                 if (!error.empty()) {
                     return error;
                 }
                 driverInstalled = true;
             }
             return winsetup::AddQueue(a[0]);
         }},
        {L"--delete-printer", 1,
         [](const std::vector<std::wstring>& a) { return winsetup::RemoveQueue(a[0]); }},
        {L"--set-default", 1,
         [](const std::vector<std::wstring>& a) { return winsetup::ChooseDefault(a[0]); }},
        {L"--create-key", 1,
         [](const std::vector<std::wstring>& a) { return winsetup::CreateKey(a[0]); }},
        {L"--delete-key", 1,
         [](const std::vector<std::wstring>& a) { return winsetup::DeleteKey(a[0]); }},
        {L"--delete-value", 2,
         [](const std::vector<std::wstring>& a) { return winsetup::DeleteValue(a[0], a[1]); }},
        {L"--list-printers", 0,
         [](const std::vector<std::wstring>&) {
             for (const std::wstring& name : winsetup::ListPrinters()) {
                 PrintLine(name);
             }
             return std::wstring();
         }},
        {L"--get-default", 0,
         [](const std::vector<std::wstring>&) {
             PrintLine(winsetup::DefaultPrinter());
             return std::wstring();
         }},
        {L"--key-exists", 1,
         [](const std::vector<std::wstring>& a) {
             PrintLine(winsetup::KeyExists(a[0]) ? L"yes" : L"no");
             return std::wstring();
         }},
        {L"--get-value", 2,
         [](const std::vector<std::wstring>& a) {
             std::optional<std::wstring> text = winsetup::ReadText(a[0], a[1]);
             if (!text) {
                 return L"no text value " + a[1] + L" in " + a[0];
             }
             PrintLine(*text);
             return std::wstring();
         }},
        {L"--read-dialog", 2,
         [](const std::vector<std::wstring>& a) {
             const int seconds = Number(a[0]);
             const int boxId = Number(a[1]);
             if (seconds < 0 || boxId < 0) {
                 return L"--read-dialog needs two numbers, not " + a[0] + L" " + a[1];
             }
             winsetup::DialogReading reading;
             const std::wstring error = winsetup::ReadDialog(seconds, boxId, reading);
             if (error.empty()) {
                 for (const std::wstring* line : {&reading.caption, &reading.nameLabel,
                                                  &reading.okButton, &reading.selected}) {
                     PrintLine(*line);
                 }
             }
             return error;
         }},
    };
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<Action> actions = Actions();
    int i = 1;
    while (i < argc) {
        const std::wstring option = argv[i];
        const Action* chosen = nullptr;
        for (const Action& action : actions) {
            if (option == action.option) {
                chosen = &action;
            }
        }
        if (chosen == nullptr || i + chosen->arguments >= argc) {
            PrintError(L"winsetup: bad action at \"" + option + L"\"");
            PrintError(kUsage);
            return 2;
        }
        std::vector<std::wstring> arguments(argv + i + 1, argv + i + 1 + chosen->arguments);
        const std::wstring error = chosen->run(arguments);
        if (!error.empty()) {
            PrintError(L"winsetup: " + error);
            return 1;
        }
        i += 1 + chosen->arguments;
    }
    return 0;
}

#include "winsetup/dialog_reader.h"

#include <windows.h>
#include <dlgs.h>

#include <string>
#include <vector>

namespace winsetup {
namespace {

constexpr UINT kAnswerMilliseconds = 2000;  // a dialog that does not answer is not waited on longer
constexpr DWORD kPollMilliseconds = 20;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    const int n = GetClassNameW(window, name, 64);
    return std::wstring(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::wstring TextOf(HWND window) {
    if (window == nullptr) {
        return {};
    }
    std::vector<wchar_t> text(1024, L'\0');
    const int n = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
}

// The first top-level dialog with a ComboBox `boxId`; none when there is none.
HWND FindDialog(int boxId) {
    HWND dialog = nullptr;
    while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr)) != nullptr) {
        HWND box = GetDlgItem(dialog, boxId);
        if (box != nullptr && ClassOf(box) == L"ComboBox") {
            return dialog;
        }
    }
    return nullptr;
}

// The box's selected item, asked across processes; false when the box did
// not answer (closing, or busy for longer than kAnswerMilliseconds).
bool ReadSelection(HWND box, std::wstring& selected) {
    DWORD_PTR index = 0;
    if (!SendMessageTimeoutW(box, CB_GETCURSEL, 0, 0, SMTO_NORMAL, kAnswerMilliseconds, &index)) {
        return false;
    }
    if (static_cast<LRESULT>(index) == CB_ERR) {
        selected.clear();
        return true;
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(box, CB_GETLBTEXTLEN, index, 0, SMTO_NORMAL, kAnswerMilliseconds,
                             &length) ||
        static_cast<LRESULT>(length) == CB_ERR || length > 4096) {
        return false;
    }
    std::vector<wchar_t> text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, kAnswerMilliseconds, &copied) ||
        static_cast<LRESULT>(copied) == CB_ERR) {
        return false;
    }
    selected.assign(text.data(), copied <= length ? copied : length);
    return true;
}

}  // namespace

std::wstring ReadDialog(int seconds, int boxId, DialogReading& reading) {
    const DWORD started = GetTickCount();
    const DWORD limit = static_cast<DWORD>(seconds) * 1000;
    HWND dialog = nullptr;
    while ((dialog = FindDialog(boxId)) == nullptr) {
        if (GetTickCount() - started > limit) {
            return L"no dialog with a ComboBox " + std::to_wstring(boxId) + L" within " +
                   std::to_wstring(seconds) + L" s";
        }
        Sleep(kPollMilliseconds);
    }
    const HWND box = GetDlgItem(dialog, boxId);
    bool read = false;
    while (IsWindow(dialog) && GetTickCount() - started <= limit) {
        DialogReading now;
        now.caption = TextOf(dialog);
        now.nameLabel = TextOf(GetDlgItem(dialog, stc6));
        now.okButton = TextOf(GetDlgItem(dialog, IDOK));
        if (ReadSelection(box, now.selected) && IsWindow(dialog)) {
            reading = now;
            read = true;
        }
        Sleep(kPollMilliseconds);
    }
    return read ? std::wstring() : L"the dialog's box never answered";
}

}  // namespace winsetup

// exit_control [MILLISECONDS] — what the host's process does when it exits
// without a shutdown message while the plug-in's watcher searches, without
// the plug-in: a thread of the program itself searches windows as the watcher
// does (the top-level dialogs by class and by the captions the watcher knows,
// then every top-level window and its children), sleeping a millisecond
// between passes, and the main thread calls ExitProcess after starting it
// (MILLISECONDS later, at once by default, as the host does). Run by
// tests/wine/exit_crash_runner.py beside the plug-in's exit scenario: a crash
// here is Wine's alone.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The system dialog class, by atom, as the watcher searches it.
const wchar_t* const kDialogClass = MAKEINTATOM(0x8002);
const wchar_t* const kCaptions[] = {L"Print",  L"Skriv ut", L"Afdrukken", L"Imprimer",
                                    L"Drucken", L"Stampa",  L"Imprimir",  L"Druk af"};

DWORD WINAPI Search(LPVOID) {
    for (;;) {
        if (FindWindowExW(nullptr, nullptr, kDialogClass, nullptr) != nullptr) {
            for (const wchar_t* caption : kCaptions) {
                for (HWND w = FindWindowExW(nullptr, nullptr, kDialogClass, caption); w != nullptr;
                     w = FindWindowExW(nullptr, w, kDialogClass, caption)) {
                    DWORD process = 0;
                    (void)GetWindowThreadProcessId(w, &process);
                }
            }
        }
        for (HWND top = FindWindowExW(nullptr, nullptr, nullptr, nullptr); top != nullptr;
             top = FindWindowExW(nullptr, top, nullptr, nullptr)) {
            for (HWND child = FindWindowExW(top, nullptr, nullptr, nullptr); child != nullptr;
                 child = FindWindowExW(top, child, nullptr, nullptr)) {
                wchar_t text[64];
                (void)InternalGetWindowText(child, text, 64);
            }
        }
        Sleep(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const DWORD delay = argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 0;
    HANDLE thread = CreateThread(nullptr, 0, Search, nullptr, 0, nullptr);
    if (thread == nullptr) {
        std::printf("CreateThread failed: %lu\n", GetLastError());
        return 1;
    }
    if (delay != 0) {
        Sleep(delay);
    }
    std::printf("exiting\n");
    std::fflush(stdout);
    ExitProcess(0);
}

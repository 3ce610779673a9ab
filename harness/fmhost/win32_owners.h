// Owners of the Windows objects that fmhost and winsetup open themselves:
// each closed or freed when it leaves scope.
#pragma once

#include <windows.h>
#include <winspool.h>

namespace fmhost {

// One open registry key.
class KeyOwner {
public:
    KeyOwner() = default;
    ~KeyOwner() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    KeyOwner(const KeyOwner&) = delete;
    KeyOwner& operator=(const KeyOwner&) = delete;
    HKEY* Out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// One open printer.
class PrinterOwner {
public:
    PrinterOwner() = default;
    ~PrinterOwner() {
        if (printer_ != nullptr) {
            ClosePrinter(printer_);
        }
    }
    PrinterOwner(const PrinterOwner&) = delete;
    PrinterOwner& operator=(const PrinterOwner&) = delete;
    HANDLE* Out() { return &printer_; }
    HANDLE get() const { return printer_; }

private:
    HANDLE printer_ = nullptr;
};

// A global memory block that PrintDlgW hands back.
class GlobalOwner {
public:
    explicit GlobalOwner(HGLOBAL& block) : block_(block) {}
    ~GlobalOwner() {
        if (block_ != nullptr) {
            GlobalFree(block_);
            block_ = nullptr;
        }
    }
    GlobalOwner(const GlobalOwner&) = delete;
    GlobalOwner& operator=(const GlobalOwner&) = delete;

private:
    HGLOBAL& block_;
};

}  // namespace fmhost

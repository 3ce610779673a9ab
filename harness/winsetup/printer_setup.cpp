#include "winsetup/printer_setup.h"

#include <windows.h>
#include <winspool.h>

#include <cstddef>
#include <cstring>
#include <string_view>

#include "hosting/win32_owners.h"

namespace winsetup {
namespace {

using hosting::KernelOwner;
using hosting::LocalOwner;
using hosting::PrinterOwner;

constexpr const wchar_t* kDriverName = L"Vorelle PostScript";
constexpr const wchar_t* kPpdFile = L"vorelle.ppd";

// Wine 8: its PostScript driver refuses DocumentPropertiesW, and so its Print
// dialog refuses OK, unless the printer's data file is a PPD it can read.
constexpr std::string_view kPpd =
    "*PPD-Adobe: \"4.3\"\r\n"
    "*FormatVersion: \"4.3\"\r\n"
    "*FileVersion: \"1.0\"\r\n"
    "*LanguageVersion: English\r\n"
    "*LanguageEncoding: ISOLatin1\r\n"
    "*PCFileName: \"VORELLE.PPD\"\r\n"
    "*Manufacturer: \"Vorelle\"\r\n"
    "*Product: \"(Vorelle Test Printer)\"\r\n"
    "*ModelName: \"Vorelle Test Printer\"\r\n"
    "*ShortNickName: \"Vorelle Test Printer\"\r\n"
    "*NickName: \"Vorelle Test Printer\"\r\n"
    "*PSVersion: \"(3010.000) 0\"\r\n"
    "*LanguageLevel: \"3\"\r\n"
    "*ColorDevice: False\r\n"
    "*DefaultColorSpace: Gray\r\n"
    "*FileSystem: False\r\n"
    "*Throughput: \"1\"\r\n"
    "*TTRasterizer: Type42\r\n"
    "*OpenUI *PageSize/Page Size: PickOne\r\n"
    "*OrderDependency: 10 AnySetup *PageSize\r\n"
    "*DefaultPageSize: A4\r\n"
    "*PageSize A4/A4: \"<</PageSize[595 842]/ImagingBBox null>>setpagedevice\"\r\n"
    "*PageSize Letter/Letter: \"<</PageSize[612 792]/ImagingBBox null>>setpagedevice\"\r\n"
    "*CloseUI: *PageSize\r\n"
    "*OpenUI *PageRegion: PickOne\r\n"
    "*OrderDependency: 10 AnySetup *PageRegion\r\n"
    "*DefaultPageRegion: A4\r\n"
    "*PageRegion A4/A4: \"<</PageSize[595 842]/ImagingBBox null>>setpagedevice\"\r\n"
    "*PageRegion Letter/Letter: \"<</PageSize[612 792]/ImagingBBox null>>setpagedevice\"\r\n"
    "*CloseUI: *PageRegion\r\n"
    "*DefaultImageableArea: A4\r\n"
    "*ImageableArea A4/A4: \"18 18 577 824\"\r\n"
    "*ImageableArea Letter/Letter: \"18 18 594 774\"\r\n"
    "*DefaultPaperDimension: A4\r\n"
    "*PaperDimension A4/A4: \"595 842\"\r\n"
    "*PaperDimension Letter/Letter: \"612 792\"\r\n"
    "*DefaultFont: Courier\r\n"
    "*Font Courier: Standard \"(002.004S)\" Standard ROM\r\n";

std::wstring Failure(const std::wstring& what, DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = what + L": error " + std::to_wstring(code);
    if (text != nullptr) {
        const LocalOwner buffer(text);
        std::wstring reason(text);
        while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) {
            reason.pop_back();
        }
        message += L" (" + reason + L")";
    }
    return message;
}

// The driver directory's "3\" folder, where the PPD has to be.
std::wstring DriverVersionDirectory(std::wstring& error) {
    DWORD needed = 0;
    GetPrinterDriverDirectoryW(nullptr, nullptr, 1, nullptr, 0, &needed);
    std::wstring directory(needed / sizeof(wchar_t) + 1, L'\0');
    if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory.data()),
                                    static_cast<DWORD>(directory.size() * sizeof(wchar_t)),
                                    &needed)) {
        error = Failure(L"GetPrinterDriverDirectoryW", GetLastError());
        return {};
    }
    directory.resize(std::wcslen(directory.c_str()));
    directory += L"\\3";
    CreateDirectoryW(directory.c_str(), nullptr);  // may exist already
    return directory + L"\\";
}

std::wstring WritePpd(const std::wstring& path) {
    const HANDLE created = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        return Failure(L"cannot create " + path, GetLastError());
    }
    const KernelOwner file(created);
    DWORD written = 0;
    if (!WriteFile(file.get(), kPpd.data(), static_cast<DWORD>(kPpd.size()), &written, nullptr) ||
        written != kPpd.size()) {
        return Failure(L"cannot write " + path, GetLastError());
    }
    return {};
}

}  // namespace

std::wstring InstallDriver() {
    std::wstring error;
    const std::wstring directory = DriverVersionDirectory(error);
    if (!error.empty()) {
        return error;
    }
    error = WritePpd(directory + kPpdFile);
    if (!error.empty()) {
        return error;
    }
    DRIVER_INFO_3W driver;
    std::memset(&driver, 0, sizeof driver);
    driver.cVersion = 3;
    driver.pName = const_cast<wchar_t*>(kDriverName);
    driver.pDriverPath = const_cast<wchar_t*>(L"wineps.drv");
    driver.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
    driver.pDataFile = const_cast<wchar_t*>(kPpdFile);
    driver.pDefaultDataType = const_cast<wchar_t*>(L"RAW");
    if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_NEW_FILES)) {
        return Failure(L"AddPrinterDriverExW", GetLastError());
    }
    return {};
}

std::wstring AddQueue(const std::wstring& name) {
    PRINTER_INFO_2W info;
    std::memset(&info, 0, sizeof info);
    info.pPrinterName = const_cast<wchar_t*>(name.c_str());
    info.pPortName = const_cast<wchar_t*>(L"FILE:");
    info.pDriverName = const_cast<wchar_t*>(kDriverName);
    info.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
    info.pDatatype = const_cast<wchar_t*>(L"RAW");
    const PrinterOwner printer(AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    if (!printer) {
        const DWORD code = GetLastError();
        if (code == ERROR_PRINTER_ALREADY_EXISTS) {
            return {};
        }
        return Failure(L"AddPrinterW \"" + name + L"\"", code);
    }
    return {};
}

std::wstring RemoveQueue(const std::wstring& name) {
    PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    PrinterOwner printer;
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), printer.put(), &access)) {
        const DWORD code = GetLastError();
        if (code == ERROR_INVALID_PRINTER_NAME) {
            return {};  // already gone
        }
        return Failure(L"OpenPrinterW \"" + name + L"\"", code);
    }
    if (!::DeletePrinter(printer.get())) {
        return Failure(L"DeletePrinter \"" + name + L"\"", GetLastError());
    }
    return {};
}

std::wstring ChooseDefault(const std::wstring& name) {
    if (!SetDefaultPrinterW(name.c_str())) {
        return Failure(L"SetDefaultPrinterW \"" + name + L"\"", GetLastError());
    }
    return {};
}

std::vector<std::wstring> ListPrinters() {
    constexpr DWORD kFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(kFlags, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<std::max_align_t> buffer(needed / sizeof(std::max_align_t) + 1);
    std::vector<std::wstring> names;
    if (!EnumPrintersW(kFlags, nullptr, 4, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed,
                       &count)) {
        return names;
    }
    const auto* records = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        names.emplace_back(records[i].pPrinterName != nullptr ? records[i].pPrinterName : L"");
    }
    return names;
}

std::wstring DefaultPrinter() {
    DWORD units = 0;
    GetDefaultPrinterW(nullptr, &units);
    if (units == 0) {
        return {};
    }
    std::wstring name(units, L'\0');
    if (!GetDefaultPrinterW(name.data(), &units)) {
        return {};
    }
    name.resize(std::wcslen(name.c_str()));
    return name;
}

}  // namespace winsetup

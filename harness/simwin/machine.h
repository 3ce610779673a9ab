// The simulated machine as a whole: its printers, default printer, per-user
// registry and switchable faults. One machine per process, shared by every
// module that links simwin; every function here is thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simwin {

// The per-user key that lists every printer's device data, one REG_SZ value
// named after each printer that has such data.
inline constexpr std::u16string_view kDevicesKeyPath =
    u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Devices";

struct PrinterSpec {
    std::u16string name{};                 // as the spooler lists it
    bool connection = false;               // a connection of the user (network printer), not a local printer
    std::optional<std::u16string> port{};  // none: the level-2 details name no port
    std::optional<std::u16string> devices{};  // none: no value under the Devices key
    // Windows' "Start printing immediately": each write of a raw document
    // reaches the printer's port as it comes, so a job cancelled part way has
    // printed what was written of it. Otherwise ("Start printing after last
    // page is spooled", and what Wine does: it hands CUPS the job at
    // EndDocPrinter) the job reaches the port only once it is ended.
    bool startPrintingImmediately = false;
};

// Registry value types (the Win32 REG_* values).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// One registry value: its name, type and raw bytes, kept exactly as written.
struct RegistryValue {
    std::u16string name{};
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data{};

    // A REG_SZ value holding `text` and its terminating null (2 * length + 2 bytes).
    static RegistryValue String(std::u16string name, std::u16string_view text);
    // The data read as UTF-16 units, without any trailing nulls; an odd last byte is dropped.
    std::u16string Text() const;
};

struct RegistryKeySpec {
    std::u16string path{};  // below HKEY_CURRENT_USER; its parent keys exist too
    std::vector<RegistryValue> values{};
};

enum class Fault {
    Enumerate,       // EnumPrinters fails (it still reports the size it would need)
    PrinterDetails,  // GetPrinter level 2 fails (it still reports the size it would need)
    DevicesKey,      // the Devices key cannot be opened
    DevicesValue,    // Devices values cannot be read, though their size query works
    WritePrinter,    // setting a value named "Printer" fails
    CreateMutex,     // CreateMutexW fails (kErrorInvalidHandle, as when the name is an object of another type)
    MutexWait,       // WaitForSingleObject on a mutex fails (WAIT_FAILED, kErrorAccessDenied)
    SpoolWrite,      // WritePrinter takes half of what it is given, then fails (kErrorDiskFull)
    RejectJobs,      // EndDocPrinter fails (kErrorInvalidHandle): the queue rejects the job, which is lost
    ShortWrite,      // WritePrinter succeeds having taken half of what it is given (rounded up)
    WriteNothing,    // WritePrinter succeeds having taken no byte
};

struct MachineSpec {
    std::vector<PrinterSpec> printers{};           // in the spooler's order
    std::optional<std::u16string> defaultPrinter{};  // none: no default printer
    std::vector<RegistryKeySpec> keys{};           // per-user keys that exist, with their values
    std::vector<std::u16string> readOnlyKeys{};     // exist; opening them for KEY_SET_VALUE is refused
    std::vector<Fault> faults{};                   // switched on from the start
};

// Replaces printers, default printer, registry (Devices key included) and faults
// by the setup's; a printer whose name is not allowed is not installed, as
// AddPrinter refuses it. Open handles, mutexes, threads and the clock are left alone.
void ResetMachine(const MachineSpec& setup);

// Switches a fault on or off at run time.
void SetFault(Fault fault, bool on);
// Whether a fault is switched on.
bool FaultOn(Fault fault);
// The fault's name in the machine file ("enumerate", "printer-details", "devices-key",
// "devices-value", "write-printer", "create-mutex", "mutex-wait", "spool-write", "reject-jobs",
// "short-write", "write-nothing").
std::string_view FaultName(Fault fault);
// The fault of a machine-file name; none for an unknown name.
std::optional<Fault> FaultFromName(std::string_view name);

// The spooler's printers, in order.
std::vector<PrinterSpec> Printers();
// The default printer's name as the spooler keeps it; none when there is none.
std::optional<std::u16string> CurrentDefaultPrinter();
// Whether Windows takes the name for a printer: no ',' and no '\' outside the server part
// that a connection's name begins with ("\\server\"). So a local printer's name holds
// neither, and a connection "\\server\share" neither in its share.
bool PrinterNameAllowed(std::u16string_view name, bool connection);
// Where the part of the name that may hold neither begins: past the server part of a connection,
// else 0.
std::size_t PrinterNameLocalPart(std::u16string_view name, bool connection);
// Adds a printer at the end of the list and its Devices value; false (nothing added) if the name
// is taken or not allowed.
bool AddPrinter(const PrinterSpec& printer);
// Removes a printer (matched ignoring case) and its Devices value; the default printer if it was the default.
bool RemovePrinter(std::u16string_view name);

}  // namespace simwin

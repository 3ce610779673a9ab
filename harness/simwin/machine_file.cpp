#include "simwin/machine_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "simwin/text.h"
#include "utf/conversion.h"

namespace simwin {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kSampleMachine = R"json({
  "printers": [
    {"name": "Office Laser", "port": "LPT1:", "devices": "winspool,LPT1:"},
    {"name": "Invoices", "port": "IP_10.1.2.30", "devices": "winspool,IP_10.1.2.30"},
    {"name": "\\\\print-server\\Accounts", "connection": true, "port": "\\\\print-server\\Accounts",
     "devices": "winspool,Ne01:"},
    {"name": "Label Printer", "port": null, "devices": "winspool,USB001"},
    {"name": "Fax", "port": "FAX:", "devices": null}
  ],
  "default": "Office Laser",
  "keys": {
    "Software\\FileMaker\\FileMaker Pro\\11.0A\\Preferences": {"Printer": "Office Laser,winspool,LPT1:"}
  }
})json";

// The first shape fault found, as a message.
class ShapeError {
public:
    explicit ShapeError(std::string message) : message_(std::move(message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

void RejectUnknownMembers(const Json& object, std::initializer_list<std::string_view> known,
                          const std::string& where) {
    for (const auto& [member, value] : object.items()) {
        if (std::find(known.begin(), known.end(), member) == known.end()) {
            throw ShapeError(where + "unknown member " + Quoted(member));
        }
    }
}

std::u16string RequireString(const Json& value, const std::string& what) {
    if (!value.is_string()) {
        throw ShapeError(what + " is not a string");
    }
    return utf::ToUtf16(value.get_ref<const std::string&>());
}

std::optional<std::u16string> OptionalString(const Json& object, const char* member, const std::string& where) {
    auto it = object.find(member);
    if (it == object.end() || it->is_null()) {
        return std::nullopt;
    }
    if (!it->is_string()) {
        throw ShapeError(where + Quoted(member) + " is neither a string nor null");
    }
    return utf::ToUtf16(it->get_ref<const std::string&>());
}

const Json& RequireArray(const Json& value, const std::string& what) {
    if (!value.is_array()) {
        throw ShapeError(what + " is not an array");
    }
    return value;
}

PrinterSpec ReadPrinter(const Json& item, std::size_t index) {
    std::string where = "printers[" + std::to_string(index) + "]";
    if (!item.is_object()) {
        throw ShapeError(where + " is not an object");
    }
    RejectUnknownMembers(item, {"name", "connection", "port", "devices", "startPrintingImmediately"}, where + ": ");
    auto name = item.find("name");
    if (name == item.end()) {
        throw ShapeError(where + ": \"name\" is missing");
    }
    PrinterSpec printer;
    printer.name = RequireString(*name, where + ".name");
    if (printer.name.empty() || printer.name.find(u'\0') != std::u16string::npos) {
        throw ShapeError(where + ".name is empty or contains a null character");
    }
    if (auto connection = item.find("connection"); connection != item.end()) {
        if (!connection->is_boolean()) {
            throw ShapeError(where + ".connection is not true or false");
        }
        printer.connection = connection->get<bool>();
    }
    if (auto immediately = item.find("startPrintingImmediately"); immediately != item.end()) {
        if (!immediately->is_boolean()) {
            throw ShapeError(where + ".startPrintingImmediately is not true or false");
        }
        printer.startPrintingImmediately = immediately->get<bool>();
    }
    if (!PrinterNameAllowed(printer.name, printer.connection)) {
        throw ShapeError(where + ".name " + Quoted(utf::ToUtf8(printer.name)) +
                         " holds a ',' or '\\' outside a connection's server part: Windows takes no such "
                         "printer name");
    }
    printer.port = OptionalString(item, "port", where + ": ");
    printer.devices = OptionalString(item, "devices", where + ": ");
    return printer;
}

MachineSpec ReadMachine(const Json& root) {
    if (!root.is_object()) {
        throw ShapeError("the machine is not a JSON object");
    }
    RejectUnknownMembers(root, {"printers", "default", "keys", "readOnlyKeys", "faults"}, "");
    MachineSpec setup;
    auto printers = root.find("printers");
    if (printers == root.end()) {
        throw ShapeError("\"printers\" is missing");
    }
    for (const Json& item : RequireArray(*printers, "\"printers\"")) {
        PrinterSpec printer = ReadPrinter(item, setup.printers.size());
        for (const PrinterSpec& earlier : setup.printers) {
            if (EqualsIgnoreCase(earlier.name, printer.name)) {
                throw ShapeError("printers[" + std::to_string(setup.printers.size()) + "]: the name " +
                                 Quoted(utf::ToUtf8(printer.name)) + " is listed twice");
            }
        }
        setup.printers.push_back(std::move(printer));
    }
    setup.defaultPrinter = OptionalString(root, "default", "");
    if (auto keys = root.find("keys"); keys != root.end()) {
        if (!keys->is_object()) {
            throw ShapeError("\"keys\" is not an object");
        }
        for (const auto& [path, values] : keys->items()) {
            std::string where = "keys[" + Quoted(path) + "]";
            if (path.empty()) {
                throw ShapeError("\"keys\" has an empty key path");
            }
            if (!values.is_object()) {
                throw ShapeError(where + " is not an object");
            }
            RegistryKeySpec key{utf::ToUtf16(path), {}};
            for (const auto& [name, value] : values.items()) {
                key.values.push_back(RegistryValue::String(
                    utf::ToUtf16(name), RequireString(value, where + "[" + Quoted(name) + "]")));
            }
            setup.keys.push_back(std::move(key));
        }
    }
    if (auto readOnly = root.find("readOnlyKeys"); readOnly != root.end()) {
        for (const Json& path : RequireArray(*readOnly, "\"readOnlyKeys\"")) {
            setup.readOnlyKeys.push_back(RequireString(path, "an entry of \"readOnlyKeys\""));
        }
    }
    if (auto faults = root.find("faults"); faults != root.end()) {
        for (const Json& name : RequireArray(*faults, "\"faults\"")) {
            if (!name.is_string()) {
                throw ShapeError("an entry of \"faults\" is not a string");
            }
            std::optional<Fault> fault = FaultFromName(name.get_ref<const std::string&>());
            if (!fault) {
                throw ShapeError("unknown fault " + Quoted(name.get_ref<const std::string&>()));
            }
            setup.faults.push_back(*fault);
        }
    }
    return setup;
}

}  // namespace

std::optional<MachineSpec> ParseMachine(std::string_view json, std::string& error) {
    Json root;
    try {
        root = Json::parse(json.begin(), json.end());
    } catch (const Json::exception& e) {
        error = std::string("not valid JSON: ") + e.what();
        return std::nullopt;
    }
    try {
        return ReadMachine(root);
    } catch (const ShapeError& e) {
        error = e.message();
    } catch (const Json::exception& e) {
        error = e.what();
    }
    return std::nullopt;
}

std::optional<MachineSpec> LoadMachineFile(const std::string& path, std::string& error) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        error = path + ": cannot be read: it is a directory";
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be read: " + std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    std::optional<MachineSpec> setup = ParseMachine(text.str(), error);
    if (!setup) {
        error = path + ": " + error;
    }
    return setup;
}

std::string_view SampleMachineJson() { return kSampleMachine; }

MachineSpec SampleMachine() {
    std::string error;
    std::optional<MachineSpec> setup = ParseMachine(kSampleMachine, error);
    return setup ? *std::move(setup) : MachineSpec{};
}

}  // namespace simwin

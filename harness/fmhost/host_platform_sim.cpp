// The host's machine in the native build: the simulated Windows.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "fmhost/escaped_text.h"
#include "fmhost/host_platform.h"
#include "fmhost/print_dialog_sim.h"
#include "fmwrapper/host_runtime.h"
#include "hosting/dialog_languages.h"
#include "simwin/errors.h"
#include "simwin/machine.h"
#include "simwin/machine_file.h"
#include "simwin/other_process.h"
#include "simwin/print_dialog.h"
#include "simwin/registry.h"
#include "simwin/spooler.h"
#include "simwin/text.h"
#include "simwin/ui_thread.h"

namespace fmhost {

bool PrepareMachine(const std::string& path, std::string& error) {
    if (path.empty()) {
        simwin::ResetMachine(simwin::SampleMachine());
        return true;
    }
    const auto machine = simwin::LoadMachineFile(path, error);
    if (!machine) {
        return false;
    }
    simwin::ResetMachine(*machine);
    return true;
}

std::optional<std::u16string> ReadPrinterPreference(const std::u16string& keyPath) {
    const auto value = simwin::GetValue(keyPath, u"Printer");
    if (!value) {
        return std::nullopt;
    }
    return value->Text();
}

std::optional<std::string> QueueContents(const std::u16string& printer, std::string& error) {
    const std::vector<simwin::PrinterSpec> printers = simwin::Printers();
    if (std::none_of(printers.begin(), printers.end(),
                     [&](const simwin::PrinterSpec& p) { return simwin::EqualsIgnoreCase(p.name, printer); })) {
        error = "the machine has no printer " + fmwrapper::Utf16ToUtf8(printer);
        return std::nullopt;
    }
    const std::vector<simwin::PrintJob> jobs = simwin::QueueJobs(printer);
    if (jobs.empty()) {
        return "no jobs";
    }
    std::string lines;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const simwin::PrintJob& job = jobs[i];
        lines += (i == 0 ? "" : "\n");
        lines += "job " + std::to_string(i + 1) + " \"" + EscapedText(job.document) + "\" ";
        if (job.datatype.empty()) {
            lines += "drawn: " + EscapedText(job.text);
        } else {
            const std::u16string bytes(job.bytes.begin(), job.bytes.end());  // U+0000 to U+00FF
            lines += EscapedText(job.datatype) + " " + std::to_string(job.bytes.size()) +
                     " bytes: " + EscapedText(bytes);
        }
    }
    return lines;
}

bool RemovePrinter(const std::u16string& printer, std::string& error) {
    if (!simwin::RemovePrinter(printer)) {
        error = "the machine has no printer " + fmwrapper::Utf16ToUtf8(printer);
        return false;
    }
    return true;
}

simwin::PrintDialogOptions MachinePrintDialog(const hosting::DialogTexts& texts) {
    simwin::PrintDialogOptions options;
    options.texts.caption = texts.caption;
    options.texts.nameLabel = texts.nameLabel;
    options.texts.okCaption = texts.okButton;
    options.texts.cancelCaption = texts.cancelButton;
    const auto defaultPrinter = simwin::CurrentDefaultPrinter();
    for (const simwin::PrinterSpec& printer : simwin::Printers()) {
        if (defaultPrinter && printer.name == *defaultPrinter) {
            options.selected = static_cast<int>(options.printers.size());
        }
        options.printers.push_back(printer.name);
    }
    return options;
}

namespace {

// The confirmed dialog's printer gets the page: one job in its queue.
PrintOutcome Printed(const simwin::PrintDialog& dialog, const PrintedPage& page) {
    PrintOutcome outcome;
    outcome.confirmed = true;
    outcome.printer = dialog.ConfirmedPrinter().value_or(std::u16string());
    if (!simwin::PrintDocument(outcome.printer.c_str(), page.documentName, page.text)) {
        outcome.failure = "the spooler refused the job, error " + std::to_string(simwin::GetLastError());
    }
    return outcome;
}

}  // namespace

PrintOutcome RunPrintDialog(const hosting::DialogTexts& texts, PrintTemplate layout, int seconds,
                            const PrintedPage& page) {
    simwin::PrintDialogOptions options = MachinePrintDialog(texts);
    options.layout.comboBeforeLabel = layout == PrintTemplate::System;

    // The dialog lives on a user-interface thread of the host's own, as a
    // modal dialog would; the host thread waits for its answer.
    simwin::UiThread thread;
    simwin::PrintDialog dialog(thread, std::move(options));
    PrintOutcome outcome;
    if (!dialog.Open()) {
        return outcome;
    }
    const simwin::DialogState state = dialog.WaitUntilClosed(std::chrono::seconds(seconds));
    if (state == simwin::DialogState::Confirmed) {
        return Printed(dialog, page);
    }
    dialog.Cancel();
    return outcome;
}

PrintOutcome RunPrintSetupDialog(int seconds) {
    hosting::DialogTexts texts = hosting::EnglishDialogTexts();
    texts.caption = u"Print Setup";
    simwin::PrintDialogOptions options = MachinePrintDialog(texts);
    options.layout.kind = simwin::PrintDialogKind::PrintSetup;
    simwin::UiThread thread;
    simwin::PrintDialog dialog(thread, std::move(options));
    PrintOutcome outcome;
    if (!dialog.Open()) {
        return outcome;
    }
    if (dialog.WaitUntilClosed(std::chrono::seconds(seconds)) == simwin::DialogState::Confirmed) {
        outcome.confirmed = true;
        outcome.printer = dialog.ConfirmedPrinter().value_or(std::u16string());
        return outcome;
    }
    dialog.Cancel();
    return outcome;
}

std::optional<PrintOutcome> RunPrintDialogElsewhere(const hosting::DialogTexts& texts, int seconds,
                                                    const PrintedPage& page) {
    // The other program's dialog lives on a user-interface thread of another
    // simulated process.
    simwin::OtherProcessUi other;
    simwin::PrintDialog dialog(other.Thread(), MachinePrintDialog(texts));
    PrintOutcome outcome;
    if (!dialog.Open()) {
        return outcome;
    }
    if (dialog.WaitUntilClosed(std::chrono::seconds(seconds)) == simwin::DialogState::Confirmed) {
        return Printed(dialog, page);
    }
    dialog.Cancel();
    return outcome;
}

std::optional<std::vector<std::uintptr_t>> ShowCustomDialog(const std::u16string& caption, int seconds) {
    // On a user-interface thread of the host's own, as the Print dialog; the
    // simulated dialog logs every message it is sent.
    simwin::UiThread thread;
    simwin::DialogWindow dialog = simwin::DialogWindow::Create(
        &thread, caption,
        {{u"Static", kCustomDialogMessage, 0, {}, -1}, {u"Button", u"OK", simwin::kIdOk, {}, -1}});
    if (dialog.Window() == 0) {
        return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    std::vector<std::uintptr_t> commands;
    for (const simwin::Message& message : dialog.Messages()) {
        if (message.message == simwin::kWmCommand) {
            commands.push_back(message.wParam);
        }
    }
    return commands;
}

bool OpenUnansweringPrintDialog(const hosting::DialogTexts& texts, int seconds) {
    // Thread and dialog stay until the time is up; a thread of their own lets
    // them go then (or the process ends first).
    auto thread = std::make_shared<simwin::UiThread>();
    auto dialog = std::make_shared<simwin::PrintDialog>(*thread, MachinePrintDialog(texts));
    if (!dialog->Open()) {
        return false;
    }
    thread->Hold();
    // A moment for whoever drives the dialog to find it and begin to wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(kUnansweringLeadMilliseconds));
    std::thread([thread, dialog, seconds] {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        thread->Resume();
        dialog->Cancel();
    }).detach();
    return true;
}

void ExitHostProcess(int status) {
    std::cout.flush();
    std::fflush(nullptr);
    // The threads of the plug-in cannot be killed here as Windows kills them;
    // no static destructor runs under them.
    std::quick_exit(status);
}

}  // namespace fmhost

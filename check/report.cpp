#include "check/report.h"

#include <windows.h>

#include "check/win32_text.h"
#include "hosting/win32_owners.h"

namespace check {

Report::Report(std::u16string_view version, Show show) : show_(std::move(show)) {
    lines_.push_back(u"Vorelle Check " + std::u16string(version));
    show_(lines_.back() + u"\r\n");
}

void Report::Add(std::u16string_view word, std::u16string_view name, std::u16string_view detail) {
    lines_.push_back(std::u16string(word) + u" " + std::u16string(name) + u": " + std::u16string(detail));
    show_(lines_.back() + u"\r\n");
}

void Report::Pass(std::u16string_view name, std::u16string_view detail) {
    ++passed_;
    Add(u"PASS", name, detail);
}

void Report::Fail(std::u16string_view name, std::u16string_view detail) {
    ++failed_;
    Add(u"FAIL", name, detail);
}

void Report::Skip(std::u16string_view name, std::u16string_view why) {
    ++skipped_;
    Add(u"SKIPPED", name, why);
}

void Report::Check(bool ok, std::u16string_view name, std::u16string_view detail) {
    ok ? Pass(name, detail) : Fail(name, detail);
}

std::u16string Report::Summary() const {
    return Number(passed_) + u" passed, " + Number(failed_) + u" failed, " + Number(skipped_) +
           u" skipped";
}

std::u16string Report::Text() const {
    std::u16string text;
    for (const std::u16string& line : lines_) {
        text += line + u"\r\n";
    }
    return text + Summary() + u"\r\n";
}

bool WriteReportFile(const std::u16string& path, const std::u16string& text, unsigned long& error) {
    HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    const hosting::KernelOwner owner(file);
    const std::u16string content = u"\uFEFF" + text;  // written as UTF-16LE, x86's order
    const DWORD bytes = static_cast<DWORD>(content.size() * sizeof(char16_t));
    DWORD written = 0;
    if (!WriteFile(file, content.data(), bytes, &written, nullptr) || written != bytes) {
        error = GetLastError();
        return false;
    }
    return true;
}

}  // namespace check

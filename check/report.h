// Vorelle Check's report: a first line naming the check and its version, one
// line per check ("PASS NAME: DETAIL", "FAIL NAME: DETAIL", "SKIPPED NAME:
// WHY") and a last line counting them.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace check {

class Report {
public:
    // `show` gets each line as it is added, with its CR LF (the first at once).
    using Show = std::function<void(const std::u16string&)>;
    Report(std::u16string_view version, Show show);

    void Pass(std::u16string_view name, std::u16string_view detail);
    void Fail(std::u16string_view name, std::u16string_view detail);
    void Skip(std::u16string_view name, std::u16string_view why);
    // PASS when `ok`, FAIL otherwise, with the same detail.
    void Check(bool ok, std::u16string_view name, std::u16string_view detail);

    int Passed() const { return passed_; }
    int Failed() const { return failed_; }
    int Skipped() const { return skipped_; }

    // Every line, the count last, each ending in CR LF.
    std::u16string Text() const;
    // The count line alone.
    std::u16string Summary() const;

private:
    void Add(std::u16string_view word, std::u16string_view name, std::u16string_view detail);

    Show show_;
    std::vector<std::u16string> lines_;
    int passed_ = 0;
    int failed_ = 0;
    int skipped_ = 0;
};

// The report as Notepad of Windows 2000 opens it: UTF-16LE with its byte
// order mark, CR LF line ends. False, with Windows' error, when the file
// cannot be written.
bool WriteReportFile(const std::u16string& path, const std::u16string& text, unsigned long& error);

}  // namespace check

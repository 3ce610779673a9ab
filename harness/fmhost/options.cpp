#include "fmhost/options.h"

#include <charconv>
#include <limits>

#include "fmhost/timing.h"
#include "fmwrapper/host_runtime.h"
#include "hosting/dialog_languages.h"

namespace fmhost {
namespace {

template <typename Int>
bool ParseInteger(std::string_view text, Int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// N:CODE, N:CODE:TIMES or N:CODE:every.
bool ParseFailOperation(std::string_view text, ArmedFailure& failure) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    std::string_view code = text.substr(colon + 1);
    const std::size_t second = code.find(':');
    if (second != std::string_view::npos) {
        const std::string_view times = code.substr(second + 1);
        code = code.substr(0, second);
        if (times == "every") {
            failure.times = fmwrapper::kEveryTime;
        } else if (!ParseInteger(times, failure.times) || failure.times < 1) {
            return false;
        }
    }
    return ParseInteger(text.substr(0, colon), failure.nth) && failure.nth >= 1 &&
           ParseInteger(code, failure.code) && failure.code != 0;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& arguments, Options& options, std::string& error) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (optionsEnded || arg.rfind("--", 0) != 0) {
            if (!optionsEnded && arg == "-h") {
                options.help = true;
                continue;
            }
            options.lines.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        auto takeValue = [&]() -> bool {
            if (value) {
                return true;
            }
            if (i + 1 >= arguments.size()) {
                error = name + " needs a value";
                return false;
            }
            value = arguments[++i];
            return true;
        };
        if (name == "--describe" || name == "--help") {
            if (value) {
                error = name + " takes no value";
                return false;
            }
            (name == "--describe" ? options.describe : options.help) = true;
        } else if (name == "--plugin") {
            if (!takeValue()) return false;
            options.pluginPath = *value;
        } else if (name == "--interface-version") {
            if (!takeValue()) return false;
            if (!ParseInteger(*value, options.interfaceVersion)) {
                error = "--interface-version needs a whole number from -32768 to 32767, not \"" +
                        *value + "\"";
                return false;
            }
        } else if (name == "--host-version") {
            if (!takeValue()) return false;
            options.hostVersion = fmwrapper::Utf8ToUtf16(*value);
        } else if (name == "--machine") {
            if (!takeValue()) return false;
            if (value->empty()) {
                error = "--machine needs a file name";
                return false;
            }
            options.machineFile = *value;
        } else if (name == "--dialog-language") {
            if (!takeValue()) return false;
            if (!hosting::DialogTextsFor(*value)) {
                error = "unknown dialog language \"" + *value + "\" (known:";
                for (std::string_view code : hosting::DialogLanguages()) {
                    error += " " + std::string(code);
                }
                error += ")";
                return false;
            }
            options.dialogLanguage = *value;
        } else if (name == "--print-template") {
            if (!takeValue()) return false;
            if (*value != "host" && *value != "system") {
                error = "--print-template needs host or system, not \"" + *value + "\"";
                return false;
            }
            options.printTemplate = *value == "system" ? PrintTemplate::System : PrintTemplate::Host;
        } else if (name == "--fail-op") {
            if (!takeValue()) return false;
            ArmedFailure failure;
            if (!ParseFailOperation(*value, failure)) {
                error = "--fail-op needs N:CODE, N:CODE:TIMES or N:CODE:every (N and TIMES from 1, CODE not 0), not \"" +
                        *value + "\"";
                return false;
            }
            options.failOperation = failure;
        } else if (name == "--time") {
            if (!takeValue()) return false;
            std::uint32_t count = 0;
            if (!ParseInteger(*value, count) || count < 1) {
                error = "--time needs a count of at least 1, not \"" + *value + "\"";
                return false;
            }
            options.timeCount = count;
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    return true;
}

std::string UsageText() {
    std::string languages;
    for (std::string_view code : hosting::DialogLanguages()) {
        languages += (languages.empty() ? "" : ", ") + std::string(code);
    }
    return R"TEXT(usage: fmhost [OPTION ...] [LINE ...]

The host stand-in: loads a FileMaker plug-in, sends it start-up, evaluates each
LINE (or each line of standard input when no LINE is given), sends shutdown
and unloads it. Text in and out is UTF-8.

Options:
  --plugin PATH             the plug-in to load (default: Vorelle.fmx beside fmhost)
  --interface-version N     interface version sent with start-up (default 51)
  --host-version TEXT       host version text sent with start-up
                            (default "ProAdvanced 11.0v3")
  --machine FILE            start the machine from a JSON machine file (default:
                            the embedded sample machine); a file that cannot be
                            read or has the wrong shape stops fmhost (status 2)
                            before the plug-in is loaded
  --dialog-language LANG    language of the host's Print dialog: )TEXT" +
           languages + R"TEXT( (default en)
  --print-template host|system
                            the host's Print dialog: host (default) is a template
                            of fmhost's own in Windows' layout (the "&Name:" label,
                            then the printer box cmb4) with the texts of
                            --dialog-language; system is the system's own Print
                            dialog as the system shows it (Windows builds: its
                            built-in template and texts, untouched; Wine 8 puts
                            the printer box before its label; native build: the
                            simulated dialog in that layout, with the texts of
                            --dialog-language)
  --describe                print the plug-in's strings 131, 128 and 129, the
                            start-up answer, every registration ("register ID NAME
                            MIN..MAX 0xFLAGS PROTOTYPE"), then "shut-down" and every
                            unregistration ("unregister ID"); LINEs given as well
                            are evaluated after the registrations; standard input
                            is not read
  --fail-op N:CODE          the runtime's Nth operation from start-up on fails with
                            error code CODE (1 out of memory, 2 general failure)
  --fail-op N:CODE:TIMES    the Nth and the operations after it fail, TIMES in a
                            row (N:CODE:1 is N:CODE)
  --fail-op N:CODE:every    every operation from the Nth on fails
  --time N                  time each LINE N times instead of printing its result
                            (see Timing below)
  --help                    this text

Lines:
  A call as written in a FileMaker calculation:
      VORL_GetPrinterAt( 1 )
      VORL_ChangePrinter( "Office Laser" ; True ; 0 )
      VORL_GetSystemPrinter
  Parameters are texts, numbers (-12.5, 1e3) and True/False (the numbers 1 and
  0). A text is written as FileMaker writes one: quoted texts (\" and \\
  inside; ¶ is a carriage return, \¶ the pilcrow itself) and
  Char( N ) as FileMaker evaluates it (the character of code point N, a
  surrogate pair above 65535; Char( 0 ) the empty text; more than five digits
  are five-digit code points, the lowest first: Char( 9800097 ) is "ab"),
  joined by "&":
      VORL_SendData( "Label Printer" ; "^XA" & Char( 13 ) & Char( 10 ) & "^XZ" )
  Exactly the parameters written are passed;
  a count outside the function's registered range draws a warning on stderr.
  The result text is printed alone on one line, every character of it: the
  control characters U+0000 to U+001F and U+007F to U+009F as <U+XXXX> (four
  upper-case hex digits: <U+0000> a NUL, <U+000D> a CR, <U+0009> a tab), the
  rest as UTF-8; so do the texts of host actions and --describe that come from
  the plug-in or the machine (printer names, strings). When the function returns a
  non-zero error code, that is reported on stderr, the line printed is the
  result it wrote (empty when it wrote none), and the session goes on.
  Blank lines and lines starting with "#" are skipped.

  Host actions:
      :string ID [SIZE]     string request for ID with a buffer of SIZE units
                            (default 1024); prints what the buffer holds
      :preference           prints the "Printer" value of the host's preferences
                            key for the host version, or "(none)"
      :queue PRINTER        native build only: prints what the simulated queue of
                            PRINTER (any letter case, its words joined by one
                            blank) holds, one line per job: 'job N "DOCUMENT"
                            RAW B bytes: BYTES' for bytes sent to it, each byte
                            as the character of its value with the control
                            characters as <U+XXXX> (<U+000D> a carriage return);
                            'job N "DOCUMENT" drawn: TEXT' for a printed page;
                            "no jobs" when it is empty
      :remove-printer PRINTER  removes the printer from the machine, as an
                            administrator or a print server dropping it would;
                            prints "removed PRINTER"
      :print [SECONDS]      opens the host's Print dialog; when it is confirmed,
                            prints one page to the chosen printer (document
                            "fmhost job N", one line of text) and "printed to
                            NAME" ("not printed to NAME: WHY" when the page did
                            not reach it); "cancelled" when it is still open
                            after SECONDS (default 30) and the host cancels it
      :print-setup [SECONDS]  opens the Print Setup dialog as the host's File >
                            Print Setup does (the system's template and texts);
                            prints "print setup confirmed: NAME" with the printer
                            it was confirmed with, or "cancelled" when it is
                            still open after SECONDS (default 30)
      :other-print [SECONDS]  another program opens a Print dialog of its own and
                            cancels it after SECONDS unless confirmed; prints
                            its outcome as :print does
      :custom-dialog CAPTION SECONDS  shows a dialog of the host's own as
                            Show Custom Dialog does: titled CAPTION (its words
                            joined by one blank, quotes around it dropped), a
                            message and an OK button, no printer box; waits
                            SECONDS, then closes it as by its OK and prints
                            "custom dialog closed by OK", followed by "; sent
                            from elsewhere: WM_COMMAND 0xWPARAM, ..." for every
                            command another program sent it meanwhile
      :unanswering-print SECONDS  opens the host's Print dialog on a thread of
                            its own that stops answering messages for SECONDS;
                            goes on one second after it stopped answering
      :elapsed              prints the milliseconds since the last :elapsed
                            (or since the session began)
      :exit                 ends the host process at once: no shutdown message,
                            the plug-in not unloaded
      :idle                 sends the idle message
      :message CODE         sends message CODE (0 to 255) with an empty record
      :fail N:CODE          the runtime's Nth operation from now fails with CODE

)TEXT" + std::string(TimingUsageText()) + R"TEXT(
Exit status:
  0  every line went through
  1  the plug-in refused start-up ("start-up: -1" is printed) or gave no answer
     ("start-up: (no answer)"); it is unloaded without a shutdown message
  2  a usage error, a machine file or plug-in that cannot be loaded, or a line
     that cannot be parsed or evaluated (the message names the line; the lines
     after it are not evaluated, the plug-in is still shut down)
  3  every line was evaluated, but a function returned a non-zero error code
  4  32-bit Windows only: the entry point or a function did not take its
     arguments off the stack as __stdcall does (the message names the call and
     the bytes it took); fmhost stops at once
)TEXT";
}

}  // namespace fmhost

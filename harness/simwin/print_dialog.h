// The standard Windows Print and Print Setup dialogs, simulated on a
// UiThread, and plain dialog windows with any caption and children.
//
// Standard layout of the Print dialog's children, in child order:
//   "Static" name label (stc6), "ComboBox" id 0x0473 (cmb4) with an empty
//   title holding the printers, "Button" OK (id 1), "Button" Cancel (id 2).
// The Print Setup dialog has the same children, but its printer box is cmb1
// (0x0470): it has no cmb4.
// The dialog handles WM_COMMAND: CBN_SELCHANGE from the printer combo box
// (wParam 0x10473; 0x10470 for Print Setup) tells it of the selection, and
// the item then selected becomes its printer (a notice with nothing selected
// changes nothing); IDOK closes it confirmed with its printer, the one it came
// up with or that of the last notice, whatever the box shows by then, as the
// system's dialog does; IDCANCEL closes it cancelled.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "simwin/ui_thread.h"
#include "simwin/window_manager.h"

namespace simwin {

inline constexpr int kPrinterComboId = 0x0473;  // cmb4
inline constexpr int kSetupPrinterComboId = 0x0470;  // cmb1, the Print Setup dialog's printer box
inline constexpr std::uintptr_t kPrinterSelChange = MakeWParam(kPrinterComboId, kCbnSelChange);

// One child window of a dialog.
struct ChildSpec {
    std::u16string className;
    std::u16string title;
    int controlId = 0;
    std::vector<std::u16string> items;  // ComboBox only
    int selected = -1;                  // ComboBox only
};

struct PrintDialogTexts {
    std::u16string caption = u"Print";
    std::u16string nameLabel = u"&Name:";
    std::u16string okCaption = u"OK";
    std::u16string cancelCaption = u"Cancel";
};

enum class PrintDialogKind { Print, PrintSetup };

// The printer box's list changing while the dialog is open, as a printer
// added or removed (or the list sorted anew) makes it: once the box has
// answered the `after`th `message` since the dialog opened (0: any message),
// its items become `printers`. The printer selected stays selected at its new
// place when it is still listed; otherwise nothing is selected.
struct ListChange {
    std::uint32_t message = 0;
    std::size_t after = 0;
    std::vector<std::u16string> printers;
};

// Deviations from the standard layout, for tests.
struct PrintDialogLayout {
    PrintDialogKind kind = PrintDialogKind::Print;
    bool comboBeforeLabel = false;           // Wine 8: its built-in Print template
    std::vector<ChildSpec> betweenLabelAndCombo;  // extra children placed between them
    std::u16string comboTitle;               // not empty: a combo box with a title
    bool withOkButton = true;
    // The dialog's window stands alone this long, its thread busy, before its
    // children are created: a search may meet it between the two.
    std::chrono::milliseconds childrenAfter{0};
    std::optional<ListChange> listChange;
};

struct PrintDialogOptions {
    PrintDialogTexts texts;
    std::vector<std::u16string> printers;
    int selected = -1;  // index into printers, -1 for none
    PrintDialogLayout layout;
};

enum class DialogState { NotOpened, Open, Confirmed, Cancelled, Closed };

class PrintDialog {
public:
    // Prepares the dialog on `thread`; it is not open until Open.
    PrintDialog(UiThread& thread, PrintDialogOptions options);
    // Closes the dialog if it is open.
    ~PrintDialog();
    PrintDialog(const PrintDialog&) = delete;
    PrintDialog& operator=(const PrintDialog&) = delete;

    // Creates the dialog's windows on its UiThread (waits for that thread) with the
    // printers and selection of the options. Again after it closed: a new dialog
    // with new handles and a fresh state; counts and logs keep accumulating.
    // False when it is already open or the thread has ended.
    bool Open();
    // The host cancels the dialog: state Cancelled (unless already decided), windows gone.
    void Cancel();
    // The dialog vanishes without an answer: state Closed (unless already decided).
    void Close();
    // Waits in real time until the dialog is no longer open; its state then
    // (Open when the time ran out).
    DialogState WaitUntilClosed(std::chrono::milliseconds timeout) const;

    DialogState State() const;
    bool IsOpen() const;
    // The printer the dialog was confirmed with (none unless Confirmed; empty
    // text when it came up with nothing selected and was told of no item).
    std::optional<std::u16string> ConfirmedPrinter() const;
    // CBN_SELCHANGE notifications of the printer combo box received so far,
    // and the selection the combo box had at the last one (-1 when none).
    std::size_t SelectionChangeCount() const;
    int NotifiedSelection() const;
    // The combo box's selection now (last known once closed), and its text.
    int SelectedIndex() const;
    std::optional<std::u16string> SelectedPrinter() const;
    // Every message the dialog window received, in order; the same for the combo box.
    std::vector<Message> DialogMessages() const;
    std::vector<Message> ComboMessages() const;

    // The windows of the open dialog (0 when not open).
    Hwnd Window() const;
    Hwnd Label() const;
    Hwnd Combo() const;
    Hwnd OkButton() const;
    Hwnd CancelButton() const;

    struct Shared;  // state shared with the window procedures

private:
    UiThread& thread_;
    PrintDialogOptions options_;
    std::shared_ptr<Shared> shared_;
    std::mutex operation_;  // one Open, Cancel or Close at a time
};

// A top-level "#32770" window with any caption and children, owned here and
// destroyed when the owner goes. It answers nothing itself but logs the messages
// it receives.
class DialogWindow {
public:
    DialogWindow() = default;
    // Created on `thread` (or on the calling thread when null); empty when the thread has ended.
    static DialogWindow Create(UiThread* thread, std::u16string caption, std::vector<ChildSpec> children);
    ~DialogWindow();
    DialogWindow(DialogWindow&& other) noexcept;
    DialogWindow& operator=(DialogWindow&& other) noexcept;
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    Hwnd Window() const { return window_; }
    const std::vector<Hwnd>& Children() const { return children_; }
    // Messages the dialog window received so far, in order.
    std::vector<Message> Messages() const;
    // Destroys the windows now.
    void Destroy();

private:
    struct Log {
        mutable std::mutex mutex;
        std::vector<Message> messages;
    };
    Hwnd window_ = 0;
    std::vector<Hwnd> children_;
    std::shared_ptr<Log> log_;
};

}  // namespace simwin

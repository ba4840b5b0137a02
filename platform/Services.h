#pragma once

// The services the core and the two front ends talk through. The core never sees a widget, a registry
// or a terminal: it is handed these small interfaces. The desktop program passes the Qt implementations
// (platform/qt), the command line passes terminal or null ones, and tests pass the in-memory ones
// (MemoryServices.h, MemoryDialogControls.h), which record everything they are asked to show.
//
// Every pointer to a service may be null; the helpers below then do nothing, so a loader run without a
// user interface needs no stubs.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace frostmark {

// ---------------------------------------------------------------- message boxes

enum class MessageIcon { Information, Warning, Error, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Shows a modal message and returns the button the user chose (Ok for MessageButtons::Ok).
    virtual MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon icon,
                               MessageButtons buttons = MessageButtons::Ok) = 0;
};

// ---------------------------------------------------------------- the "Loading File" progress window

// A rectangle in the pixel coordinates of the progress canvas; right and bottom are exclusive.
struct CProgressRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const CProgressRect&) const = default;
};

// Navy, as a colour reference (red in the low byte): the done part of the bar and the text beside it.
inline constexpr std::uint32_t kProgressBarColour = 0x00800000u;

// What one repaint of the progress bar must show, worked out by CFileReadProgress::DrawProgress.
// The view fills [client.left, split) with the bar colour and [split, client.right) with its background
// (button-face) colour, and draws `text` twice, centred at textCentreX with its top at textTop: in the
// background colour clipped to the bar part and in the bar colour clipped to the rest, so the letters
// change colour exactly at the bar's edge.
struct CProgressPaint {
    CProgressRect client; // the canvas rectangle the figures were computed for
    int split = 0;        // x of the bar's edge, within [client.left, client.right]
    std::uint64_t percent = 0;
    std::string text;    // percent formatted as "%ld%%", e.g. "42%"
    int textCentreX = 0; // (client.right - client.left) / 2
    int textTop = 0;     // client.top - 1
    std::uint32_t barColour = kProgressBarColour;
    bool operator==(const CProgressPaint&) const = default;
};

// One modeless progress window. It is visible from its creation (IProgressViewFactory::CreateProgressView)
// until it is destroyed; it takes no input and has no cancel button.
class IProgressView {
public:
    virtual ~IProgressView() = default; // destroys the window
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // The client rectangle of the bar's canvas; DrawProgress computes for exactly this rectangle.
    virtual CProgressRect CanvasRect() const = 0;
    // Shows the bar now, without waiting for an event loop: the loaders run on the UI thread.
    virtual void Paint(const CProgressPaint& paint) = 0;
};

class IProgressViewFactory {
public:
    virtual ~IProgressViewFactory() = default;
    // Creates and shows a "Loading File" window. May return null (nothing is shown).
    virtual std::unique_ptr<IProgressView> CreateProgressView() = 0;
};

// ---------------------------------------------------------------- settings

// A persistent store of named values (QSettings in the desktop program, memory in tests).
// A value that is missing, of another type, or unreadable because the store cannot be opened reads as
// nullopt; a Set that cannot be stored answers false and changes nothing.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    virtual std::optional<std::string> GetString(const std::string& key) const = 0;
    virtual std::optional<std::uint32_t> GetInteger(const std::string& key) const = 0;
    virtual std::optional<std::vector<std::string>> GetStringList(const std::string& key) const = 0;
    virtual bool SetString(const std::string& key, const std::string& value) = 0;
    virtual bool SetInteger(const std::string& key, std::uint32_t value) = 0;
    virtual bool SetStringList(const std::string& key, const std::vector<std::string>& value) = 0;
    // Hands pending writes to the backing store; false when they could not be written.
    virtual bool Sync() { return true; }
};

// ---------------------------------------------------------------- wait cursor

// Begin/End nest: the cursor is back to normal only after the outermost End.
class IWaitCursor {
public:
    virtual ~IWaitCursor() = default;
    virtual void Begin() = 0;
    virtual void End() = 0;
};

// Shows the wait cursor for its lifetime. A null cursor is allowed and does nothing.
class CWaitCursorGuard {
public:
    explicit CWaitCursorGuard(IWaitCursor* cursor) : m_cursor(cursor) {
        if (m_cursor)
            m_cursor->Begin();
    }
    ~CWaitCursorGuard() {
        if (m_cursor)
            m_cursor->End();
    }
    CWaitCursorGuard(const CWaitCursorGuard&) = delete;
    CWaitCursorGuard& operator=(const CWaitCursorGuard&) = delete;

private:
    IWaitCursor* m_cursor;
};

// ---------------------------------------------------------------- repeating timer

class ITimerService {
public:
    virtual ~ITimerService() = default;
    // Calls `callback` every `intervalMs` milliseconds on the UI thread until StopTimer(id).
    // Starting an id that runs already replaces its interval and callback.
    virtual void StartTimer(int id, int intervalMs, std::function<void()> callback) = 0;
    virtual void StopTimer(int id) = 0;
};

// ---------------------------------------------------------------- dialog controls

// The controls of one dialog, addressed by their integer control IDs, so that the dialog's handlers
// read like plain control code and tests can drive them in memory. Using an ID that the dialog does not
// have is a programming error: implementations ignore the call and answer empty values.
//
// Line breaks: SetText accepts "\r\n" or "\n"; GetText of a multi-line edit answers "\n" line breaks.
class IDialogControls {
public:
    virtual ~IDialogControls() = default;

    // Text of an edit field, label, button or checkbox (UTF-8).
    virtual std::string GetText(int id) const = 0;
    virtual void SetText(int id, const std::string& text) = 0;

    virtual void Enable(int id, bool enabled) = 0;
    virtual bool IsEnabled(int id) const = 0;
    virtual void Show(int id, bool visible) = 0;
    virtual bool IsVisible(int id) const = 0;

    // Checkbox state.
    virtual bool IsChecked(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;

    // Multi-line edit: the number of lines (an empty box has one line, and a text ending in a line
    // break has an empty last line) and one line by index, without its line break.
    virtual int GetLineCount(int id) const = 0;
    virtual std::string GetLine(int id, int index) const = 0;

    // List box, unsorted: entries stay in the order they were added.
    virtual void ListReset(int id) = 0;
    virtual int ListAddString(int id, const std::string& text) = 0; // answers the new entry's index
    virtual int ListCount(int id) const = 0;
    virtual std::string ListText(int id, int index) const = 0;
    virtual void ListSetItemData(int id, int index, std::uintptr_t data) = 0;
    virtual std::uintptr_t ListItemData(int id, int index) const = 0; // 0 when none was attached
    virtual std::vector<int> ListSelection(int id) const = 0;         // selected indices, ascending
    virtual void ListSetSelected(int id, int index, bool selected) = 0;
    virtual bool ListDeleteString(int id, int index) = 0; // false for an index out of range
    // Tab stops in dialog units, for entries holding "\t".
    virtual void ListSetTabStops(int id, const std::vector<int>& dialogUnits) = 0;

    // Progress bar with a 32-bit range.
    virtual void SetProgressRange(int id, std::uint32_t minimum, std::uint32_t maximum) = 0;
    virtual void SetProgressPos(int id, std::uint32_t position) = 0;

    // The control that has the keyboard focus, or -1.
    virtual int FocusedControl() const = 0;
    virtual void SetFocus(int id) = 0;

    // Shows every change made so far at once: commands run on the UI thread without returning to the
    // event loop, so nothing would be painted otherwise.
    virtual void UpdateNow() = 0;
};

// The lines of a multi-line edit text as the controls count them: split at "\n" (a "\r" before it is
// dropped); "" gives one empty line, "a\n" gives "a" and "".
std::vector<std::string> SplitEditLines(const std::string& text);

// ---------------------------------------------------------------- the bundle

// The services of one program run. Any member may be null: then nothing is shown or stored.
struct CServices {
    IMessageBox* messages = nullptr;
    IProgressViewFactory* progressViews = nullptr;
    ISettingsStore* settings = nullptr;
    IWaitCursor* waitCursor = nullptr;
    ITimerService* timers = nullptr;
};

// Shows a message when a message service is given; without one answers Ok (or No for Yes/No questions,
// so that nothing is done unasked).
MessageAnswer ShowMessage(IMessageBox* messages, const std::string& text, const std::string& caption,
                          MessageIcon icon, MessageButtons buttons = MessageButtons::Ok);

} // namespace frostmark

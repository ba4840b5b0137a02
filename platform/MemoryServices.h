#pragma once

// In-memory services for tests: they record what the code under test showed, painted and stored, and
// message boxes answer from a script of answers.

#include "platform/Services.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace frostmark {

class CMemoryMessageBox : public IMessageBox {
public:
    struct Shown {
        std::string text;
        std::string caption;
        MessageIcon icon;
        MessageButtons buttons;
    };

    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons = MessageButtons::Ok) override;

    // Answers for the next Yes/No questions, in order. Without a scripted answer a question answers
    // No and a plain message answers Ok.
    void QueueAnswer(MessageAnswer answer) { m_answers.push_back(answer); }

    const std::vector<Shown>& Messages() const { return m_shown; }
    void Clear() { m_shown.clear(); }

private:
    std::vector<Shown> m_shown;
    std::deque<MessageAnswer> m_answers;
};

// Everything one progress window went through, kept after the window is destroyed.
struct CProgressRecord {
    std::vector<std::string> captions;
    std::vector<std::string> statusTexts;
    std::vector<CProgressPaint> paints;
    bool destroyed = false;
};

class CMemoryProgressView : public IProgressView {
public:
    CMemoryProgressView(std::shared_ptr<CProgressRecord> record, CProgressRect canvas)
        : m_record(std::move(record)), m_canvas(canvas) {}
    ~CMemoryProgressView() override { m_record->destroyed = true; }
    void SetCaption(const std::string& caption) override { m_record->captions.push_back(caption); }
    void SetStatusText(const std::string& text) override { m_record->statusTexts.push_back(text); }
    CProgressRect CanvasRect() const override { return m_canvas; }
    void Paint(const CProgressPaint& paint) override { m_record->paints.push_back(paint); }

private:
    std::shared_ptr<CProgressRecord> m_record;
    CProgressRect m_canvas;
};

class CMemoryProgressViewFactory : public IProgressViewFactory {
public:
    // Canvas of every window created; 400 x 16 pixels unless the test chooses another.
    explicit CMemoryProgressViewFactory(CProgressRect canvas = {0, 0, 400, 16}) : m_canvas(canvas) {}
    std::unique_ptr<IProgressView> CreateProgressView() override;

    // One record per window created, in creation order.
    const std::vector<std::shared_ptr<CProgressRecord>>& Windows() const { return m_windows; }
    int OpenWindows() const;

private:
    CProgressRect m_canvas;
    std::vector<std::shared_ptr<CProgressRecord>> m_windows;
};

class CMemorySettingsStore : public ISettingsStore {
public:
    using Value = std::variant<std::string, std::uint32_t, std::vector<std::string>>;

    std::optional<std::string> GetString(const std::string& key) const override;
    std::optional<std::uint32_t> GetInteger(const std::string& key) const override;
    std::optional<std::vector<std::string>> GetStringList(const std::string& key) const override;
    bool SetString(const std::string& key, const std::string& value) override;
    bool SetInteger(const std::string& key, std::uint32_t value) override;
    bool SetStringList(const std::string& key, const std::vector<std::string>& value) override;

    // Simulate a store that cannot be opened for reading or writing.
    void SetReadable(bool readable) { m_readable = readable; }
    void SetWritable(bool writable) { m_writable = writable; }

    const std::map<std::string, Value>& Values() const { return m_values; }
    bool Has(const std::string& key) const { return m_values.count(key) != 0; }

private:
    std::map<std::string, Value> m_values;
    bool m_readable = true;
    bool m_writable = true;
};

class CMemoryWaitCursor : public IWaitCursor {
public:
    void Begin() override;
    void End() override;
    int Depth() const { return m_depth; }
    int MaxDepth() const { return m_maxDepth; }
    int Begins() const { return m_begins; }
    bool Unbalanced() const { return m_unbalanced; } // End without Begin happened

private:
    int m_depth = 0;
    int m_maxDepth = 0;
    int m_begins = 0;
    bool m_unbalanced = false;
};

class CMemoryTimerService : public ITimerService {
public:
    void StartTimer(int id, int intervalMs, std::function<void()> callback) override;
    void StopTimer(int id) override;

    bool IsRunning(int id) const { return m_timers.count(id) != 0; }
    int Interval(int id) const; // 0 when not running
    // Calls a running timer's callback as one tick would; false when the timer does not run.
    bool Fire(int id);

private:
    struct Timer {
        int intervalMs;
        std::function<void()> callback;
    };
    std::map<int, Timer> m_timers;
};

} // namespace frostmark

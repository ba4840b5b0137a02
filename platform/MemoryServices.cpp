#include "platform/MemoryServices.h"

#include <algorithm>

namespace frostmark {

MessageAnswer CMemoryMessageBox::Show(const std::string& text, const std::string& caption, MessageIcon icon,
                                      MessageButtons buttons) {
    m_shown.push_back({text, caption, icon, buttons});
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (m_answers.empty())
        return MessageAnswer::No;
    const MessageAnswer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

std::unique_ptr<IProgressView> CMemoryProgressViewFactory::CreateProgressView() {
    auto record = std::make_shared<CProgressRecord>();
    m_windows.push_back(record);
    return std::make_unique<CMemoryProgressView>(std::move(record), m_canvas);
}

int CMemoryProgressViewFactory::OpenWindows() const {
    return static_cast<int>(std::count_if(m_windows.begin(), m_windows.end(),
                                          [](const auto& window) { return !window->destroyed; }));
}

namespace {

template <typename T>
std::optional<T> Get(const std::map<std::string, CMemorySettingsStore::Value>& values, const std::string& key,
                     bool readable) {
    if (!readable)
        return std::nullopt;
    const auto it = values.find(key);
    if (it == values.end())
        return std::nullopt;
    if (const T* value = std::get_if<T>(&it->second))
        return *value;
    return std::nullopt;
}

} // namespace

std::optional<std::string> CMemorySettingsStore::GetString(const std::string& key) const {
    return Get<std::string>(m_values, key, m_readable);
}

std::optional<std::uint32_t> CMemorySettingsStore::GetInteger(const std::string& key) const {
    return Get<std::uint32_t>(m_values, key, m_readable);
}

std::optional<std::vector<std::string>> CMemorySettingsStore::GetStringList(const std::string& key) const {
    return Get<std::vector<std::string>>(m_values, key, m_readable);
}

bool CMemorySettingsStore::SetString(const std::string& key, const std::string& value) {
    if (!m_writable)
        return false;
    m_values[key] = value;
    return true;
}

bool CMemorySettingsStore::SetInteger(const std::string& key, std::uint32_t value) {
    if (!m_writable)
        return false;
    m_values[key] = value;
    return true;
}

bool CMemorySettingsStore::SetStringList(const std::string& key, const std::vector<std::string>& value) {
    if (!m_writable)
        return false;
    m_values[key] = value;
    return true;
}

void CMemoryWaitCursor::Begin() {
    ++m_begins;
    ++m_depth;
    m_maxDepth = std::max(m_maxDepth, m_depth);
}

void CMemoryWaitCursor::End() {
    if (m_depth == 0) {
        m_unbalanced = true;
        return;
    }
    --m_depth;
}

void CMemoryTimerService::StartTimer(int id, int intervalMs, std::function<void()> callback) {
    m_timers[id] = Timer{intervalMs, std::move(callback)};
}

void CMemoryTimerService::StopTimer(int id) {
    m_timers.erase(id);
}

int CMemoryTimerService::Interval(int id) const {
    const auto it = m_timers.find(id);
    return it == m_timers.end() ? 0 : it->second.intervalMs;
}

bool CMemoryTimerService::Fire(int id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end())
        return false;
    // A copy, so that a callback that stops or restarts its own timer does not destroy itself mid-call.
    auto callback = it->second.callback;
    if (callback)
        callback();
    return true;
}

} // namespace frostmark

#pragma once
// The services a command's thread hands to the script loaders: windows may only be made and painted on
// the user-interface thread, so the "Loading File" windows are shown there from what the loaders report,
// and the loaders' messages are kept and shown once the command has ended. Neither ever waits for the
// user-interface thread, so that thread may always wait for the command.

#include "platform/Services.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace frostmark {

// An IProgressViewFactory for another thread: every window it gives is a stand-in that reports to a
// window of `shown`, made, painted and destroyed on the thread this object lives on. Reports are
// coalesced: the window shows the latest state each time that thread gets to it.
class CQueuedProgressViews : public QObject, public IProgressViewFactory {
    Q_OBJECT
public:
    explicit CQueuedProgressViews(IProgressViewFactory* shown, QObject* parent = nullptr);
    ~CQueuedProgressViews() override;

    std::unique_ptr<IProgressView> CreateProgressView() override; // any thread
    // Shows what was reported up to now (on this object's thread): a command that has ended calls it so
    // that every window it made has been shown and is gone.
    void Flush();

    // The stand-ins' canvas: the loaders compute their figures for it, and each is scaled to the real one.
    static constexpr CProgressRect kCanvas{0, 0, 10000, 16};

    struct CState; // one window's latest report, shared with its stand-in

private:
    void Post();
    void FlushOnce();

    IProgressViewFactory* m_shown;
    std::mutex m_mutex;
    std::vector<std::shared_ptr<CState>> m_windows; // in creation order, until their window is gone
    std::map<CState*, std::unique_ptr<IProgressView>> m_views;
    std::atomic<bool> m_posted{false};
    bool m_flushing = false;   // a window being made or painted may run the event loop, and come back here
    bool m_flushAgain = false; // ... in which case the outer flush takes the new reports in
};

// An IMessageBox for another thread: keeps every message (answering Ok, or No to a question, so that
// nothing is done unasked) for the user-interface thread to show afterwards.
class CKeptMessages : public IMessageBox {
public:
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons = MessageButtons::Ok) override;
    std::vector<std::string> Take();

private:
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

} // namespace frostmark

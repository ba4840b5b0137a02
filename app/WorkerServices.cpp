#include "app/WorkerServices.h"

#include "platform/FileReadProgress.h"

#include <QMetaObject>

#include <optional>

namespace frostmark {

struct CQueuedProgressViews::CState {
    std::optional<std::string> caption;
    std::optional<std::string> status;
    std::optional<CProgressPaint> paint;
    bool destroyed = false;
};

namespace {

class CStandIn : public IProgressView {
public:
    CStandIn(std::shared_ptr<CQueuedProgressViews::CState> state, std::mutex& mutex,
             std::function<void()> post)
        : m_state(std::move(state)), m_mutex(mutex), m_post(std::move(post)) {}
    ~CStandIn() override {
        Change([](CQueuedProgressViews::CState& s) { s.destroyed = true; });
    }
    void SetCaption(const std::string& caption) override {
        Change([&](CQueuedProgressViews::CState& s) { s.caption = caption; });
    }
    void SetStatusText(const std::string& text) override {
        Change([&](CQueuedProgressViews::CState& s) { s.status = text; });
    }
    CProgressRect CanvasRect() const override { return CQueuedProgressViews::kCanvas; }
    void Paint(const CProgressPaint& paint) override {
        Change([&](CQueuedProgressViews::CState& s) { s.paint = paint; });
    }

private:
    template <class F> void Change(F&& change) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            change(*m_state);
        }
        m_post();
    }
    std::shared_ptr<CQueuedProgressViews::CState> m_state;
    std::mutex& m_mutex;
    std::function<void()> m_post;
};

// The figures of the stand-in's canvas for the real one: the bar's edge at the same fraction, the same text.
CProgressPaint Rescaled(const CProgressPaint& paint, const CProgressRect& real) {
    const CProgressRect& from = CQueuedProgressViews::kCanvas;
    std::optional<CProgressPaint> scaled =
        CFileReadProgress::ComputePaint(0, static_cast<std::uint32_t>(from.Width()),
                                        static_cast<std::uint32_t>(paint.split - from.left), real);
    CProgressPaint out = scaled ? *scaled : paint;
    out.percent = paint.percent;
    out.text = paint.text;
    out.barColour = paint.barColour;
    return out;
}

} // namespace

CQueuedProgressViews::CQueuedProgressViews(IProgressViewFactory* shown, QObject* parent)
    : QObject(parent), m_shown(shown) {}

CQueuedProgressViews::~CQueuedProgressViews() = default;

std::unique_ptr<IProgressView> CQueuedProgressViews::CreateProgressView() {
    auto state = std::make_shared<CState>();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_windows.push_back(state);
    }
    Post();
    return std::make_unique<CStandIn>(state, m_mutex, [this] { Post(); });
}

void CQueuedProgressViews::Post() {
    if (!m_posted.exchange(true))
        QMetaObject::invokeMethod(
            this, [this] { Flush(); }, Qt::QueuedConnection);
}

void CQueuedProgressViews::Flush() {
    m_posted.store(false);
    if (m_flushing) {
        // Not now: the flush under way holds windows this one might destroy.
        m_flushAgain = true;
        return;
    }
    m_flushing = true;
    do {
        m_flushAgain = false;
        FlushOnce();
    } while (m_flushAgain);
    m_flushing = false;
}

void CQueuedProgressViews::FlushOnce() {
    struct CReport {
        CState* key;
        CState state;
    };
    std::vector<CReport> reports;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& window : m_windows) {
            reports.push_back({window.get(), *window});
            window->caption.reset();
            window->status.reset();
            window->paint.reset();
        }
        std::erase_if(m_windows, [](const std::shared_ptr<CState>& w) { return w->destroyed; });
    }
    for (const CReport& report : reports) {
        auto it = m_views.find(report.key);
        if (it == m_views.end()) {
            if (!m_shown)
                continue;
            // Even a window that came and went between two looks is made: what it said is shown at
            // least once (and a window made and destroyed before a repaint never flickers).
            it = m_views.emplace(report.key, m_shown->CreateProgressView()).first;
        }
        IProgressView* view = it->second.get();
        if (view) {
            if (report.state.caption)
                view->SetCaption(*report.state.caption);
            if (report.state.status)
                view->SetStatusText(*report.state.status);
            if (report.state.paint)
                view->Paint(Rescaled(*report.state.paint, view->CanvasRect()));
        }
        if (report.state.destroyed)
            m_views.erase(it);
    }
}

MessageAnswer CKeptMessages::Show(const std::string& text, const std::string&, MessageIcon,
                                  MessageButtons buttons) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_texts.push_back(text);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

std::vector<std::string> CKeptMessages::Take() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::move(m_texts);
}

} // namespace frostmark

#include "app/CommandRunner.h"

#include <QMetaObject>

namespace frostmark {

// ---------------------------------------------------------------- CProgressRelay

CProgressRelay::CSnapshot CProgressRelay::Read() const {
    CSnapshot s;
    s.phase = m_phase.load(std::memory_order_relaxed);
    s.done = m_done.load(std::memory_order_relaxed);
    s.total = m_total.load(std::memory_order_relaxed);
    s.hasCounts = m_hasCounts.load(std::memory_order_acquire);
    s.counts.topLevel = m_topLevel.load(std::memory_order_relaxed);
    s.counts.toFreeze = m_toFreeze.load(std::memory_order_relaxed);
    s.counts.sizeEstimate = m_sizeEstimate.load(std::memory_order_relaxed);
    return s;
}

void CProgressRelay::OnStart(std::uint64_t fileSize) {
    m_total.store(fileSize, std::memory_order_relaxed);
    m_done.store(0, std::memory_order_relaxed);
}

void CProgressRelay::OnProgress(const CAnalysisCounts& counts, std::uint64_t bytePosition) {
    m_topLevel.store(counts.topLevel, std::memory_order_relaxed);
    m_toFreeze.store(counts.toFreeze, std::memory_order_relaxed);
    m_sizeEstimate.store(counts.sizeEstimate, std::memory_order_relaxed);
    m_done.store(bytePosition, std::memory_order_relaxed);
    m_hasCounts.store(true, std::memory_order_release);
    if (m_hook)
        m_hook();
}

void CProgressRelay::OnChosen(const CWorldItem& item, std::size_t) {
    if (m_rows)
        m_rows->Append(item);
}

void CProgressRelay::OnProgress(std::uint64_t done, std::uint64_t total) {
    m_total.store(total, std::memory_order_relaxed);
    m_done.store(done, std::memory_order_relaxed);
    if (m_hook)
        m_hook();
}

// ---------------------------------------------------------------- CCommandRunner

CCommandRunner::CCommandRunner(QObject* parent) : QObject(parent) {}

CCommandRunner::~CCommandRunner() {
    if (m_thread.joinable())
        m_thread.join();
}

bool CCommandRunner::Start(std::function<void()> work, std::function<void()> done) {
    if (m_thread.joinable())
        return false;
    m_done = std::move(done);
    m_started = std::chrono::steady_clock::now();
    const std::uint64_t generation = ++m_generation;
    m_thread = std::thread([this, work = std::move(work), generation] {
        work();
        QMetaObject::invokeMethod(
            this, [this, generation] { Complete(generation); }, Qt::QueuedConnection);
    });
    return true;
}

void CCommandRunner::Wait() {
    if (m_thread.joinable())
        Complete(m_generation);
}

void CCommandRunner::Abandon() {
    if (!m_thread.joinable())
        return;
    m_thread.join();
    ++m_generation; // the queued completion finds nothing to do
    m_done = nullptr;
}

void CCommandRunner::Complete(std::uint64_t generation) {
    // A command whose end was waited for has been completed already.
    if (generation != m_generation || !m_thread.joinable())
        return;
    m_thread.join();
    m_ended = std::chrono::steady_clock::now();
    std::function<void()> done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done();
    emit Finished();
}

double CCommandRunner::Elapsed() const {
    const auto end = m_thread.joinable() ? std::chrono::steady_clock::now() : m_ended;
    return std::chrono::duration<double>(end - m_started).count();
}

} // namespace frostmark

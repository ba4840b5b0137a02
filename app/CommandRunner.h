#pragma once
// Runs the dialog's long commands (the world scan, the patch writer, the cleaner) on a thread of their
// own, so the window keeps repainting and answering while they work. The command's thread reports through
// CProgressRelay, which only stores figures; the window reads them on a timer of its own. Nothing on the
// command's thread touches a widget.

#include "app/PatchObjectsModel.h"
#include "engine/Analysis.h"
#include "engine/CommandProgress.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace frostmark {

// What the running command has reported so far, kept for the window to read at its own pace.
class CProgressRelay : public IAnalysisObserver, public ICommandProgress {
public:
    enum class EPhase { Working, LoadingScripts };
    struct CSnapshot {
        EPhase phase = EPhase::Working;
        std::uint64_t done = 0;
        std::uint64_t total = 0;
        bool hasCounts = false;
        CAnalysisCounts counts;
    };

    // The rows of the Patch Objects list, for an analysis; null for the other commands.
    explicit CProgressRelay(std::shared_ptr<CLiveRows> rows = nullptr, std::function<void()> hook = nullptr)
        : m_rows(std::move(rows)), m_hook(std::move(hook)) {}

    CSnapshot Read() const;
    void SetPhase(EPhase phase) { m_phase.store(phase, std::memory_order_relaxed); }

    // IAnalysisObserver, called on the command's thread.
    void OnStart(std::uint64_t fileSize) override;
    void OnProgress(const CAnalysisCounts& counts, std::uint64_t bytePosition) override;
    void OnChosen(const CWorldItem& item, std::size_t index) override;
    // ICommandProgress
    void OnProgress(std::uint64_t done, std::uint64_t total) override;

private:
    std::shared_ptr<CLiveRows> m_rows;
    std::function<void()> m_hook;
    std::atomic<EPhase> m_phase{EPhase::Working};
    std::atomic<std::uint64_t> m_done{0};
    std::atomic<std::uint64_t> m_total{0};
    std::atomic<bool> m_hasCounts{false};
    std::atomic<std::int64_t> m_topLevel{0};
    std::atomic<std::int64_t> m_toFreeze{0};
    std::atomic<std::int64_t> m_sizeEstimate{0};
};

class CCommandRunner : public QObject {
    Q_OBJECT
public:
    explicit CCommandRunner(QObject* parent = nullptr);
    ~CCommandRunner() override; // waits for a running command

    bool IsBusy() const { return m_thread.joinable(); }
    // Runs `work` on a thread of its own; once it has returned, `done` runs on this object's thread.
    // Only one command runs at a time: false when one is running already.
    bool Start(std::function<void()> work, std::function<void()> done);
    // Waits for the running command's thread and runs its `done` now (nothing when idle).
    void Wait();
    // Waits for the running command's thread and drops its `done`: for an owner that is going away.
    void Abandon();
    // Seconds since the running (or last) command started.
    double Elapsed() const;

signals:
    void Finished();

private:
    void Complete(std::uint64_t generation);

    std::thread m_thread;
    std::function<void()> m_done;
    std::uint64_t m_generation = 0;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_ended;
};

} // namespace frostmark

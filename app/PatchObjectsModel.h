#pragma once
// The Patch Objects list as a table model over the freeze list: the view asks only for the rows it
// shows, so millions of records cost no widget item each. While an analysis runs the rows come from a
// copy the analysis thread appends to (the freeze list itself is still being built and may be emptied
// again if the analysis fails or stops); when it ends the model reads the list. Sorting a column sorts a
// permutation of list indexes on a thread of its own; the list keeps its file order.

#include "app/PatchObjectOrder.h"
#include "engine/FreezeList.h"

#include <QAbstractTableModel>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace frostmark {

// What the list shows of the records an analysis has chosen so far. One thread appends, any thread
// reads the rows published: a row never moves once appended.
class CLiveRows {
public:
    struct Row {
        CIdText id;
        std::uint16_t x = 0;
        std::uint16_t y = 0;
        std::uint16_t color = 0;
        std::uint8_t z = 0;
    };

    CLiveRows();
    ~CLiveRows();
    CLiveRows(const CLiveRows&) = delete;
    CLiveRows& operator=(const CLiveRows&) = delete;

    // The appending thread only. Rows beyond the capacity (4 billion) are not kept.
    void Append(const CWorldItem& item);
    std::size_t Published() const { return m_published.load(std::memory_order_acquire); }
    // A row below Published().
    const Row& operator[](std::size_t index) const {
        return m_chunks[index / kChunkRows][index % kChunkRows];
    }

private:
    static constexpr std::size_t kChunkRows = 65536;
    static constexpr std::size_t kMaxChunks = 65536;
    std::unique_ptr<Row*[]> m_chunks;
    std::atomic<std::size_t> m_published{0};
};

class CPatchObjectsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CPatchObjectsModel(QObject* parent = nullptr);
    ~CPatchObjectsModel() override; // waits for a running sort

    // Shows the rows of a running analysis, starting empty; Refresh takes in what was published since.
    void ShowLive(std::shared_ptr<const CLiveRows> rows);
    void Refresh();
    bool IsLive() const { return m_live != nullptr; }
    // Shows a freeze list (null: nothing). When the live rows were this list's, the view keeps its place;
    // a column the user sorted by is sorted again.
    void ShowList(const CFreezeList* list);

    // The list index of a row; the row of a list index (-1 when not shown).
    std::size_t ListIndex(int row) const;
    int RowOf(std::size_t listIndex) const;
    // A row in the form the list has always had: "%s\t%s\t%4x" of ID, "x, y, z" and colour.
    QString RowText(int row) const;

    // After the core removed the entries at `listIndexes` (ascending, distinct) from the list.
    void EntriesRemoved(const std::vector<std::size_t>& listIndexes);

    // Sorting: -1 for file order. The list must not change while a sort runs; FinishSort waits for it
    // and shows its result.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool IsSorting() const { return m_sortThread.joinable(); }
    void FinishSort();
    int SortColumn() const { return m_sortColumn; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void SortStarted();
    void SortFinished();

private:
    void StartSort();
    void ApplySort(std::uint64_t generation);
    void JoinSort();

    const CFreezeList* m_list = nullptr;
    std::shared_ptr<const CLiveRows> m_live;
    int m_liveRows = 0;
    std::vector<std::uint32_t> m_order; // empty: file order
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;

    // The sort in progress: its thread writes m_sorted, then the result is taken in on this thread.
    std::thread m_sortThread;
    std::mutex m_sortMutex;
    std::vector<std::uint32_t> m_sorted;
    bool m_sortDone = false;
    std::uint64_t m_generation = 0;
};

} // namespace frostmark

#include "app/PatchObjectsModel.h"

#include "engine/Analysis.h"

#include <QMetaObject>

#include <algorithm>
#include <climits>

namespace frostmark {

// ---------------------------------------------------------------- CLiveRows

CLiveRows::CLiveRows() : m_chunks(std::make_unique<Row*[]>(kMaxChunks)) {}

CLiveRows::~CLiveRows() {
    for (std::size_t i = 0; i < kMaxChunks && m_chunks[i]; ++i)
        delete[] m_chunks[i];
}

void CLiveRows::Append(const CWorldItem& item) {
    const std::size_t n = m_published.load(std::memory_order_relaxed);
    const std::size_t chunk = n / kChunkRows;
    if (chunk >= kMaxChunks)
        return;
    if (!m_chunks[chunk])
        m_chunks[chunk] = new Row[kChunkRows];
    Row& row = m_chunks[chunk][n % kChunkRows];
    row.id = item.id;
    row.x = item.x;
    row.y = item.y;
    row.z = item.z;
    row.color = item.color;
    // The row is complete before a reader may see it.
    m_published.store(n + 1, std::memory_order_release);
}

// ---------------------------------------------------------------- CPatchObjectsModel

namespace {

int ClampRows(std::size_t count) {
    return static_cast<int>(std::min<std::size_t>(count, INT_MAX));
}

struct CShownRow {
    std::string_view id;
    unsigned x, y, z, color;
};

QString ColourText(unsigned colour) {
    return QString::number(colour, 16);
}

} // namespace

CPatchObjectsModel::CPatchObjectsModel(QObject* parent) : QAbstractTableModel(parent) {}

CPatchObjectsModel::~CPatchObjectsModel() {
    JoinSort();
}

void CPatchObjectsModel::ShowLive(std::shared_ptr<const CLiveRows> rows) {
    JoinSort();
    beginResetModel();
    ++m_generation;
    m_live = std::move(rows);
    m_list = nullptr;
    m_liveRows = 0;
    m_order.clear();
    endResetModel();
}

void CPatchObjectsModel::Refresh() {
    if (!m_live)
        return;
    const int published = ClampRows(m_live->Published());
    if (published <= m_liveRows)
        return;
    beginInsertRows(QModelIndex(), m_liveRows, published - 1);
    m_liveRows = published;
    endInsertRows();
}

void CPatchObjectsModel::ShowList(const CFreezeList* list) {
    JoinSort();
    ++m_generation;
    Refresh();
    if (m_live && list && static_cast<std::size_t>(m_liveRows) == list->Count()) {
        // The same rows in the same order: only where they are read from changes.
        m_live.reset();
        m_list = list;
        m_order.clear();
    } else {
        beginResetModel();
        m_live.reset();
        m_liveRows = 0;
        m_list = list;
        m_order.clear();
        endResetModel();
    }
    if (m_sortColumn >= 0 && m_list && m_list->Count() > 1)
        StartSort();
}

std::size_t CPatchObjectsModel::ListIndex(int row) const {
    if (row < 0)
        return ~std::size_t(0);
    const auto r = static_cast<std::size_t>(row);
    return m_order.empty() ? r : (r < m_order.size() ? m_order[r] : ~std::size_t(0));
}

int CPatchObjectsModel::RowOf(std::size_t listIndex) const {
    if (m_order.empty())
        return listIndex < static_cast<std::size_t>(rowCount()) ? static_cast<int>(listIndex) : -1;
    const auto at = std::find(m_order.begin(), m_order.end(), listIndex);
    return at == m_order.end() ? -1 : static_cast<int>(at - m_order.begin());
}

QString CPatchObjectsModel::RowText(int row) const {
    if (row < 0 || row >= rowCount())
        return {};
    if (m_live) {
        const CLiveRows::Row& r = (*m_live)[static_cast<std::size_t>(row)];
        CWorldItem item;
        item.id = r.id;
        item.x = r.x;
        item.y = r.y;
        item.z = r.z;
        item.color = r.color;
        return QString::fromStdString(FormatPatchObjectLine(item));
    }
    return QString::fromStdString(FormatPatchObjectLine((*m_list)[ListIndex(row)]));
}

void CPatchObjectsModel::EntriesRemoved(const std::vector<std::size_t>& listIndexes) {
    JoinSort();
    beginResetModel();
    ++m_generation;
    DropRemovedEntries(m_order, listIndexes);
    endResetModel();
}

int CPatchObjectsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    if (m_live)
        return m_liveRows;
    return m_list ? ClampRows(m_list->Count()) : 0;
}

int CPatchObjectsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kPatchColumnCount;
}

QVariant CPatchObjectsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto column = static_cast<EPatchColumn>(index.column());
    if (role == Qt::TextAlignmentRole)
        return column == EPatchColumn::Id ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                          : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    CShownRow shown{};
    if (m_live) {
        const CLiveRows::Row& r = (*m_live)[static_cast<std::size_t>(index.row())];
        shown = {r.id, r.x, r.y, r.z, r.color};
    } else {
        const CWorldItem& item = (*m_list)[ListIndex(index.row())];
        shown = {item.id, item.x, item.y, item.z, item.color};
    }
    switch (column) {
    case EPatchColumn::Id:
        // Texts are single-byte: bytes above ASCII are shown as the Latin-1 characters they are.
        return QString::fromLatin1(shown.id.data(), static_cast<qsizetype>(shown.id.size()));
    case EPatchColumn::X:
        return shown.x;
    case EPatchColumn::Y:
        return shown.y;
    case EPatchColumn::Z:
        return shown.z;
    case EPatchColumn::Colour:
        return ColourText(shown.color);
    }
    return {};
}

QVariant CPatchObjectsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        static const char* const kTitles[kPatchColumnCount] = {"ID", "X", "Y", "Z", "Colour"};
        return section >= 0 && section < kPatchColumnCount ? QString::fromLatin1(kTitles[section])
                                                           : QVariant();
    }
    if (role == Qt::ToolTipRole) {
        static const char* const kTips[kPatchColumnCount] = {
            "The ID text of the record's header (or its ID= line)", "World x in tiles", "World y in tiles",
            "Height (0 to 255; a negative z is shown as 256 + z)", "The record's COLOR, in hexadecimal"};
        return section >= 0 && section < kPatchColumnCount ? tr(kTips[section]) : QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return section == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                            : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

void CPatchObjectsModel::sort(int column, Qt::SortOrder order) {
    m_sortColumn = column >= 0 && column < kPatchColumnCount ? column : -1;
    m_sortOrder = order;
    if (m_live || !m_list)
        return; // sorted when the list is shown
    if (m_sortColumn < 0) {
        JoinSort();
        ++m_generation;
        if (!m_order.empty()) {
            beginResetModel();
            m_order.clear();
            endResetModel();
        }
        return;
    }
    StartSort();
}

void CPatchObjectsModel::StartSort() {
    JoinSort();
    const std::uint64_t generation = ++m_generation;
    const CFreezeList* list = m_list;
    const auto column = static_cast<EPatchColumn>(m_sortColumn);
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    emit SortStarted();
    m_sortThread = std::thread([this, list, column, descending, generation] {
        std::vector<std::uint32_t> order = PatchObjectOrder(*list, column, descending);
        {
            std::lock_guard<std::mutex> lock(m_sortMutex);
            m_sorted = std::move(order);
            m_sortDone = true;
        }
        QMetaObject::invokeMethod(
            this, [this, generation] { ApplySort(generation); }, Qt::QueuedConnection);
    });
}

void CPatchObjectsModel::FinishSort() {
    if (m_sortThread.joinable())
        ApplySort(m_generation);
}

void CPatchObjectsModel::ApplySort(std::uint64_t generation) {
    if (generation != m_generation || !m_sortThread.joinable())
        return; // a later change made this result stale, or it was taken in already
    m_sortThread.join();
    std::vector<std::uint32_t> sorted;
    {
        std::lock_guard<std::mutex> lock(m_sortMutex);
        sorted.swap(m_sorted);
        m_sortDone = false;
    }
    beginResetModel();
    m_order = std::move(sorted);
    endResetModel();
    emit SortFinished();
}

void CPatchObjectsModel::JoinSort() {
    if (!m_sortThread.joinable())
        return;
    m_sortThread.join();
    std::lock_guard<std::mutex> lock(m_sortMutex);
    m_sorted.clear();
    m_sortDone = false;
    emit SortFinished();
}

} // namespace frostmark

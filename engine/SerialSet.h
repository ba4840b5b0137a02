#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace frostmark {

// Which record serials a scan has met, to tell whether any serial occurs twice in a world file. The
// 2^32 serials are cut into 65,536 pieces of 65,536 bits (8 KiB each), made as serials fall into them:
// a world's serials crowd into a few ranges, so a few pieces hold them all. A set that would need more
// than its limit of pieces gives up (it then has no answer) rather than grow without bound.
class CSerialSet {
public:
    static constexpr std::size_t kMaxPieces = 4096; // 32 MiB, the default limit

    explicit CSerialSet(std::size_t maxPieces = kMaxPieces) : m_maxPieces(maxPieces) {}

    void Add(std::uint32_t serial) {
        if (m_gaveUp)
            return;
        if (m_pieces.empty())
            m_pieces.resize(kPieceCount);
        std::unique_ptr<std::uint64_t[]>& piece = m_pieces[serial >> 16];
        if (!piece && !NewPiece(piece))
            return;
        std::uint64_t& word = piece[(serial & 0xFFFFu) >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (serial & 63u);
        m_twice |= (word & bit) != 0;
        word |= bit;
    }

    // Takes other's serials in (other is left empty); a serial met by both counts as met twice. The
    // two limits add up, so the union always fits: a set gives up only on serials of its own.
    void Merge(CSerialSet& other) {
        m_maxPieces += other.m_maxPieces;
        m_gaveUp = m_gaveUp || other.m_gaveUp;
        m_twice = m_twice || other.m_twice;
        if (m_gaveUp || other.m_pieces.empty()) {
            if (m_gaveUp)
                ReleasePieces();
            other.Clear();
            return;
        }
        if (m_pieces.empty())
            m_pieces.resize(kPieceCount);
        for (std::size_t p = 0; p < kPieceCount; ++p) {
            std::unique_ptr<std::uint64_t[]>& theirs = other.m_pieces[p];
            if (!theirs)
                continue;
            std::unique_ptr<std::uint64_t[]>& ours = m_pieces[p];
            if (!ours) {
                ours = std::move(theirs);
                ++m_used;
                continue;
            }
            for (std::size_t w = 0; w < kWordsPerPiece; ++w) {
                m_twice = m_twice || (ours[w] & theirs[w]) != 0;
                ours[w] |= theirs[w];
            }
        }
        other.Clear();
    }

    // True when the set can tell (it did not give up) that no serial was met twice.
    bool KnownUnique() const { return !m_gaveUp && !m_twice; }

    // Empty again, its limit kept.
    void Clear() {
        ReleasePieces();
        m_twice = false;
        m_gaveUp = false;
    }

private:
    static constexpr std::size_t kPieceCount = std::size_t(1) << 16;
    static constexpr std::size_t kWordsPerPiece = (std::size_t(1) << 16) / 64;

    void ReleasePieces() {
        std::vector<std::unique_ptr<std::uint64_t[]>>().swap(m_pieces);
        m_used = 0;
    }
    bool NewPiece(std::unique_ptr<std::uint64_t[]>& piece) {
        if (m_used == m_maxPieces) {
            m_gaveUp = true;
            ReleasePieces();
            return false;
        }
        piece = std::make_unique<std::uint64_t[]>(kWordsPerPiece); // zeroed
        ++m_used;
        return true;
    }

    std::vector<std::unique_ptr<std::uint64_t[]>> m_pieces; // kPieceCount once used
    std::size_t m_maxPieces;
    std::size_t m_used = 0;
    bool m_twice = false;
    bool m_gaveUp = false;
};

} // namespace frostmark

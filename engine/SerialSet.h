#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace frostmark {

// Which record serials a scan has met, to tell whether any serial occurs twice in a world file. The
// 2^32 serials are cut into 65,536 pieces of 65,536 bits (8 KiB each), made as serials fall into them:
// a world's serials crowd into a few ranges, so a few pieces hold them all. A set that would need more
// than kMaxPieces pieces gives up (it then has no answer) rather than grow without bound.
class CSerialSet {
public:
    static constexpr std::size_t kMaxPieces = 4096; // 32 MiB

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

    // Takes other's serials in (other is left empty); a serial met by both counts as met twice.
    void Merge(CSerialSet& other) {
        if (other.m_gaveUp)
            m_gaveUp = true;
        m_twice |= other.m_twice;
        if (m_gaveUp || other.m_pieces.empty()) {
            other = CSerialSet();
            return;
        }
        if (m_pieces.empty())
            m_pieces.resize(kPieceCount);
        for (std::size_t p = 0; p < kPieceCount && !m_gaveUp; ++p) {
            std::unique_ptr<std::uint64_t[]>& theirs = other.m_pieces[p];
            if (!theirs)
                continue;
            std::unique_ptr<std::uint64_t[]>& ours = m_pieces[p];
            if (!ours) {
                if (m_used == kMaxPieces) {
                    m_gaveUp = true;
                    break;
                }
                ours = std::move(theirs);
                ++m_used;
                continue;
            }
            for (std::size_t w = 0; w < kWordsPerPiece; ++w) {
                m_twice |= (ours[w] & theirs[w]) != 0;
                ours[w] |= theirs[w];
            }
        }
        if (m_gaveUp)
            m_pieces.clear();
        other = CSerialSet();
    }

    // True when the set can tell (it did not give up) that no serial was met twice.
    bool KnownUnique() const { return !m_gaveUp && !m_twice; }

private:
    static constexpr std::size_t kPieceCount = std::size_t(1) << 16;
    static constexpr std::size_t kWordsPerPiece = (std::size_t(1) << 16) / 64;

    bool NewPiece(std::unique_ptr<std::uint64_t[]>& piece) {
        if (m_used == kMaxPieces) {
            m_gaveUp = true;
            m_pieces.clear();
            m_pieces.shrink_to_fit();
            return false;
        }
        piece = std::make_unique<std::uint64_t[]>(kWordsPerPiece); // zeroed
        ++m_used;
        return true;
    }

    std::vector<std::unique_ptr<std::uint64_t[]>> m_pieces; // kPieceCount once used
    std::size_t m_used = 0;
    bool m_twice = false;
    bool m_gaveUp = false;
};

} // namespace frostmark

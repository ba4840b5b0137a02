#pragma once

// The "Loading File" progress window's logic: the loaders set the status text and the range, move the
// position, and call DrawProgress after each change. The window itself is an IProgressView (Qt window,
// terminal bar, or the in-memory recorder of the tests); without one the numbers are kept and nothing
// is shown.

#include "platform/Services.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace frostmark {

// Scaling of a file length into a progress range that stays below 61439, used by the loaders of large
// files: divisor = length / 61439 + 1, maximum = (length / divisor) & 0xFFFF, position = offset / divisor.
// The 16-bit mask never changes a value, since length / divisor is always below 61439.
struct CProgressScale {
    std::uint64_t divisor = 1;
    std::uint32_t maximum = 0;

    static CProgressScale ForLength(std::uint64_t length);
    std::uint32_t Scale(std::uint64_t position) const;
};

class CFileReadProgress {
public:
    // No window: the numbers are kept, nothing is shown.
    CFileReadProgress();
    // Creates and shows a window from the factory at once (none when the factory is null or gives none).
    explicit CFileReadProgress(IProgressViewFactory* factory);
    // Takes over an already created window (may be null).
    explicit CFileReadProgress(std::unique_ptr<IProgressView> view);
    ~CFileReadProgress(); // destroys the window
    CFileReadProgress(const CFileReadProgress&) = delete;
    CFileReadProgress& operator=(const CFileReadProgress&) = delete;

    void SetStatusText(const std::string& text);
    const std::string& StatusText() const { return m_status; }
    void SetCaption(const std::string& caption);

    void SetMinimum(std::uint32_t minimum) { m_minimum = minimum; }
    void SetMaximum(std::uint32_t maximum) { m_maximum = maximum; }
    void SetRange(std::uint32_t minimum, std::uint32_t maximum) {
        m_minimum = minimum;
        m_maximum = maximum;
    }
    void SetPosition(std::uint32_t position) { m_position = position; }
    std::uint32_t Minimum() const { return m_minimum; }
    std::uint32_t Maximum() const { return m_maximum; }
    std::uint32_t Position() const { return m_position; }

    // Paints the bar and its percentage now. Nothing is drawn when maximum equals minimum.
    void DrawProgress();

    // The figures DrawProgress hands to the view for a canvas rectangle, or nullopt when nothing is to
    // be drawn (maximum equal to minimum). percent = position * 100 / (maximum - minimum) and
    // split = left + width * position / (maximum - minimum), in 64-bit arithmetic so that large files do
    // not wrap; the split is kept within the rectangle (a position beyond the maximum fills the bar, and
    // its percentage is shown above 100).
    static std::optional<CProgressPaint> ComputePaint(std::uint32_t minimum, std::uint32_t maximum,
                                                      std::uint32_t position, const CProgressRect& client);

    IProgressView* View() const { return m_view.get(); }

private:
    std::unique_ptr<IProgressView> m_view;
    std::string m_status;
    std::uint32_t m_minimum = 0;
    std::uint32_t m_maximum = 100;
    std::uint32_t m_position = 0;
};

} // namespace frostmark

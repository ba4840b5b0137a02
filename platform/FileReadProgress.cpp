#include "platform/FileReadProgress.h"

#include <algorithm>
#include <cstdio>

namespace frostmark {

CProgressScale CProgressScale::ForLength(std::uint64_t length) {
    CProgressScale scale;
    scale.divisor = length / 61439u + 1u;
    scale.maximum = static_cast<std::uint32_t>((length / scale.divisor) & 0xFFFFu);
    return scale;
}

std::uint32_t CProgressScale::Scale(std::uint64_t position) const {
    return static_cast<std::uint32_t>(position / divisor);
}

CFileReadProgress::CFileReadProgress() = default;

CFileReadProgress::CFileReadProgress(IProgressViewFactory* factory) {
    if (factory)
        m_view = factory->CreateProgressView();
}

CFileReadProgress::CFileReadProgress(std::unique_ptr<IProgressView> view) : m_view(std::move(view)) {}

CFileReadProgress::~CFileReadProgress() = default;

void CFileReadProgress::SetStatusText(const std::string& text) {
    m_status = text;
    if (m_view)
        m_view->SetStatusText(text);
}

void CFileReadProgress::SetCaption(const std::string& caption) {
    if (m_view)
        m_view->SetCaption(caption);
}

std::optional<CProgressPaint> CFileReadProgress::ComputePaint(std::uint32_t minimum, std::uint32_t maximum,
                                                              std::uint32_t position,
                                                              const CProgressRect& client) {
    if (maximum == minimum)
        return std::nullopt;
    // The range stays a 32-bit unsigned difference (a minimum above the maximum wraps, as the loaders'
    // arithmetic always did); only the products are widened, which is what large files overflowed.
    const std::uint64_t range = static_cast<std::uint32_t>(maximum - minimum);
    CProgressPaint paint;
    paint.client = client;
    paint.percent = static_cast<std::uint64_t>(position) * 100u / range;
    char text[32];
    std::snprintf(text, sizeof text, "%llu%%", static_cast<unsigned long long>(paint.percent));
    paint.text = text;
    const std::int64_t width = std::max(0, client.Width());
    const std::uint64_t done = static_cast<std::uint64_t>(width) * position / range;
    paint.split =
        client.left + static_cast<int>(std::min<std::uint64_t>(done, static_cast<std::uint64_t>(width)));
    paint.textCentreX = (client.right - client.left) / 2;
    paint.textTop = client.top - 1;
    return paint;
}

void CFileReadProgress::DrawProgress() {
    if (!m_view)
        return;
    if (auto paint = ComputePaint(m_minimum, m_maximum, m_position, m_view->CanvasRect()))
        m_view->Paint(*paint);
}

} // namespace frostmark

#include "platform/TerminalProgressView.h"

#include <algorithm>

#if __has_include(<unistd.h>)
#include <unistd.h>
#define FROSTMARK_HAVE_ISATTY 1
#endif

namespace frostmark {

CTerminalProgressView::CTerminalProgressView(std::FILE* out, int barWidth, int lineWidth)
    : m_out(out), m_barWidth(std::max(1, barWidth)), m_lineWidth(std::max(m_barWidth + 8, lineWidth)) {}

CTerminalProgressView::~CTerminalProgressView() {
    if (m_out && !m_shown.empty()) {
        std::fprintf(m_out, "\r%*s\r", static_cast<int>(m_shown.size()), "");
        std::fflush(m_out);
    }
}

void CTerminalProgressView::SetCaption(const std::string&) {
    // A terminal line has no caption; the status text says what is being read.
}

void CTerminalProgressView::SetStatusText(const std::string& text) {
    m_status = text;
    Redraw();
}

void CTerminalProgressView::Paint(const CProgressPaint& paint) {
    m_paint = paint;
    m_painted = true;
    Redraw();
}

std::string CTerminalProgressView::FormatLine(const std::string& status, const CProgressPaint* paint,
                                              int barWidth, int lineWidth) {
    std::string bar;
    if (paint) {
        const int width = std::max(0, paint->client.Width());
        const int filled =
            width == 0 ? 0 : std::clamp(paint->split - paint->client.left, 0, width) * barWidth / width;
        std::string percent = paint->text;
        if (percent.size() < 4)
            percent.insert(0, 4 - percent.size(), ' ');
        bar = " [" + std::string(static_cast<std::size_t>(filled), '#') +
              std::string(static_cast<std::size_t>(barWidth - filled), '.') + "] " + percent;
    }
    // Long paths keep their end, which names the file.
    const std::size_t room = static_cast<std::size_t>(std::max(0, lineWidth - static_cast<int>(bar.size())));
    std::string text = status;
    if (text.size() > room)
        text = room > 3 ? "..." + text.substr(text.size() - (room - 3)) : text.substr(text.size() - room);
    return text + bar;
}

void CTerminalProgressView::Redraw() {
    if (!m_out)
        return;
    const std::string line = FormatLine(m_status, m_painted ? &m_paint : nullptr, m_barWidth, m_lineWidth);
    if (line == m_shown)
        return;
    // Pad with blanks so that a shorter line wipes out the end of the longer one before it.
    const int pad = std::max(0, static_cast<int>(m_shown.size()) - static_cast<int>(line.size()));
    std::fprintf(m_out, "\r%s%*s", line.c_str(), pad, "");
    std::fflush(m_out);
    m_shown = line;
    if (pad > 0)
        m_shown.append(static_cast<std::size_t>(pad), ' ');
}

std::unique_ptr<IProgressView> CTerminalProgressViewFactory::CreateProgressView() {
    return std::make_unique<CTerminalProgressView>(m_out);
}

bool IsTerminal(std::FILE* stream) {
#if defined(FROSTMARK_HAVE_ISATTY)
    return stream && isatty(fileno(stream)) == 1;
#else
    (void)stream;
    return false;
#endif
}

} // namespace frostmark

#include "platform/TerminalProgressView.h"

#include "platform/Terminal.h"

#include <algorithm>

#if __has_include(<unistd.h>)
#include <unistd.h>
#define FROSTMARK_HAVE_ISATTY 1
#endif

namespace frostmark {

CTerminalProgressView::CTerminalProgressView(std::FILE* out) : m_out(out), m_fitTerminal(true) {
    LayoutForColumns(80, m_barWidth, m_lineWidth);
}

CTerminalProgressView::CTerminalProgressView(std::FILE* out, int barWidth, int lineWidth)
    : m_out(out), m_barWidth(std::max(0, barWidth)), m_lineWidth(std::max(0, lineWidth)) {}

CTerminalProgressView::~CTerminalProgressView() {
    if (m_out && !m_shown.empty()) {
        const int erase = std::min(static_cast<int>(m_shown.size()), m_lineWidth);
        std::fprintf(m_out, "\r%*s\r", erase, "");
        std::fflush(m_out);
    }
}

void CTerminalProgressView::LayoutForColumns(int columns, int& barWidth, int& lineWidth) {
    lineWidth = std::max(0, columns - 1);
    barWidth = lineWidth < 24 ? 0 : std::min(30, lineWidth / 3);
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
    const std::size_t limit = static_cast<std::size_t>(std::max(0, lineWidth));
    std::string bar;
    if (paint) {
        std::string percent = paint->text;
        if (percent.size() < 4)
            percent.insert(0, 4 - percent.size(), ' ');
        if (barWidth > 0) {
            const int width = std::max(0, paint->client.Width());
            const int filled =
                width == 0 ? 0 : std::clamp(paint->split - paint->client.left, 0, width) * barWidth / width;
            bar = " [" + std::string(static_cast<std::size_t>(filled), '#') +
                  std::string(static_cast<std::size_t>(barWidth - filled), '.') + "] " + percent;
        } else {
            bar = " " + percent;
        }
        // Narrower than even the bar: the percentage alone, as much of it as fits.
        if (bar.size() > limit)
            bar = percent.substr(percent.size() - std::min(percent.size(), limit));
    }
    // Long paths keep their end, which names the file.
    const std::size_t room = limit - bar.size();
    std::string text = status;
    if (text.size() > room)
        text = room > 3 ? "..." + text.substr(text.size() - (room - 3)) : text.substr(text.size() - room);
    return text + bar;
}

void CTerminalProgressView::Redraw() {
    if (!m_out)
        return;
    if (m_fitTerminal) {
        const int columns = TerminalColumns(m_out);
        LayoutForColumns(columns > 0 ? columns : 80, m_barWidth, m_lineWidth);
    }
    const std::string line = FormatLine(m_status, m_painted ? &m_paint : nullptr, m_barWidth, m_lineWidth);
    if (line == m_shown)
        return;
    // Pad with blanks so that a shorter line wipes out the end of the longer one before it (never past
    // the line's width: after a window was made narrower the old line's end has wrapped already).
    const int pad =
        std::max(0, std::min(static_cast<int>(m_shown.size()), m_lineWidth) - static_cast<int>(line.size()));
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

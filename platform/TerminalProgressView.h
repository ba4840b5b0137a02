#pragma once

// A progress view for the command line: one line on a terminal, redrawn in place,
// "<status> [#######.........]  42%". The command line decides whether to use it (only when its error
// stream is a terminal, see IsTerminal); the line is erased when the view is destroyed.

#include "platform/Services.h"

#include <cstdio>
#include <string>

namespace frostmark {

class CTerminalProgressView : public IProgressView {
public:
    // Fits the terminal `out` shows on, asking for its width at every redraw, so that the line never
    // wraps, also after the window was made narrower. A stream that is no terminal gets 80 columns.
    explicit CTerminalProgressView(std::FILE* out = stderr);
    // Fixed widths: `barWidth` character cells of bar (0: the percentage alone), lines of at most
    // `lineWidth` cells.
    CTerminalProgressView(std::FILE* out, int barWidth, int lineWidth);
    ~CTerminalProgressView() override;

    void SetCaption(const std::string& caption) override;
    void SetStatusText(const std::string& text) override;
    CProgressRect CanvasRect() const override { return {0, 0, m_barWidth, 1}; }
    void Paint(const CProgressPaint& paint) override;

    // The line the view shows for a status text and a paint (without the leading "\r"): never longer
    // than lineWidth. Exposed for tests.
    static std::string FormatLine(const std::string& status, const CProgressPaint* paint, int barWidth,
                                  int lineWidth);
    // The bar and line widths for a terminal of `columns` cells: the last column stays free (writing
    // into it makes some terminals wrap at once), the bar takes a third of the line up to 30 cells, and
    // a line too narrow for a useful bar shows the percentage alone.
    static void LayoutForColumns(int columns, int& barWidth, int& lineWidth);

private:
    void Redraw();

    std::FILE* m_out;
    bool m_fitTerminal = false;
    int m_barWidth;
    int m_lineWidth;
    std::string m_status;
    CProgressPaint m_paint;
    bool m_painted = false;
    std::string m_shown; // the line now on the terminal
};

class CTerminalProgressViewFactory : public IProgressViewFactory {
public:
    explicit CTerminalProgressViewFactory(std::FILE* out = stderr) : m_out(out) {}
    std::unique_ptr<IProgressView> CreateProgressView() override;

private:
    std::FILE* m_out;
};

// Whether a stream is connected to a terminal (false where that cannot be told).
bool IsTerminal(std::FILE* stream);

} // namespace frostmark

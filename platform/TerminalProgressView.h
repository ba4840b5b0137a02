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
    // `barWidth` is the number of character cells of the bar; the canvas is barWidth x 1 cells.
    explicit CTerminalProgressView(std::FILE* out = stderr, int barWidth = 30, int lineWidth = 79);
    ~CTerminalProgressView() override;

    void SetCaption(const std::string& caption) override;
    void SetStatusText(const std::string& text) override;
    CProgressRect CanvasRect() const override { return {0, 0, m_barWidth, 1}; }
    void Paint(const CProgressPaint& paint) override;

    // The line the view shows for a status text and a paint (without the leading "\r"); exposed for tests.
    static std::string FormatLine(const std::string& status, const CProgressPaint* paint, int barWidth,
                                  int lineWidth);

private:
    void Redraw();

    std::FILE* m_out;
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

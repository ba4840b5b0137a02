#pragma once
// The main window's layout: every control of the dialog template sits at its template rectangle when
// the window has the template's size (its minimum), and as the window grows the controls move and
// stretch by fixed shares of the extra width and height. Bars added at the bottom (the status line)
// span the window's width below the template's area.

#include <QLayout>
#include <QRect>

#include <vector>

namespace frostmark {

// Shares of the extra width (x) and height (y) by which a control's edges move: its left edge by
// `moveX`, its right edge by `moveX + growX`, and the same downwards. Two controls that share an edge
// and the same share of that edge stay side by side at every size.
struct CControlGrowth {
    double moveX = 0;
    double growX = 0;
    double moveY = 0;
    double growY = 0;
};

class CTemplateLayout : public QLayout {
    Q_OBJECT
public:
    // `templateSize` is the window's size at which every control sits at its rectangle.
    CTemplateLayout(QSize templateSize, QWidget* parent);
    ~CTemplateLayout() override;

    // Places `widget` at `rect` (at the template size), following the window by `growth`.
    void AddControl(QWidget* widget, QRect rect, CControlGrowth growth);
    // Stacks `widget` below the template's area, as tall as its size hint and as wide as the window.
    void AddBottom(QWidget* widget);

    QSize TemplateSize() const { return m_templateSize; }
    // The window's size at the template size, bottom bars included.
    QSize BaseSize() const;

    // QLayout
    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override { return BaseSize(); }
    QSize minimumSize() const override { return BaseSize(); }
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        QRect rect;
        CControlGrowth growth;
        bool bottom; // a bar below the template's area
    };
    int BottomHeight() const;

    QSize m_templateSize;
    std::vector<Entry> m_entries;
};

} // namespace frostmark

#include "app/TemplateLayout.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace frostmark {

CTemplateLayout::CTemplateLayout(QSize templateSize, QWidget* parent)
    : QLayout(parent), m_templateSize(templateSize) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
    setSizeConstraint(QLayout::SetMinimumSize);
}

CTemplateLayout::~CTemplateLayout() {
    for (Entry& e : m_entries)
        delete e.item;
}

void CTemplateLayout::AddControl(QWidget* widget, QRect rect, CControlGrowth growth) {
    addChildWidget(widget);
    m_entries.push_back({new QWidgetItem(widget), rect, growth, false});
    invalidate();
}

void CTemplateLayout::AddBottom(QWidget* widget) {
    addChildWidget(widget);
    m_entries.push_back({new QWidgetItem(widget), QRect(), {}, true});
    invalidate();
}

void CTemplateLayout::addItem(QLayoutItem* item) {
    // Anything added the plain way stays where its widget now is.
    const QRect at = item->widget() ? item->widget()->geometry() : item->geometry();
    m_entries.push_back({item, at, {}, false});
    invalidate();
}

QLayoutItem* CTemplateLayout::itemAt(int index) const {
    return index >= 0 && index < count() ? m_entries[static_cast<std::size_t>(index)].item : nullptr;
}

QLayoutItem* CTemplateLayout::takeAt(int index) {
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = m_entries[static_cast<std::size_t>(index)].item;
    m_entries.erase(m_entries.begin() + index);
    invalidate();
    return item;
}

int CTemplateLayout::count() const {
    return static_cast<int>(m_entries.size());
}

int CTemplateLayout::BottomHeight() const {
    int height = 0;
    for (const Entry& e : m_entries)
        if (e.bottom && e.item->widget() && !e.item->widget()->isHidden())
            height += e.item->widget()->sizeHint().height();
    return height;
}

QSize CTemplateLayout::BaseSize() const {
    return {m_templateSize.width(), m_templateSize.height() + BottomHeight()};
}

void CTemplateLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const int bottomHeight = BottomHeight();
    const int extraX = std::max(0, rect.width() - m_templateSize.width());
    const int extraY = std::max(0, rect.height() - bottomHeight - m_templateSize.height());
    const auto share = [](double part, int extra) { return static_cast<int>(std::lround(part * extra)); };
    int bottomTop = rect.top() + m_templateSize.height() + extraY;
    for (const Entry& e : m_entries) {
        QWidget* w = e.item->widget();
        if (!w)
            continue;
        if (e.bottom) {
            if (w->isHidden())
                continue;
            const int height = w->sizeHint().height();
            w->setGeometry(rect.left(), bottomTop, rect.width(), height);
            bottomTop += height;
            continue;
        }
        // Edges move by whole pixels, each rounded on its own: neighbours that share an edge share its
        // rounding too. Widgets are placed even while hidden, so they come back where they belong.
        const int left = e.rect.left() + share(e.growth.moveX, extraX);
        const int right = e.rect.left() + e.rect.width() + share(e.growth.moveX + e.growth.growX, extraX);
        const int top = e.rect.top() + share(e.growth.moveY, extraY);
        const int bottom = e.rect.top() + e.rect.height() + share(e.growth.moveY + e.growth.growY, extraY);
        w->setGeometry(rect.left() + left, rect.top() + top, right - left, bottom - top);
    }
}

} // namespace frostmark

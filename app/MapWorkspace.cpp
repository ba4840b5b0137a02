#include "app/MapWorkspace.h"

#include "app/MapCanvas.h"
#include "app/MapUndoCommands.h"
#include "app/Widgets.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUndoStack>
#include <QWheelEvent>

#include <algorithm>
#include <cstring>

namespace frostmark {

namespace {

QRect ToQRect(const ViewRect& r) {
    return QRect(QPoint(r.left, r.top), QSize(r.Width(), r.Height()));
}

ViewPoint ToViewPoint(QPoint p) {
    return {p.x(), p.y()};
}

// The Patch Areas list's editor: the entry's text in a line, four numbers only; what was typed goes to
// the workspace (and from there through the undo stack) instead of straight into the list.
class CAreaEntryDelegate : public QStyledItemDelegate {
public:
    CAreaEntryDelegate(CMapWorkspace& workspace, QObject* parent)
        : QStyledItemDelegate(parent), m_workspace(workspace) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        edit->setPlaceholderText(QStringLiteral("left, top, right, bottom"));
        edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral(R"(\s*-?\d{0,7}(\s*,\s*-?\d{0,7}){0,3}\s*)")), edit));
        return edit;
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        const QString text = static_cast<QLineEdit*>(editor)->text();
        const int row = index.row();
        // After the editor has closed: the change redraws the list the editor sits in.
        QTimer::singleShot(0, &m_workspace, [w = &m_workspace, row, text] { w->ApplyTypedArea(row, text); });
    }

    // Drawn to fit the list's width: the list never hides part of an entry.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto* view = qobject_cast<const QAbstractItemView*>(option->widget);
        if (!view) {
            return;
        }
        const QStyle* style = view->style();
        const int margins = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, option, view) + 1);
        const FittedAreaText fitted =
            FitAreaEntry(option->font, option->text, view->viewport()->width() - margins);
        option->font = fitted.font;
        option->fontMetrics = QFontMetrics(fitted.font);
        option->text = fitted.text;
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget)) {
            size.setWidth(std::min(size.width(), view->viewport()->width()));
        }
        return size;
    }

private:
    CMapWorkspace& m_workspace;
};

QString AreaToolTip(const std::string& text) {
    const WorldRect r = ParseWorldRect(text);
    return QStringLiteral("%1\n%2 x %3 tiles (left, top, right, bottom)\nDouble-click to type new values")
        .arg(QString::fromStdString(text))
        .arg(r.Width())
        .arg(r.Height());
}

} // namespace

FittedAreaText FitAreaEntry(const QFont& font, const QString& text, int width) {
    FittedAreaText fitted{font, text};
    if (QFontMetrics(font).horizontalAdvance(text) <= width) {
        return fitted;
    }
    fitted.text.replace(QStringLiteral(", "), QStringLiteral(",\u2009"));
    // Half a point (or a pixel) at a time, down to a size that still reads.
    const auto tooWide = [&] { return QFontMetrics(fitted.font).horizontalAdvance(fitted.text) > width; };
    if (font.pointSizeF() > 0) {
        for (double points = font.pointSizeF(); tooWide() && points > 6.0;) {
            points = std::max(points - 0.5, 6.0);
            fitted.font.setPointSizeF(points);
        }
    } else {
        for (int pixels = font.pixelSize(); tooWide() && pixels > 8;) {
            fitted.font.setPixelSize(--pixels);
        }
    }
    return fitted;
}

CMapWorkspace::CMapWorkspace(CMapView& view, Parts parts, QObject* parent)
    : QObject(parent), m_view(view), m_parts(std::move(parts)) {
    m_readout = new QLabel;
    m_readout->setObjectName(QStringLiteral("mapReadout"));
    m_readout->setContentsMargins(0, 0, 8, 0); // clear of the window's edge
    m_readout->setToolTip(tr("The world position under the pointer (x, y in tiles) and the map's zoom"));

    CMapCanvas* canvas = m_parts.canvas;
    canvas->installEventFilter(this);
    canvas->setCursor(Qt::CrossCursor);
    canvas->setToolTip(tr("Drag to add a patch area; drag an area or its edges to move or resize it.\n"
                          "Wheel: zoom. Middle button or Space + drag: move the map. Home: whole world."));

    connect(m_parts.zoomIn, &CClickableIcon::clicked, this, &CMapWorkspace::OnZoomIn);
    connect(m_parts.zoomOut, &CClickableIcon::clicked, this, &CMapWorkspace::OnZoomOut);
    for (QScrollBar* bar : {m_parts.horizontal, m_parts.vertical}) {
        bar->setSingleStep(kScrollLineStep);
        bar->setPageStep(kScrollPageStep);
        bar->installEventFilter(this);
        connect(bar, &QScrollBar::actionTriggered, this,
                [this, bar](int action) { OnScrollAction(bar, action); });
    }

    QListWidget* list = m_parts.areas;
    list->setItemDelegate(new CAreaEntryDelegate(*this, list));
    list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // Entries are drawn to fit (see CAreaEntryDelegate): nothing to scroll sideways.
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->installEventFilter(this);
    connect(list, &QListWidget::itemSelectionChanged, this, &CMapWorkspace::OnListSelectionChanged);

    const QRect r = canvas->rect();
    PictureGeometry geometry;
    geometry.frame = {0, 0, r.width(), r.height()};
    geometry.clientWidth = r.width();
    geometry.clientHeight = r.height();
    m_view.SetPictureGeometry(geometry);
    // Every wheel step and pan rebuilds the picture: from memory that costs only the drawing.
    m_view.KeepMapInMemory(true);
    UpdateReadout(std::nullopt);
}

CMapWorkspace::~CMapWorkspace() {
    // The label lives in the status line once placed there; until then it is ours.
    if (m_readout && !m_readout->parent())
        delete m_readout.data();
}

// ---------------------------------------------------------------- showing the map

void CMapWorkspace::Rebuild() {
    m_view.ClampToBounds();
    m_view.BuildRadarImage();
    ShowMap();
}

void CMapWorkspace::ShowMap() {
    CMapCanvas* canvas = m_parts.canvas;
    if (m_view.HasImage()) {
        canvas->SetTerrain(&m_view.Samples());
    } else {
        canvas->SetTerrain(nullptr);
        canvas->SetEmptyText(
            tr("No map: the game client's map0.mul was not found in \"%1\".\n"
               "Right-click the map and choose Client directory...")
                .arg(QString::fromStdString(m_view.ClientDirectory().empty() ? std::string(".")
                                                                             : m_view.ClientDirectory())));
    }
    SetScrollRanges();
    RedrawAreas();
    RedrawObjects();
    UpdateReadout(m_pointer);
}

// ---------------------------------------------------------------- the objects to freeze

void CMapWorkspace::SetObjects(std::vector<MapObject> objects) {
    m_objects = std::move(objects);
    m_objectIndex = CObjectMarkIndex(m_objects);
    m_highlighted.clear();
    RedrawObjects();
}

void CMapWorkspace::HighlightObjects(std::vector<std::size_t> indexes) {
    std::erase_if(indexes, [this](std::size_t i) { return i >= m_objects.size(); });
    // Rings for a few hundred at most: beyond that they would hide the map rather than point at
    // anything.
    if (indexes.size() > kMaxHighlights)
        indexes.resize(kMaxHighlights);
    m_highlighted = std::move(indexes);
    RedrawObjects();
}

QPoint CMapWorkspace::MarkPosition(std::size_t index) const {
    if (index >= m_objects.size())
        return {};
    const ViewPoint c = MarkCentre(m_view, m_objects[index].x, m_objects[index].y);
    return {c.x, c.y};
}

void CMapWorkspace::CentreOnObject(std::size_t index) {
    if (index >= m_objects.size())
        return;
    const int x = m_objects[index].x, y = m_objects[index].y;
    int cx = x, cy = y;
    ClampCentre(m_view.Zoom(), m_view.PictureWidth(), m_view.PictureHeight(), cx, cy);
    if (cx == m_view.CentreX() && cy == m_view.CentreY())
        return;
    m_view.SetCentre(x, y);
    Rebuild();
}

void CMapWorkspace::RedrawObjects() {
    CMapCanvas* canvas = m_parts.canvas;
    if (m_objects.empty()) {
        canvas->SetMarks({});
        canvas->SetHighlights({});
        return;
    }
    MarkLayer layer = PaintObjectMarks(m_view, m_objectIndex, CMapCanvas::MarkColour().rgba(),
                                       CMapCanvas::MarkEdgeColour().rgba());
    QImage marks(layer.width, layer.height, QImage::Format_ARGB32);
    for (int y = 0; y < layer.height; ++y)
        std::memcpy(marks.scanLine(y),
                    &layer.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(layer.width)],
                    static_cast<std::size_t>(layer.width) * 4);
    canvas->SetMarks(std::move(marks));
    std::vector<QPoint> rings;
    for (const std::size_t index : m_highlighted)
        rings.push_back(MarkPosition(index));
    canvas->SetHighlights(std::move(rings));
}

void CMapWorkspace::SetScrollRanges() {
    const ScrollRanges r = m_view.GetScrollRanges();
    QScrollBar* h = m_parts.horizontal;
    QScrollBar* v = m_parts.vertical;
    const QSignalBlocker bh(h), bv(v);
    h->setRange(r.horizontalMin, r.horizontalMax);
    h->setValue(r.horizontalPosition);
    v->setRange(r.verticalMin, r.verticalMax);
    v->setValue(r.verticalPosition);
}

void CMapWorkspace::RedrawAreas() {
    std::vector<CMapCanvas::Area> shapes;
    const CPatchAreaList& areas = m_view.PatchAreas();
    // Far beyond the picture a rectangle is cut to a little more than the picture, so its outline
    // stays outside and the painter never sees absurd coordinates.
    const ViewRect& frame = m_view.Picture().frame;
    const ViewRect reach{frame.left - 8, frame.top - 8, frame.right + 8, frame.bottom + 8};
    for (std::size_t i = 0; i < areas.Count(); ++i) {
        ViewRect r = AreaViewRect(m_view, ParseWorldRect(areas[i].text));
        r = {std::max(r.left, reach.left), std::max(r.top, reach.top), std::min(r.right, reach.right),
             std::min(r.bottom, reach.bottom)};
        if (r.Width() <= 0 || r.Height() <= 0)
            continue;
        shapes.push_back({ToQRect(r), areas[i].selected});
    }
    m_parts.canvas->SetAreas(std::move(shapes));
}

// ---------------------------------------------------------------- navigation

void CMapWorkspace::OnZoomIn() {
    if (m_view.OnZoomIn())
        ShowMap();
}

void CMapWorkspace::OnZoomOut() {
    if (m_view.OnZoomOut())
        ShowMap();
}

void CMapWorkspace::ZoomAround(int steps, QPoint at) {
    const int level = steps > 0 ? ZoomInLevel(m_view.Zoom()) : ZoomOutLevel(m_view.Zoom());
    // Anything else that moved the view, or a pointer moved elsewhere, starts a new run.
    const QSize picture(m_view.PictureWidth(), m_view.PictureHeight());
    const bool sameRun = m_zoomRun && m_zoomRun->at == at && m_zoomRun->zoom == m_view.Zoom() &&
                         m_zoomRun->centreX == m_view.CentreX() && m_zoomRun->centreY == m_view.CentreY() &&
                         m_zoomRun->picture == picture;
    const WorldPoint anchor = sameRun ? m_zoomRun->anchor : m_view.ViewToWorld(at.x(), at.y());
    if (!m_view.ZoomAt(level, at.x(), at.y(), anchor))
        return;
    m_zoomRun = ZoomRun{at, anchor, m_view.Zoom(), m_view.CentreX(), m_view.CentreY(), picture};
    ShowMap();
}

void CMapWorkspace::Pan(QPoint pixels) {
    if (m_view.PanByPixels(pixels.x(), pixels.y()))
        ShowMap();
}

void CMapWorkspace::ShowWholeWorld() {
    if (m_view.ShowWholeWorld())
        ShowMap();
}

void CMapWorkspace::OnPictureResized() {
    const QSize size = m_parts.canvas->size();
    if (size.width() == m_view.PictureWidth() && size.height() == m_view.PictureHeight())
        return;
    // A view that showed the whole world keeps showing all of it, as large as the new size allows.
    const bool whole = m_view.Zoom() == WholeWorldLevel(m_view.PictureWidth(), m_view.PictureHeight()) &&
                       m_view.CentreX() == kWorldWidth / 2 && m_view.CentreY() == kWorldHeight / 2;
    PictureGeometry geometry;
    geometry.frame = {0, 0, size.width(), size.height()};
    geometry.clientWidth = size.width();
    geometry.clientHeight = size.height();
    m_view.SetPictureGeometry(geometry);
    if (whole && m_view.ShowWholeWorld()) {
        ShowMap();
        return;
    }
    Rebuild();
}

void CMapWorkspace::OnScrollAction(QScrollBar* bar, int action) {
    const ScrollBarKind kind =
        bar == m_parts.horizontal ? ScrollBarKind::Horizontal : ScrollBarKind::Vertical;
    std::optional<ScrollCode> code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = ScrollCode::LineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        code = ScrollCode::LineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = ScrollCode::PageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = ScrollCode::PageDown;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = ScrollCode::Top;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = ScrollCode::Bottom;
        break;
    case QAbstractSlider::SliderMove:
        code = ScrollCode::ThumbTrack;
        break;
    default:
        break;
    }
    if (!code)
        return;
    const ScrollOutcome outcome = m_view.OnScroll(kind, *code, bar->sliderPosition());
    // The centre moves by world tiles; the bar shows where it went (it may lie beyond the range until
    // the scroll ends and the rebuild clamps it).
    bar->setSliderPosition(outcome.position);
}

void CMapWorkspace::OnScrollEnd(QScrollBar* bar) {
    const ScrollBarKind kind =
        bar == m_parts.horizontal ? ScrollBarKind::Horizontal : ScrollBarKind::Vertical;
    const ScrollOutcome outcome = m_view.OnScroll(kind, ScrollCode::EndScroll);
    {
        const QSignalBlocker block(bar);
        bar->setValue(outcome.position);
    }
    if (outcome.imageBuilt)
        ShowMap();
}

// ---------------------------------------------------------------- the readout and the pointer

QString CMapWorkspace::ReadoutText() const {
    return m_readout->text();
}

void CMapWorkspace::UpdateReadout(std::optional<QPoint> at) {
    QString where = QStringLiteral("\u2013");
    if (at) {
        const WorldPoint p = m_view.ViewToWorld(at->x(), at->y());
        if (p.x >= 0 && p.y >= 0 && p.x < kWorldWidth && p.y < kWorldHeight)
            where = QStringLiteral("%1, %2").arg(p.x).arg(p.y);
    }
    m_readout->setText(
        QStringLiteral("%1   Zoom: %2").arg(where, QString::fromStdString(DescribeZoomLevel(m_view.Zoom()))));
}

void CMapWorkspace::UpdateCursor(QPoint at) {
    CMapCanvas* canvas = m_parts.canvas;
    if (m_panning) {
        canvas->setCursor(Qt::ClosedHandCursor);
        return;
    }
    if (m_spaceHeld) {
        canvas->setCursor(Qt::OpenHandCursor);
        return;
    }
    switch (m_tool.PartAt(m_view, ToViewPoint(at))) {
    case AreaPart::Inside:
        canvas->setCursor(Qt::SizeAllCursor);
        break;
    case AreaPart::Left:
    case AreaPart::Right:
        canvas->setCursor(Qt::SizeHorCursor);
        break;
    case AreaPart::Top:
    case AreaPart::Bottom:
        canvas->setCursor(Qt::SizeVerCursor);
        break;
    case AreaPart::TopLeft:
    case AreaPart::BottomRight:
        canvas->setCursor(Qt::SizeFDiagCursor);
        break;
    case AreaPart::TopRight:
    case AreaPart::BottomLeft:
        canvas->setCursor(Qt::SizeBDiagCursor);
        break;
    case AreaPart::None:
        canvas->setCursor(Qt::CrossCursor);
        break;
    }
}

// ---------------------------------------------------------------- input on the map

bool CMapWorkspace::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_parts.canvas) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            OnCanvasPress(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseMove:
            OnCanvasMove(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseButtonRelease:
            OnCanvasRelease(static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            // Whole notches zoom one level each; touchpads send smaller steps that add up.
            m_wheelAngle += wheel->angleDelta().y();
            const QPoint at = wheel->position().toPoint();
            while (std::abs(m_wheelAngle) >= 120) {
                const int step = m_wheelAngle > 0 ? 1 : -1;
                m_wheelAngle -= step * 120;
                ZoomAround(step, at);
            }
            return true;
        }
        case QEvent::KeyPress: {
            bool handled = false;
            OnCanvasKey(static_cast<QKeyEvent*>(event), handled);
            return handled;
        }
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && !key->isAutoRepeat()) {
                m_spaceHeld = false;
                if (m_pointer)
                    UpdateCursor(*m_pointer);
                return true;
            }
            break;
        }
        case QEvent::FocusOut:
            m_spaceHeld = false;
            break;
        case QEvent::Leave:
            m_pointer.reset();
            UpdateReadout(std::nullopt);
            break;
        case QEvent::ContextMenu:
            OnContextMenu(static_cast<QContextMenuEvent*>(event));
            return true;
        case QEvent::Resize:
            // After the canvas has its new size; the build then fits it.
            QTimer::singleShot(0, this, &CMapWorkspace::OnPictureResized);
            break;
        default:
            break;
        }
        return false;
    }
    if (auto* bar = qobject_cast<QScrollBar*>(watched)) {
        // A scroll ends when the user lets go of the bar (or a wheel step is done): only then is the map
        // rebuilt. The bar handles the event first, so the end comes after the last move.
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonRelease || type == QEvent::KeyRelease || type == QEvent::Wheel)
            QTimer::singleShot(0, this, [this, bar] { OnScrollEnd(bar); });
        return false;
    }
    if (watched == m_parts.areas && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            DeleteSelectedAreas();
            return true;
        }
    }
    return false;
}

void CMapWorkspace::OnCanvasPress(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    m_parts.canvas->setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && m_spaceHeld)) {
        m_panning = true;
        m_panLast = at;
        UpdateCursor(at);
        return;
    }
    if (event->button() == Qt::LeftButton && !m_panning)
        m_tool.Press(m_view, ToViewPoint(at));
}

void CMapWorkspace::OnCanvasMove(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    m_pointer = at;
    if (m_panning) {
        const QPoint delta = at - m_panLast;
        m_panLast = at;
        Pan(delta);
    } else if (m_tool.CurrentMode() != CAreaTool::Mode::Idle) {
        const CAreaTool::Preview preview = m_tool.Move(m_view, ToViewPoint(at));
        if (preview.frame) {
            m_parts.canvas->SetDragFrame(ToQRect(*preview.frame));
        } else if (preview.entry) {
            // The drag shows its result as it goes; the list and the settings hear of it on release.
            m_view.PatchAreas().SetText(*preview.entry, preview.text);
            SetListText(static_cast<int>(*preview.entry), preview.text);
            RedrawAreas();
        }
    } else {
        UpdateCursor(at);
    }
    UpdateReadout(at);
}

void CMapWorkspace::OnCanvasRelease(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_panning && (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton)) {
        m_panning = false;
        UpdateCursor(at);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const CAreaTool::Outcome outcome = m_tool.Release(m_view, ToViewPoint(at));
    m_parts.canvas->SetDragFrame(std::nullopt);
    switch (outcome.kind) {
    case CAreaTool::Outcome::Kind::None:
        break;
    case CAreaTool::Outcome::Kind::Click: {
        // Marks lie on top of the areas, so a click on one means its object.
        const bool toggle = (event->modifiers() & Qt::ControlModifier) != 0;
        if (const auto object =
                HitTestObjectMarks(m_view, m_objects, ToViewPoint(at), MarkRadius(m_view.Zoom()) + 1))
            emit ObjectClicked(*object, toggle);
        else
            ClickArea(outcome.entry, toggle);
        break;
    }
    // The area just drawn, moved or resized becomes the selection, as in any editor: Delete or a
    // double-click in the list then acts on it.
    case CAreaTool::Outcome::Kind::Add: {
        const int row = m_parts.areas->count();
        AddArea(outcome.after);
        SelectAreaEntries({row});
        break;
    }
    case CAreaTool::Outcome::Kind::Change: {
        const WorldRect a = ParseWorldRect(outcome.before), b = ParseWorldRect(outcome.after);
        const bool moved = a.Width() == b.Width() && a.Height() == b.Height();
        const int row = static_cast<int>(*outcome.entry);
        m_parts.undo->push(new CChangeAreaCommand(*this, row, outcome.before, outcome.after,
                                                  moved ? tr("Move area") : tr("Resize area")));
        SelectAreaEntries({row});
        break;
    }
    }
    UpdateCursor(at);
}

void CMapWorkspace::CancelDrag() {
    if (const auto restore = m_tool.Cancel()) {
        m_view.PatchAreas().SetText(restore->first, restore->second);
        SetListText(static_cast<int>(restore->first), restore->second);
    }
    m_parts.canvas->SetDragFrame(std::nullopt);
    RedrawAreas();
}

void CMapWorkspace::OnCanvasKey(QKeyEvent* event, bool& handled) {
    handled = true;
    const QPoint middle(m_view.PictureWidth() / 2, m_view.PictureHeight() / 2);
    const int step = (event->modifiers() & Qt::ShiftModifier) ? m_view.PictureWidth() / 2 : kArrowStep;
    switch (event->key()) {
    case Qt::Key_Space:
        if (!event->isAutoRepeat()) {
            m_spaceHeld = true;
            if (m_pointer)
                UpdateCursor(*m_pointer);
        }
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomAround(1, middle);
        break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        ZoomAround(-1, middle);
        break;
    case Qt::Key_Left:
        Pan({step, 0});
        break;
    case Qt::Key_Right:
        Pan({-step, 0});
        break;
    case Qt::Key_Up:
        Pan({0, step});
        break;
    case Qt::Key_Down:
        Pan({0, -step});
        break;
    case Qt::Key_Home:
        ShowWholeWorld();
        break;
    case Qt::Key_Delete:
        DeleteSelectedAreas();
        break;
    case Qt::Key_Escape:
        // Escape ends a drag; without one it closes the window as it always did.
        if (m_tool.CurrentMode() == CAreaTool::Mode::Idle && !m_panning) {
            handled = false;
            break;
        }
        m_panning = false;
        CancelDrag();
        break;
    default:
        handled = false;
        break;
    }
}

void CMapWorkspace::OnContextMenu(QContextMenuEvent* event) {
    const QPoint at = event->pos();
    QMenu menu(m_parts.canvas);
    const std::optional<AreaHit> hit = HitTestPatchAreas(m_view, ToViewPoint(at), kEdgeTolerance);
    if (hit) {
        const int row = static_cast<int>(hit->entry);
        if (!m_parts.areas->item(row)->isSelected())
            ClickArea(hit->entry, false);
        menu.addAction(tr("&Edit Values..."), this, [this, row] { EditArea(row); });
        QAction* remove = menu.addAction(tr("&Delete Area"), this, [this] { DeleteSelectedAreas(); });
        remove->setShortcut(QKeySequence::Delete);
        menu.addSeparator();
    }
    menu.addAction(tr("Zoom &In Here"), this, [this, at] { ZoomAround(1, at); })
        ->setEnabled(ZoomInLevel(m_view.Zoom()) != m_view.Zoom());
    menu.addAction(tr("Zoom &Out"), this, [this, at] { ZoomAround(-1, at); })
        ->setEnabled(ZoomOutLevel(m_view.Zoom()) != m_view.Zoom());
    menu.addAction(tr("&Whole World"), this, &CMapWorkspace::ShowWholeWorld)->setShortcut(Qt::Key_Home);
    menu.addSeparator();
    menu.addAction(tr("&Client Directory..."), this, &CMapWorkspace::ChooseClientDirectoryRequested);
    menu.exec(event->globalPos());
}

// ---------------------------------------------------------------- patch areas

void CMapWorkspace::ClickArea(std::optional<std::size_t> entry, bool toggle) {
    QListWidget* list = m_parts.areas;
    if (!entry) {
        if (!toggle)
            list->clearSelection();
        return;
    }
    QListWidgetItem* item = list->item(static_cast<int>(*entry));
    if (!item)
        return;
    if (toggle) {
        item->setSelected(!item->isSelected());
    } else {
        const QSignalBlocker quiet(list);
        list->clearSelection();
        list->setCurrentItem(item, QItemSelectionModel::Select);
        item->setSelected(true);
    }
    list->scrollToItem(item);
    OnListSelectionChanged();
}

void CMapWorkspace::OnListSelectionChanged() {
    CPatchAreaList& areas = m_view.PatchAreas();
    QListWidget* list = m_parts.areas;
    for (std::size_t i = 0; i < areas.Count(); ++i) {
        const QListWidgetItem* item = list->item(static_cast<int>(i));
        areas.SetSelected(i, item && item->isSelected());
    }
    RedrawAreas();
}

void CMapWorkspace::SetListText(int row, const std::string& text) {
    if (QListWidgetItem* item = m_parts.areas->item(row)) {
        item->setText(QString::fromStdString(text));
        item->setToolTip(AreaToolTip(text));
    }
}

void CMapWorkspace::InsertAreaEntry(int index, const std::string& text) {
    QListWidget* list = m_parts.areas;
    index = std::clamp(index, 0, list->count());
    auto* item = new QListWidgetItem(QString::fromStdString(text));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    item->setToolTip(AreaToolTip(text));
    {
        const QSignalBlocker quiet(list);
        list->insertItem(index, item);
    }
    m_view.PatchAreas().Insert(static_cast<std::size_t>(index), text);
    OnListSelectionChanged();
    emit AreasChanged();
}

void CMapWorkspace::SetAreaEntry(int index, const std::string& text) {
    if (index < 0 || index >= m_parts.areas->count())
        return;
    SetListText(index, text);
    m_view.PatchAreas().SetText(static_cast<std::size_t>(index), text);
    RedrawAreas();
    emit AreasChanged();
}

void CMapWorkspace::RemoveAreaEntry(int index) {
    QListWidget* list = m_parts.areas;
    if (index < 0 || index >= list->count())
        return;
    {
        const QSignalBlocker quiet(list);
        delete list->takeItem(index);
    }
    m_view.PatchAreas().RemoveAt(static_cast<std::size_t>(index));
    OnListSelectionChanged();
    emit AreasChanged();
}

void CMapWorkspace::SelectAreaEntries(const std::vector<int>& rows) {
    QListWidget* list = m_parts.areas;
    {
        const QSignalBlocker quiet(list);
        list->clearSelection();
        for (int row : rows)
            if (QListWidgetItem* item = list->item(row))
                item->setSelected(true);
    }
    OnListSelectionChanged();
}

void CMapWorkspace::AddArea(const std::string& text) {
    m_parts.undo->push(new CAddAreaCommand(*this, m_parts.areas->count(), text));
}

bool CMapWorkspace::DeleteSelectedAreas() {
    std::vector<std::pair<int, std::string>> removed;
    QListWidget* list = m_parts.areas;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            removed.emplace_back(row, m_view.PatchAreas()[static_cast<std::size_t>(row)].text);
    if (removed.empty()) {
        RedrawAreas();
        return false;
    }
    m_parts.undo->push(new CRemoveAreasCommand(*this, std::move(removed)));
    return true;
}

void CMapWorkspace::EditArea(int row) {
    QListWidget* list = m_parts.areas;
    if (QListWidgetItem* item = list->item(row)) {
        list->setCurrentItem(item);
        list->scrollToItem(item);
        list->editItem(item);
    }
}

bool CMapWorkspace::ApplyTypedArea(int row, const QString& text) {
    if (row < 0 || row >= m_parts.areas->count())
        return false;
    const std::string before = m_view.PatchAreas()[static_cast<std::size_t>(row)].text;
    const std::optional<WorldRect> typed = ParseTypedArea(text.toStdString());
    const std::optional<WorldRect> fitted = typed ? FitToWorld(*typed) : std::nullopt;
    if (!fitted) {
        if (m_parts.complain)
            m_parts.complain(typed
                                 ? "The area " + text.toStdString() +
                                       " has no width or no height inside the world (0 to 6144 across, 0 to "
                                       "4096 down); the entry keeps " +
                                       before
                                 : "Type the area's four values as left, top, right, bottom in world tiles "
                                   "(for example 1200, 800, 2600, 1700); the entry keeps " +
                                       before);
        SetListText(row, before);
        return false;
    }
    const std::string after = FormatWorldRect(*fitted);
    SetListText(row, after);
    if (after != before)
        m_parts.undo->push(new CChangeAreaCommand(*this, row, before, after, tr("Edit area")));
    return true;
}

std::vector<std::string> CMapWorkspace::AreaTexts() const {
    std::vector<std::string> texts;
    for (const PatchAreaEntry& entry : m_view.PatchAreas().Entries())
        texts.push_back(entry.text);
    return texts;
}

void CMapWorkspace::LoadAreas(const std::vector<std::string>& texts) {
    QListWidget* list = m_parts.areas;
    {
        const QSignalBlocker quiet(list);
        list->clear();
    }
    m_view.PatchAreas().Clear();
    for (const std::string& text : texts) {
        auto* item = new QListWidgetItem(QString::fromStdString(text), list);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setToolTip(AreaToolTip(text));
        m_view.PatchAreas().Add(text);
    }
    RedrawAreas();
}

} // namespace frostmark

#pragma once
// The map picture: the radar terrain, the patch areas over it (translucent, with an outline; the
// selected ones with handles on their edges and corners), the marks of the objects to freeze, the
// highlight of the chosen objects and the frame of an area being drawn. It only draws: the map
// workspace watches its input events and tells it what to show.

#include "mapview/RadarImage.h"

#include <QImage>
#include <QRect>
#include <QWidget>

#include <optional>
#include <vector>

namespace frostmark {

class CMapCanvas : public QWidget {
    Q_OBJECT
public:
    struct Area {
        QRect rect; // picture coordinates, right and bottom edges excluded
        bool selected = false;
    };

    // Colours of the overlay. The areas keep the classic greens, translucent; the marks are magenta,
    // which neither terrain nor areas use, edged in black so they read on water and on snow alike.
    static QColor AreaFill(bool selected);
    static QColor AreaOutline(bool selected);
    static QColor MarkColour();
    static QColor MarkEdgeColour();

    explicit CMapCanvas(QWidget* parent = nullptr);

    // The terrain to show, one pixel per sample, scaled onto the picture when painted. The samples must
    // stay unchanged until the next call; nullptr shows the empty picture with its text.
    void SetTerrain(const CRadarSamples* samples);
    bool HasTerrain() const { return m_samples != nullptr; }
    // The terrain as painted, picture-sized (a null image without terrain).
    QImage TerrainImage() const;
    // The text shown while there is no terrain (why the map is missing).
    void SetEmptyText(const QString& text);

    void SetAreas(std::vector<Area> areas);
    const std::vector<Area>& Areas() const { return m_areas; }
    // The marks layer: a picture-sized image, transparent where there is no mark.
    void SetMarks(QImage marks);
    const QImage& Marks() const { return m_marks; }
    // Rings around these picture points (the objects chosen in the Patch Objects list).
    void SetHighlights(std::vector<QPoint> points);
    const std::vector<QPoint>& Highlights() const { return m_highlights; }
    // The frame of an area being drawn; nullopt hides it.
    void SetDragFrame(std::optional<QRect> frame);
    std::optional<QRect> DragFrame() const { return m_frame; }

    // The picture as painted, for tests and screenshots.
    QImage Render() const;
    // Half the side of the square handles on a selected area's corners and edges.
    static constexpr int kHandleRadius = 3;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Paint(QPainter& p) const;

    const CRadarSamples* m_samples = nullptr;
    QString m_emptyText;
    std::vector<Area> m_areas;
    QImage m_marks;
    std::vector<QPoint> m_highlights;
    std::optional<QRect> m_frame;
};

} // namespace frostmark

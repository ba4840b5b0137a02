// The radar builder and the patch area overlay: a map view of a size, zoom level and centre taken from
// the input builds its image from map bytes and radar colours taken from the input, with patch area
// entries typed as text (any text: the settings hold whatever was typed) and one dragged with the
// pointer. Every overlay fill lies inside the picture, a dragged area reads back as it was written, the
// picture renders at its size, and the marks of objects taken from the map bytes paint alike from the list
// and from its index.
//
// Input: zoom, centre x and y (two bytes each), width, height, drag start and end (two bytes each), then
// patch area lines up to a line "#MAP", then the bytes of the map (repeated over the whole map), the
// first of which are the radar colours too.

#include "FuzzSupport.h"

#include "mapview/MapRender.h"
#include "mapview/MapView.h"
#include "mapview/ObjectMarks.h"
#include "mapview/PatchAreas.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

using namespace frostmark;
using namespace frostmark::fuzz;

namespace {

// The input's bytes over and over for the whole map file, nothing beyond it.
class CRepeatedMap final : public CMapSource {
public:
    explicit CRepeatedMap(std::string_view bytes) : m_bytes(bytes) {}
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
        if (offset >= kMapFileBytes)
            return 0;
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), kMapFileBytes - offset));
        if (m_bytes.empty())
            return 0;
        for (std::size_t i = 0; i < count; ++i)
            buffer[i] = static_cast<std::uint8_t>(m_bytes[(offset + i) % m_bytes.size()]);
        return count;
    }

private:
    std::string_view m_bytes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CInput input(data, size);
    const int zoom = kZoomLevels[input.Byte() % kZoomLevels.size()];
    const int centreX = input.Word();
    const int centreY = input.Word();
    // Pictures up to 128 pixels a side keep a build at the farthest level to a few megabytes read.
    const int width = 1 + input.Byte() % 128;
    const int height = 1 + input.Byte() % 128;
    const int startX = static_cast<std::int16_t>(input.Word()),
              startY = static_cast<std::int16_t>(input.Word());
    const int endX = static_cast<std::int16_t>(input.Word()), endY = static_cast<std::int16_t>(input.Word());
    std::string_view parts[2];
    SplitParts(input.Rest(), "\n#MAP\n", parts, 2);

    CMapView view;
    PictureGeometry picture;
    picture.frame = ViewRect{10, 20, 10 + width, 20 + height};
    picture.clientOrigin = ViewPoint{10, 20};
    picture.clientWidth = width;
    picture.clientHeight = height;
    view.SetPictureGeometry(picture);
    FUZZ_CHECK(view.SetZoom(zoom));
    view.SetCentre(centreX, centreY);
    const std::string_view mapBytes = parts[1];
    view.Colors().LoadFromBytes(std::span(reinterpret_cast<const std::uint8_t*>(mapBytes.data()),
                                          std::min(mapBytes.size(), kRadarColorFileBytes)));
    CRepeatedMap source(mapBytes);
    view.BuildRadarImage(source);
    FUZZ_CHECK(view.HasImage());
    FUZZ_CHECK(view.Image().Width() == width && view.Image().Height() == height);

    std::string_view areas = parts[0];
    while (!areas.empty() && view.PatchAreas().Count() < 32) {
        const std::size_t end = areas.find('\n');
        view.PatchAreas().Add(std::string(areas.substr(0, end)));
        if (end == std::string_view::npos)
            break;
        areas.remove_prefix(end + 1);
    }
    view.OnButtonDown(startX, startY);
    view.OnMouseMove(endX, endY);
    const DragRelease release = view.OnButtonUp(endX, endY);
    if (release.addedEntry) {
        const std::string& text = view.PatchAreas()[*release.addedEntry].text;
        const std::array<long, 4> values = ParsePatchArea(text);
        FUZZ_CHECK(FormatPatchArea(values[0], values[1], values[2], values[3]) == text);
        FUZZ_CHECK(values[0] < values[2] && values[1] < values[3]);
    }
    for (std::size_t i = 0; i < view.PatchAreas().Count(); i += 2)
        view.PatchAreas().SetSelected(i, true);
    for (const OverlayFill& fill : view.DrawPatchAreas()) {
        FUZZ_CHECK(fill.entry < view.PatchAreas().Count());
        FUZZ_CHECK(fill.rect.left >= picture.frame.left && fill.rect.right <= picture.frame.right);
        FUZZ_CHECK(fill.rect.top >= picture.frame.top && fill.rect.bottom <= picture.frame.bottom);
        FUZZ_CHECK(fill.rect.Width() > 0 && fill.rect.Height() > 0);
    }
    const std::vector<WorldPoint> points = {{centreX, centreY}, {0, 0}, {6143, 4095}, {-5, 70000}};
    std::size_t shown = 0;
    const RgbImage image = RenderMapView(view, points, MakeColor(255, 0, 255), 1 + width % 5, &shown);
    FUZZ_CHECK(image.width == width && image.height == height);
    FUZZ_CHECK(image.rgb.size() == std::size_t(width) * std::size_t(height) * 3);
    FUZZ_CHECK(shown <= points.size());

    // Objects to freeze, from the map bytes (a few off the map): the index of the list paints exactly
    // what the list paints, though it meets them in another order.
    std::vector<MapObject> objects;
    const auto word = [&mapBytes](std::size_t at) {
        return static_cast<unsigned>(static_cast<std::uint8_t>(mapBytes[at])) |
               static_cast<unsigned>(static_cast<std::uint8_t>(mapBytes[at + 1])) << 8;
    };
    for (std::size_t at = 0; at + 3 < mapBytes.size() && objects.size() < 4096; at += 4)
        objects.push_back(
            {static_cast<std::uint16_t>(word(at) % 6400), static_cast<std::uint16_t>(word(at + 2) % 4300)});
    const MarkLayer listed = PaintObjectMarks(view, objects, 0xFFFF00FF, 0xFF000000);
    FUZZ_CHECK(listed.width == width && listed.height == height);
    FUZZ_CHECK(listed.objectsShown <= objects.size());
    const std::vector<MapObject> reversed(objects.rbegin(), objects.rend());
    const MarkLayer indexed = PaintObjectMarks(view, CObjectMarkIndex(reversed), 0xFFFF00FF, 0xFF000000);
    FUZZ_CHECK(indexed.objectsShown == listed.objectsShown);
    FUZZ_CHECK(indexed.pixels == listed.pixels);
    return 0;
}

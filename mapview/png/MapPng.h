#pragma once

// PNG output of the map, for hosts without a screen: `frostmark-cli map` writes what the dialog's map
// would show.
//
//   MapRenderOptions options;            // mapview/MapRender.h
//   options.zoom = 4;                    // -16, -8, -4, -2, -1, 1, 2, 4, 8, 16 or 32
//   options.centreX = 1500; options.centreY = 1200;        // clamped like the dialog's centre
//   options.patchAreas = {{"1400, 1100, 1600, 1300", false}}; // drawn green, lighter when selected
//   options.points = {{1450, 1180}};     // e.g. the objects an analysis would freeze, as dots
//   MapRenderResult result = WriteMapPng(clientDirectory, options, "map.png");
//   if (!result.ok) report result.error;  if (!result.colorsLoaded) warn that radarcol.mul is missing
//
// The client directory is found with ResolveClientDirectory (mapview/ClientDirectory.h).

#include "mapview/MapRender.h"

#include <string>

namespace frostmark {

// Writes the image as an RGB PNG. The file is written under a temporary name beside `path` and renamed
// into place when complete, so a failure never leaves a truncated picture. False with a message.
bool WritePng(const std::string& path, const RgbImage& image, std::string& error);

// Renders the map (RenderMap) and writes it to `pngPath`. Refuses to write over the client's own
// map0.mul or radarcol.mul.
MapRenderResult WriteMapPng(const std::string& clientDirectory, const MapRenderOptions& options,
                            const std::string& pngPath);

} // namespace frostmark

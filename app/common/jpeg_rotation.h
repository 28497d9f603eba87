#pragma once
#include <QString>

namespace vexo {

// Turns a JPEG photo by a quarter without recompressing it; its markers (the
// EXIF block among them) are kept. A photo shown turned by its EXIF
// Orientation tag is turned from how it is shown: its pixels are written
// upright and the tag set to 1. The new picture is written under a
// temporary name beside the source and then takes the source's place in one
// step, so on any failure the source stays as it was. error receives the
// reason.
bool RotateJpegFile(const QString& path, bool clockwise, QString* error);

// The same, telling the user when it fails.
bool RotateJpeg(const QString& path, bool clockwise);

}  // namespace vexo

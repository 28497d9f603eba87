#pragma once
#include <QString>

namespace vexo {

enum class TRotation {
  Turned,
  // The picture can only be turned without loss by its Orientation tag, which
  // the player is set to ignore: turning it would change nothing on screen.
  NeedsOrientation,
  Failed,
};

// Turns a JPEG photo by a quarter without losing a single pixel; its markers
// (the EXIF block among them) are kept. A photo shown turned by its EXIF
// Orientation tag is turned from how it is shown. Where the blocks the
// picture is coded in fit the turn, the coded picture itself is turned and
// written upright (the tag set to 1); where its size is not a whole number of
// blocks, a turn of the coded picture would have to cut the partial edge
// blocks off, so only the Orientation tag is changed, which every photo
// viewer (this player among them) follows.
//
// A PNG or lossless WebP photo is decoded, turned and encoded again without
// loss, its metadata kept, and only handed on once it decodes to exactly the
// turned pixels. Other photos (lossy WebP, HEIC, AVIF) are not turned: that
// would lose quality.
//
// The new file is written under a hidden temporary name beside the source
// (listed in a note, so that a leftover of a killed run is found again), gets
// the source's permissions, owner and extended attributes, and then takes the
// source's place in one step: on any failure the source stays as it was.
// Other hard links to the photo keep the picture as it was, since replacing
// the file in one step gives it a new identity. error receives the reason.
TRotation RotateJpegPicture(const QString& path, bool clockwise, QString* error);
bool RotateJpegFile(const QString& path, bool clockwise, QString* error);

// The same, telling the user when it fails.
bool RotateJpeg(const QString& path, bool clockwise);

// The hidden name a turn of `path` is written under before it replaces it.
QString RotationTemporaryName(const QString& path);

// Removes the temporaries that a run which ended in the middle of a turn
// left behind (the note names them); run once at start.
void RemoveRotationLeftovers();

}  // namespace vexo

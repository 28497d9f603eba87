#pragma once
// Turning a photo stored without loss (PNG, lossless WebP) by re-encoding it
// without loss: every pixel keeps its value, only its place changes. Photos
// compressed with loss (lossy WebP, HEIC, AVIF) are never re-encoded.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/video/picture_turn.h"

namespace vexo {

enum TPhotoTurnKind {
  tkNotAPhoto,
  tkJpeg,         // turned by moving its coded blocks
  tkLossless,     // PNG or lossless WebP: re-encoded without loss
  tkLossyNoTurn,  // lossy WebP: would lose quality
  tkHeifNoTurn,   // HEIC, HEIF and AVIF: would lose quality
};

// What kind of photo the file's first bytes show (its extension does not
// count), as far as turning it goes.
TPhotoTurnKind PhotoTurnKindOfData(const uint8_t* data, size_t size);
TPhotoTurnKind PhotoTurnKind(const std::string& path);

// The PNG or lossless WebP file `file` turned by `turn`, in the same format
// and pixel layout, its metadata chunks kept (an EXIF block's Orientation set
// to 1 when `upright` says the pixels now stand as they are to be shown).
// The result is decoded again and compared with the turned pixels before it
// is handed out. False with `error` set otherwise; the media libraries must
// be loaded.
bool TurnLosslessPhoto(const std::vector<uint8_t>& file, TPictureTurn turn, bool upright,
                       std::vector<uint8_t>& result, std::string& error);

}  // namespace vexo

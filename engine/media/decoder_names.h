#pragma once
// Decoder special cases are keyed by the decoder names of an older FFmpeg
// generation. This is the one place that knows which decoders of today's
// library carry each of those names.
#include <string_view>

namespace vexo {

// True when `decoder` (a name from avcodec_find_decoder) is the decoder known
// as `legacyName`, e.g. "mpeg4aac" matches today's "aac".
bool DecoderIs(std::string_view decoder, std::string_view legacyName);
// True when `decoder` belongs to the family whose legacy names start with
// `legacyPrefix` ("pcm", "adpcm", "libamr").
bool DecoderStartsWith(std::string_view decoder, std::string_view legacyPrefix);

}  // namespace vexo

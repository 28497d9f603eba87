#include "engine/media/decoder_names.h"

#include <array>

namespace vexo {

namespace {

struct TNameMap {
  std::string_view Legacy;
  std::array<std::string_view, 4> Today;  // unused places stay empty
};

// Legacy names that differ today; every other name stands for itself.
constexpr TNameMap kExactNames[] = {
    {"mpeg4aac", {"aac", "aac_fixed", "libfdk_aac"}},
    {"aac", {"aac", "aac_fixed", "libfdk_aac"}},
    {"liba52", {"ac3", "ac3_fixed", "eac3"}},
};

// Legacy name prefixes that differ today.
constexpr TNameMap kPrefixes[] = {
    {"libamr", {"amrnb", "amrwb", "libopencore_amrnb", "libopencore_amrwb"}},
};

}  // namespace

bool DecoderIs(std::string_view decoder, std::string_view legacyName) {
  for (const TNameMap& map : kExactNames)
    if (map.Legacy == legacyName) {
      for (std::string_view name : map.Today)
        if (!name.empty() && decoder == name) return true;
      return false;
    }
  return decoder == legacyName;
}

bool DecoderStartsWith(std::string_view decoder, std::string_view legacyPrefix) {
  for (const TNameMap& map : kPrefixes)
    if (map.Legacy == legacyPrefix) {
      for (std::string_view name : map.Today)
        if (!name.empty() && decoder.starts_with(name)) return true;
      return false;
    }
  return decoder.starts_with(legacyPrefix);
}

}  // namespace vexo

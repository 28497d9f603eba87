#include "platform/sound_outputs.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdlib>

namespace vexo {

const char* const kDefaultSoundOutput = "default";

namespace {

std::string TakeHint(const void* hint, const char* id) {
  char* value = snd_device_name_get_hint(hint, id);
  std::string text = value ? value : "";
  std::free(value);
  return text;
}

}  // namespace

std::vector<TSoundOutput> ListSoundOutputs() {
  std::vector<TSoundOutput> outputs{{kDefaultSoundOutput, {}}};
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) != 0 || !hints) return outputs;
  for (void** hint = hints; *hint; ++hint) {
    const std::string name = TakeHint(*hint, "NAME");
    const std::string direction = TakeHint(*hint, "IOID");  // empty: both ways
    // "null" swallows the sound; a choice of it would only puzzle the user.
    if (name.empty() || name == "null" || direction == "Input") continue;
    const bool known = std::any_of(outputs.begin(), outputs.end(),
                                   [&name](const TSoundOutput& o) { return o.Name == name; });
    if (known) continue;
    std::string description = TakeHint(*hint, "DESC");
    std::replace(description.begin(), description.end(), '\n', ' ');
    outputs.push_back({name, description});
  }
  snd_device_name_free_hint(hints);
  return outputs;
}

}  // namespace vexo

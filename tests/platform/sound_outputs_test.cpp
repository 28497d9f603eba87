// The sound outputs offered to the user, and the choice reaching the outputs
// the sound system makes.
#include <gtest/gtest.h>

#include <set>

#include "platform/alsa_sound_device.h"
#include "platform/platform_sound_system.h"
#include "platform/sound_outputs.h"

namespace vexo {
namespace {

TEST(SoundOutputs, TheServersDefaultComesFirstAndEveryDeviceOnce) {
  const std::vector<TSoundOutput> outputs = ListSoundOutputs();
  ASSERT_FALSE(outputs.empty());
  EXPECT_EQ(outputs[0].Name, "default");
  std::set<std::string> names;
  for (const TSoundOutput& output : outputs) {
    EXPECT_FALSE(output.Name.empty());
    EXPECT_NE(output.Name, "null");
    EXPECT_EQ(output.Description.find('\n'), std::string::npos) << output.Name;
    EXPECT_TRUE(names.insert(output.Name).second) << output.Name << " twice";
  }
}

TEST(SoundOutputs, TheChoiceNamesTheFallBacksDevice) {
  TPlatformSoundSystem sound({}, "default");
  const auto deviceName = [&sound](uint32_t id) {
    auto device = sound.CreateFallback(id);
    auto* alsa = dynamic_cast<TAlsaSoundDevice*>(device.get());
    return alsa ? alsa->Name() : std::string("?");
  };
  EXPECT_EQ(deviceName(0), "default");
  sound.SelectOutput("plughw:CARD=Test,DEV=3");
  EXPECT_EQ(deviceName(0), "plughw:CARD=Test,DEV=3");
  EXPECT_EQ(deviceName(2), "hw:2");  // a device number still wins
  for (const char* back : {"default", ""}) {
    sound.SelectOutput("hw:1");
    sound.SelectOutput(back);
    EXPECT_EQ(deviceName(0), "default") << '"' << back << '"';
  }
}

}  // namespace
}  // namespace vexo

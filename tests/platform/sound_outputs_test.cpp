// The sound outputs offered to the user, and the choice reaching the outputs
// the sound system makes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <vector>

#include "engine/playback/sound_device.h"
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

// The fall-back device has no volume of its own for this program: what it is
// given is scaled by the heard level's cube, as the sound server's scale goes,
// and nothing at all is heard while muted.
TEST(SoundOutputs, TheFallBackScalesWhatItPlaysByTheVolume) {
  const std::string path = ::testing::TempDir() + "vexo-fall-back-volume.raw";
  const struct {
    TSoundVolume Volume;
    int16_t Heard;
  } cases[] = {{{1, false}, 8000}, {{0.5, false}, 1000}, {{0.5, true}, 0}, {{0, false}, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Volume.Level);
    std::remove(path.c_str());
    SetSoundVolume(c.Volume);
    {
      // ALSA's file plug-in keeps what it is given.
      TAlsaSoundDevice device("file:FILE=" + path + ",FORMAT=raw");
      ASSERT_EQ(device.Open(44100, 2, 17640), 0u);
      const std::vector<int16_t> tone(4410 * 2, 8000);
      device.Write(reinterpret_cast<const uint8_t*>(tone.data()), uint32_t(tone.size() * 2));
      device.Close();
    }
    std::ifstream written(path, std::ios::binary);
    std::vector<int16_t> samples(4410 * 2);
    written.read(reinterpret_cast<char*>(samples.data()), std::streamsize(samples.size() * 2));
    ASSERT_EQ(written.gcount(), std::streamsize(samples.size() * 2));
    EXPECT_EQ(samples.front(), c.Heard);
    EXPECT_EQ(samples.back(), c.Heard);
  }
  SetSoundVolume({});
}

}  // namespace
}  // namespace vexo

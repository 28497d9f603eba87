#include "engine/media/av_types.h"

#include <gtest/gtest.h>

namespace vexo {
namespace {

TEST(FourCC, FirstCharacterIsTheLowestByte) {
  EXPECT_EQ(FCC_YV12, 0x32315659u);  // '2' '1' 'V' 'Y' from the top
  EXPECT_EQ(FourCCText(FCC_ENC), "ENC ");
}

TEST(ParseFourCCList, SeparatorsAndShortTails) {
  struct Case {
    const char* text;
    TFccArray expected;
  } cases[] = {
      {"UYVY, YUY2", {FCC_UYVY, FCC_YUY2}},
      {"YV12;UYVY", {FCC_YV12, FCC_UYVY}},
      {"YUV", {}},
      {"", {}},
      {"YV12, UYV", {FCC_YV12}},
      // Separators inside a group do not break it: the characters are collected four at a time.
      {"YV 12,UY;VY", {FCC_YV12, FCC_UYVY}},
      {"YV12 UYVY YUY2 I420 IYUV ARGB RGB3 GRAY YV12 UYVY YUY2 I420",
       {FCC_YV12, FCC_UYVY, FCC_YUY2, FCC_I420, FCC_IYUV, FCC_ARGB, FCC_RGB3, FCC_GRAY, FCC_YV12,
        FCC_UYVY, FCC_YUY2, FCC_I420}},
  };
  for (const Case& c : cases) {
    TFccArray list = {FCC_GRAY};  // whatever was there before is replaced
    ParseFourCCList(list, c.text);
    EXPECT_EQ(list, c.expected) << '"' << c.text << '"';
  }
}

TEST(SizePresets, RoundUpWidth) {
  struct Case {
    int in, out;
  } cases[] = {{1, 320},     {320, 320},   {321, 640},  {641, 800},
               {1025, 1280}, {1600, 1600}, {1700, 1700}};
  for (const Case& c : cases) {
    int w = c.in;
    RoundUpWidth(w);
    EXPECT_EQ(w, c.out) << c.in;
  }
}

TEST(SizePresets, CapAndRaise) {
  struct Case {
    bool raise;
    uint8_t code;
    int w, h, outW, outH;
  } cases[] = {
      {false, spNone, 1920, 1080, 1920, 1080}, {false, 9, 1920, 1080, 1920, 1080},
      {true, 9, 100, 100, 100, 100},           {false, spScreen, 1920, 1080, 1280, 1024},
      {false, sp320x240, 400, 200, 320, 200},  {true, sp640x480, 320, 240, 640, 480},
      {true, sp800x600, 1000, 500, 1000, 600}, {false, sp1024x768, 2000, 700, 1024, 700},
  };
  for (const Case& c : cases) {
    int w = c.w, h = c.h;
    (c.raise ? RaiseToPreset : CapToPreset)(c.code, 1280, 1024, w, h);
    EXPECT_EQ(w, c.outW) << int(c.code) << (c.raise ? " raise" : " cap");
    EXPECT_EQ(h, c.outH) << int(c.code) << (c.raise ? " raise" : " cap");
  }
}

}  // namespace
}  // namespace vexo

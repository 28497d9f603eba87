#include "engine/media/av_types.h"

#include <algorithm>

namespace vexo {

TEncodeParams EncodeParams;
TAVParams AVParams = DefaultAVParams;

std::string FourCCText(TFourCC code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[i] = char((code >> (8 * i)) & 0xFF);
  return text;
}

void ParseFourCCList(TFccArray& list, std::string_view text) {
  list.clear();
  char group[4];
  int filled = 0;
  for (char c : text) {
    if (c == ',' || c == ';' || c == ' ') continue;
    group[filled++] = c;
    if (filled == 4) {
      list.push_back(uint32_t(uint8_t(group[0])) | uint32_t(uint8_t(group[1])) << 8 |
                     uint32_t(uint8_t(group[2])) << 16 | uint32_t(uint8_t(group[3])) << 24);
      filled = 0;
    }
  }
}

namespace {

bool PresetSize(uint8_t code, int screenW, int screenH, int& w, int& h) {
  switch (code) {
    case spScreen:
      w = screenW, h = screenH;
      return true;
    case sp320x240:
      w = 320, h = 240;
      return true;
    case sp640x480:
      w = 640, h = 480;
      return true;
    case sp800x600:
      w = 800, h = 600;
      return true;
    case sp1024x768:
      w = 1024, h = 768;
      return true;
    default:
      return false;
  }
}

}  // namespace

void CapToPreset(uint8_t code, int screenW, int screenH, int& w, int& h) {
  int pw, ph;
  if (!PresetSize(code, screenW, screenH, pw, ph)) return;
  w = std::min(w, pw);
  h = std::min(h, ph);
}

void RaiseToPreset(uint8_t code, int screenW, int screenH, int& w, int& h) {
  int pw, ph;
  if (!PresetSize(code, screenW, screenH, pw, ph)) return;
  w = std::max(w, pw);
  h = std::max(h, ph);
}

void RoundUpWidth(int& w) {
  for (int step : {320, 640, 800, 1024, 1280, 1600}) {
    if (step >= w) {
      w = step;
      return;
    }
  }
}

}  // namespace vexo

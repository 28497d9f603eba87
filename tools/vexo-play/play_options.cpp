#include "tools/vexo-play/play_options.h"

#include <cstdlib>
#include <cstring>

namespace vexo::play {

const char* const kUsage =
    "usage: vexo-play [--mode N] [--play] [--seconds S] "
    "[--seek-frame F] [--stop]\n"
    "                 [--snapshot FILE.jpg] [--grab "
    "FILE.png] [--fullscreen] [--exit-at-end]\n"
    "                 [--resume S]\n"
    "                 FILE...\n"
    "       vexo-play --save-asx OUT.asx ENTRY...\n"
    "       vexo-play --print-asx IN.asx\n";

namespace {

bool ToInt(const char* text, int& value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (!*text || *end) return false;
  value = int(parsed);
  return true;
}

bool ToDouble(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return *text && !*end && value >= 0;
}

}  // namespace

bool ParsePlayOptions(int argc, char** argv, TPlayOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char*& out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    const char* v = nullptr;
    if (arg == "--mode") {
      if (!value(v) || !ToInt(v, options.Mode) || options.Mode < 0 || options.Mode > 4) {
        if (error.empty()) error = "--mode takes 0 to 4";
        return false;
      }
    } else if (arg == "--play") {
      options.Play = true;
    } else if (arg == "--seconds" || arg == "--resume") {
      double seconds = 0;
      if (!value(v) || !ToDouble(v, seconds)) {
        if (error.empty()) error = arg + " takes a number";
        return false;
      }
      (arg == "--seconds" ? options.Seconds : options.Resume) = seconds;
    } else if (arg == "--seek-frame") {
      int frame = 0;
      if (!value(v) || !ToInt(v, frame)) {
        if (error.empty()) error = "--seek-frame takes a frame number";
        return false;
      }
      options.SeekFrame = frame;
    } else if (arg == "--stop") {
      options.Stop = true;
    } else if (arg == "--snapshot") {
      if (!value(v)) return false;
      options.Snapshot = v;
    } else if (arg == "--grab") {
      if (!value(v)) return false;
      options.Grab = v;
    } else if (arg == "--fullscreen") {
      options.FullScreen = true;
    } else if (arg == "--exit-at-end") {
      options.ExitAtEnd = true;
    } else if (arg == "--save-asx" || arg == "--print-asx") {
      if (!value(v)) return false;
      options.Kind = arg == "--save-asx" ? TPlayOptions::kSaveAsx : TPlayOptions::kPrintAsx;
      options.AsxFile = v;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
      error = "unknown option " + arg;
      return false;
    } else {
      if (arg == "--") {
        for (++i; i < argc; ++i) options.Files.push_back(argv[i]);
        break;
      }
      options.Files.push_back(arg);
    }
  }
  if (options.Kind == TPlayOptions::kPlay && options.Files.empty()) {
    error = "no file given";
    return false;
  }
  if (options.Kind == TPlayOptions::kPrintAsx && !options.Files.empty()) {
    error = "--print-asx takes one playlist file";
    return false;
  }
  return true;
}

}  // namespace vexo::play

#include "tools/vexo-play/play_options.h"

#include <cstdlib>
#include <cstring>

namespace vexo::play {

const char* const kUsage =
    "usage: vexo-play [--mode N] [--play] [--seconds S] "
    "[--seek-frame F] [--stop] [--hold S] [--decode-all] [--panel] [--cpu]\n"
    "                 [--snapshot FILE.jpg] [--grab "
    "FILE.png] [--fullscreen] [--exit-at-end]\n"
    "                 [--resume S] [--browser FOLDER] [--skin NAME] FILE...\n"
    "       vexo-play --pldialog [--proceed] [--mode N] [--grab-dialog FILE.png] "
    "FILE-OR-FOLDER...\n"
    "       vexo-play --save-asx OUT.asx ENTRY...\n"
    "       vexo-play --print-asx IN.asx\n"
    "       vexo-play --menus [--grab FILE.png]\n"
    "       vexo-play --options [--page N] [--grab FILE.png]\n"
    "       vexo-play --about [--grab FILE.png]\n"
    "       vexo-play --page FOLDER [--play] [--grab FILE.png]\n"
    "       vexo-play --help\n"
    "Every window mode takes --skin NAME.\n";

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
    if (arg == "--help" || arg == "-h") {
      options.Kind = TPlayOptions::kHelp;
      return true;
    } else if (arg == "--mode") {
      if (!value(v) || !ToInt(v, options.Mode) || options.Mode < 0 || options.Mode > 4) {
        if (error.empty()) error = "--mode takes 0 to 4";
        return false;
      }
    } else if (arg == "--play") {
      options.Play = true;
    } else if (arg == "--seconds" || arg == "--hold" || arg == "--resume") {
      double seconds = 0;
      if (!value(v) || !ToDouble(v, seconds)) {
        if (error.empty()) error = arg + " takes a number";
        return false;
      }
      (arg == "--hold"     ? options.Hold
       : arg == "--resume" ? options.Resume
                           : options.Seconds) = seconds;
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
    } else if (arg == "--grab-dialog") {
      if (!value(v)) return false;
      options.GrabDialog = v;
    } else if (arg == "--skin") {
      if (!value(v)) return false;
      options.Skin = v;
    } else if (arg == "--menus") {
      options.Kind = TPlayOptions::kMenus;
    } else if (arg == "--browser") {
      if (!value(v)) return false;
      options.Browser = v;
    } else if (arg == "--fullscreen") {
      options.FullScreen = true;
    } else if (arg == "--panel") {
      options.Panel = true;
    } else if (arg == "--cpu") {
      options.Cpu = true;
    } else if (arg == "--exit-at-end") {
      options.ExitAtEnd = true;
    } else if (arg == "--decode-all") {
      options.DecodeAll = true;
    } else if (arg == "--pldialog") {
      options.PlDialog = true;
    } else if (arg == "--proceed") {
      options.Proceed = true;
    } else if (arg == "--options" || arg == "--about") {
      options.Kind = arg == "--options" ? TPlayOptions::kOptions : TPlayOptions::kAbout;
    } else if (arg == "--page") {
      if (!value(v)) return false;
      options.PageArg = v;
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
  if (options.Kind == TPlayOptions::kOptions && !options.PageArg.empty()) {
    if (!ToInt(options.PageArg.c_str(), options.OptionsPage) || options.OptionsPage < 0 ||
        options.OptionsPage > 2) {
      error = "--page takes 0 to 2";
      return false;
    }
  } else if (!options.PageArg.empty()) {
    options.Kind = TPlayOptions::kPage;
  }
  if (options.Kind == TPlayOptions::kPlay && options.Files.empty() && !options.Panel &&
      options.Browser.empty()) {
    error = "no file given";
    return false;
  }
  if (options.Kind == TPlayOptions::kMenus && !options.Files.empty()) {
    error = "--menus takes no file";
    return false;
  }
  const bool window =
      options.Kind == TPlayOptions::kOptions || options.Kind == TPlayOptions::kAbout;
  if (window && !options.Files.empty()) {
    error = "--options and --about take no file";
    return false;
  }
  if (options.Kind == TPlayOptions::kPrintAsx && !options.Files.empty()) {
    error = "--print-asx takes one playlist file";
    return false;
  }
  return true;
}

}  // namespace vexo::play

#include "engine/media/media_lib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>

namespace vexo {
namespace ff {
#define VEXO_DEFINE_ENTRY_POINT(name) decltype(&::name) name = nullptr;
VEXO_AVUTIL_ENTRY_POINTS(VEXO_DEFINE_ENTRY_POINT)
VEXO_AVFORMAT_ENTRY_POINTS(VEXO_DEFINE_ENTRY_POINT)
VEXO_AVCODEC_ENTRY_POINTS(VEXO_DEFINE_ENTRY_POINT)
VEXO_SWRESAMPLE_ENTRY_POINTS(VEXO_DEFINE_ENTRY_POINT)
VEXO_SWSCALE_ENTRY_POINTS(VEXO_DEFINE_ENTRY_POINT)
#undef VEXO_DEFINE_ENTRY_POINT
}  // namespace ff

namespace {

struct EntryPoint {
  const char* name;
  void** slot;
};

#define VEXO_ENTRY_POINT_ROW(name) EntryPoint{#name, reinterpret_cast<void**>(&ff::name)},
const EntryPoint kAvUtilEntries[] = {VEXO_AVUTIL_ENTRY_POINTS(VEXO_ENTRY_POINT_ROW)};
const EntryPoint kAvFormatEntries[] = {VEXO_AVFORMAT_ENTRY_POINTS(VEXO_ENTRY_POINT_ROW)};
const EntryPoint kAvCodecEntries[] = {VEXO_AVCODEC_ENTRY_POINTS(VEXO_ENTRY_POINT_ROW)};
const EntryPoint kSwResampleEntries[] = {VEXO_SWRESAMPLE_ENTRY_POINTS(VEXO_ENTRY_POINT_ROW)};
const EntryPoint kSwScaleEntries[] = {VEXO_SWSCALE_ENTRY_POINTS(VEXO_ENTRY_POINT_ROW)};
#undef VEXO_ENTRY_POINT_ROW

struct Library {
  const char* fileName;
  const char* versionEntry;  // reports the library's version as major << 16 | ...
  unsigned builtMajor;
  const EntryPoint* entries;
  size_t entryCount;
  void* handle = nullptr;
  bool resolved = false;
};

#define VEXO_LIBRARY(file, version, major, table) \
  Library {                                       \
    file, version, major, table, std::size(table) \
  }
std::array<Library, mlCount> libraries = {
    VEXO_LIBRARY("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), "avutil_version",
                 LIBAVUTIL_VERSION_MAJOR, kAvUtilEntries),
    VEXO_LIBRARY("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), "avformat_version",
                 LIBAVFORMAT_VERSION_MAJOR, kAvFormatEntries),
    VEXO_LIBRARY("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), "avcodec_version",
                 LIBAVCODEC_VERSION_MAJOR, kAvCodecEntries),
    VEXO_LIBRARY("libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
                 "swresample_version", LIBSWRESAMPLE_VERSION_MAJOR, kSwResampleEntries),
    VEXO_LIBRARY("libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR), "swscale_version",
                 LIBSWSCALE_VERSION_MAJOR, kSwScaleEntries),
};
#undef VEXO_LIBRARY

std::string searchFolder;
bool searchFolderSet = false;
bool searchSystem = true;

std::string ProgramFolder() {
  std::error_code error;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

// FFmpeg pulls in codec libraries that keep process-wide state (thread keys,
// exit handlers); unmapping them while the process lives is unsafe, so a
// released library stays mapped and its handle alone is dropped.
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;

void* OpenLibrary(const Library& lib) {
  const std::string folder = searchFolderSet ? searchFolder : ProgramFolder();
  if (!folder.empty()) {
    // A portable copy may carry its own libraries beside the program.
    const std::string local = folder + "/" + lib.fileName;
    if (access(local.c_str(), F_OK) == 0) {
      if (void* handle = dlopen(local.c_str(), kOpenFlags)) return handle;
    }
  }
  return searchSystem ? dlopen(lib.fileName, kOpenFlags) : nullptr;
}

bool Resolve(Library& lib) {
  using VersionFn = unsigned (*)();
  auto version = reinterpret_cast<VersionFn>(dlsym(lib.handle, lib.versionEntry));
  if (!version || version() >> 16 != lib.builtMajor) return false;
  for (size_t i = 0; i < lib.entryCount; ++i) {
    void* address = dlsym(lib.handle, lib.entries[i].name);
    if (!address) return false;
    *lib.entries[i].slot = address;
  }
  return true;
}

void ClearEntries(const Library& lib) {
  for (size_t i = 0; i < lib.entryCount; ++i) *lib.entries[i].slot = nullptr;
}

}  // namespace

const char* MediaLibFileName(TMediaLib lib) {
  return libraries[lib].fileName;
}

void MediaLibSetSearch(const std::string& folder, bool systemSearch) {
  searchFolder = folder;
  searchFolderSet = true;
  searchSystem = systemSearch;
}

bool MediaLibLoad() {
  bool all = true;
  for (Library& lib : libraries) {
    if (!lib.handle) lib.handle = OpenLibrary(lib);
    if (lib.handle && !lib.resolved) {
      lib.resolved = Resolve(lib);
      // A half-resolved table must not look usable.
      if (!lib.resolved) ClearEntries(lib);
    }
    all = all && lib.resolved;
  }
  return all;
}

void MediaLibUnload() {
  for (auto it = libraries.rbegin(); it != libraries.rend(); ++it) {
    if (!it->handle) continue;
    ClearEntries(*it);
    dlclose(it->handle);
    it->handle = nullptr;
    it->resolved = false;
  }
}

void MediaLibInit() {}

bool MediaLibIsLoaded(TMediaLib lib) {
  return libraries[lib].handle != nullptr;
}
bool MediaLibIsResolved(TMediaLib lib) {
  return libraries[lib].resolved;
}

std::string MediaLibFailureText() {
  const char* product = "Vexo Player";
  char text[200];
  std::snprintf(text, sizeof text, "Some components of %s were not found. %s must be reinstalled.",
                product, product);
  return text;
}

}  // namespace vexo

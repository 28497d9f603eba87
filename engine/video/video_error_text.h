#pragma once
// Failure codes of the video surface back ends (XVideo, OpenGL, raster) and
// their descriptions, which the log shows after an operation's label.
#include <cstdint>
#include <string>

namespace vexo {

enum TVideoError : uint32_t {
  veOk = 0,
  veNoDisplay = 0x88760001,          // no X display or native window
  veNoOverlayHardware = 0x88760002,  // no XVideo adaptor
  veNoFourCC = 0x88760003,           // no port or texture path takes the pixel layout
  vePortBusy = 0x88760004,           // every XVideo port is grabbed by someone else
  veSharedMemory = 0x88760005,       // MIT-SHM segment could not be made or attached
  veNoContext = 0x88760006,          // no OpenGL context could be made current
  veShader = 0x88760007,             // a shader failed to compile or link
  veOutOfMemory = 0x88760008,        // a surface or texture could not be allocated
  veSurfaceLost = 0x88760009,        // the surface went away (window or context lost)
  veInvalidParams = 0x8876000A,      // a size or rectangle the device rejects
  veUnsupported = 0x8876000B,        // the device cannot do what was asked
  veGeneric = 0x8876000C,            // anything else
  veNullPointer = 0x80004003,        // a device or texture argument is missing
  veInvalidCall = 0x8876086C,        // a call made before what it needs exists
};

// The description of a code; unknown codes are shown by number.
std::string VideoErrorText(uint32_t code);

}  // namespace vexo

#include "engine/video/video_error_text.h"

#include <cstdio>

namespace vexo {

std::string VideoErrorText(uint32_t code) {
  switch (code) {
    case veOk:
      return "The request completed successfully.";
    case veNoDisplay:
      return "No display or window is available for video output.";
    case veNoOverlayHardware:
      return "No video overlay hardware is present or available.";
    case veNoFourCC:
      return "The pixel format is not supported by the video device.";
    case vePortBusy:
      return "The video port is in use by another application.";
    case veSharedMemory:
      return "Shared memory for the video surface could not be set up.";
    case veNoContext:
      return "No OpenGL context could be created for the window.";
    case veShader:
      return "The picture conversion shader could not be built.";
    case veOutOfMemory:
      return "Not enough memory for the video surface.";
    case veSurfaceLost:
      return "The video surface has been lost and must be restored.";
    case veInvalidParams:
      return "One or more parameters are invalid for the video device.";
    case veUnsupported:
      return "The operation is not supported by the video device.";
    case veGeneric:
      return "An undetermined error occurred in the video device.";
    case veNullPointer:
      return "Invalid pointer.";
    case veInvalidCall:
      return "The method call is invalid.";
  }
  char text[48];
  std::snprintf(text, sizeof text, "Unknown video error 0x%08X", unsigned(code));
  return text;
}

}  // namespace vexo

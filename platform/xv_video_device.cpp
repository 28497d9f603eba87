#include "platform/xv_video_device.h"

// Qt before Xlib: Xlib's macros (Bool, Status, CursorShape) break Qt's headers.
#include <QGuiApplication>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xvlib.h>
// clang-format on
#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>
#include <cstring>
#include <utility>

#include "engine/video/video_error_text.h"

namespace vexo {

// One shared-memory picture of the port.
struct TXvShmImage {
  XvImage* Image = nullptr;
  XShmSegmentInfo Segment{};
  bool Attached = false;
};

struct TXvSurfaceDevice::TState {
  Display* Dpy = nullptr;
  Window Wnd = 0;
  GC Gc = nullptr;
  XvPortID Port = 0;
  TFourCC FourCC = 0;
  TXvShmImage Front, Back;
  TVideoRect Source, Dest, WindowRect;
  bool Shown = false;
};

namespace {

void FreeImage(Display* dpy, TXvShmImage& image) {
  if (image.Attached) XShmDetach(dpy, &image.Segment);
  if (image.Image) XFree(image.Image);
  if (image.Segment.shmaddr && image.Segment.shmaddr != reinterpret_cast<char*>(-1))
    shmdt(image.Segment.shmaddr);
  image = TXvShmImage{};
}

uint32_t MakeImage(Display* dpy, XvPortID port, const TSurfaceDesc& desc, TXvShmImage& image) {
  image.Image = XvShmCreateImage(dpy, port, int(desc.FourCC), nullptr, desc.Width, desc.Height,
                                 &image.Segment);
  if (!image.Image) return veOutOfMemory;
  if (image.Image->width < desc.Width || image.Image->height < desc.Height) return veInvalidParams;
  image.Segment.shmid = shmget(IPC_PRIVATE, size_t(image.Image->data_size), IPC_CREAT | 0600);
  if (image.Segment.shmid < 0) return veSharedMemory;
  image.Segment.shmaddr = static_cast<char*>(shmat(image.Segment.shmid, nullptr, 0));
  // Marked for removal now: it goes when the last user detaches.
  shmctl(image.Segment.shmid, IPC_RMID, nullptr);
  if (image.Segment.shmaddr == reinterpret_cast<char*>(-1)) return veSharedMemory;
  image.Image->data = image.Segment.shmaddr;
  image.Segment.readOnly = False;
  if (!XShmAttach(dpy, &image.Segment)) return veSharedMemory;
  image.Attached = true;
  XSync(dpy, False);
  return veOk;
}

bool PortTakes(Display* dpy, XvPortID port, TFourCC fourCC) {
  int count = 0;
  XvImageFormatValues* formats = XvListImageFormats(dpy, port, &count);
  bool found = false;
  for (int i = 0; i < count && !found; ++i) found = uint32_t(formats[i].id) == fourCC;
  if (formats) XFree(formats);
  return found;
}

bool PortHasColorKey(Display* dpy, XvPortID port) {
  int count = 0;
  XvAttribute* attributes = XvQueryPortAttributes(dpy, port, &count);
  bool found = false;
  for (int i = 0; i < count && !found; ++i)
    found = std::strcmp(attributes[i].name, "XV_COLORKEY") == 0;
  if (attributes) XFree(attributes);
  return found;
}

// Under another window system (a Wayland session) the program's windows are
// not X windows, even where an X server runs beside it: asking that server
// about them ends the process with an X error.
bool WindowsAreX() {
  return !qGuiApp || QGuiApplication::platformName() == QLatin1String("xcb");
}

}  // namespace

TXvSurfaceDevice::TXvSurfaceDevice() : F(std::make_unique<TState>()) {}

TXvSurfaceDevice::~TXvSurfaceDevice() {
  Release();
  if (F->Gc) XFreeGC(F->Dpy, F->Gc);
  if (F->Dpy) XCloseDisplay(F->Dpy);
}

uint32_t TXvSurfaceDevice::Configure(TNativeWindow window, TSurfaceCaps& caps) {
  if (uint32_t code = Open(window)) return code;
  if (uint32_t code = WindowFormat(caps.WindowFormat)) return code;
  QueryCaps(caps);
  return veOk;
}

uint32_t TXvSurfaceDevice::Open(TNativeWindow window) {
  // No X display: the device stands without one and offers no overlay.
  if (WindowsAreX() && !F->Dpy) {
    F->Dpy = XOpenDisplay(nullptr);
    if (!F->Dpy) return veNoDisplay;
  }
  if (!window) return veNoDisplay;
  if (!F->Dpy) return veOk;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(F->Dpy, Window(window), &attributes)) return veNoDisplay;
  F->Wnd = Window(window);
  if (!F->Gc) F->Gc = XCreateGC(F->Dpy, F->Wnd, 0, nullptr);
  return F->Gc ? veOk : veOutOfMemory;
}

uint32_t TXvSurfaceDevice::WindowFormat(TDevicePixelFormat& format) {
  if (!F->Dpy) {
    format = TDevicePixelFormat{};
    format.BitCount = 32;
    format.RBitMask = 0xFF0000;
    format.GBitMask = 0x00FF00;
    format.BBitMask = 0x0000FF;
    return veOk;
  }
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(F->Dpy, F->Wnd, &attributes)) return veSurfaceLost;
  const Visual* visual = attributes.visual;
  format = TDevicePixelFormat{};
  format.BitCount = attributes.depth > 16 ? 32 : 16;
  format.RBitMask = uint32_t(visual->red_mask);
  format.GBitMask = uint32_t(visual->green_mask);
  format.BBitMask = uint32_t(visual->blue_mask);
  return veOk;
}

void TXvSurfaceDevice::QueryCaps(TSurfaceCaps& caps) {
  caps.Overlay = caps.OverlayColorKey = caps.FourCCBlit = caps.StretchBlit = false;
  if (!F->Dpy) return;
  unsigned version, release, request, event, error;
  if (XvQueryExtension(F->Dpy, &version, &release, &request, &event, &error) != Success)
    return;  // no extension: no overlay
  unsigned count = 0;
  XvAdaptorInfo* adaptors = nullptr;
  if (XvQueryAdaptors(F->Dpy, DefaultRootWindow(F->Dpy), &count, &adaptors) != Success) return;
  for (unsigned i = 0; i < count; ++i) {
    if ((adaptors[i].type & (XvInputMask | XvImageMask)) != (XvInputMask | XvImageMask)) continue;
    caps.Overlay = true;
    for (unsigned p = 0; p < adaptors[i].num_ports; ++p)
      if (PortHasColorKey(F->Dpy, adaptors[i].base_id + p)) caps.OverlayColorKey = true;
  }
  if (adaptors) XvFreeAdaptorInfo(adaptors);
}

uint32_t TXvSurfaceDevice::Configure(const TSurfaceDesc& desc, uint32_t& backBufferCode) {
  Release();
  backBufferCode = veOk;
  if (!desc.Overlay) return veUnsupported;
  if (!F->Dpy) return veNoOverlayHardware;
  if (!XShmQueryExtension(F->Dpy)) return veSharedMemory;
  unsigned count = 0;
  XvAdaptorInfo* adaptors = nullptr;
  if (XvQueryAdaptors(F->Dpy, DefaultRootWindow(F->Dpy), &count, &adaptors) != Success)
    return veNoOverlayHardware;
  uint32_t code = count ? veNoFourCC : veNoOverlayHardware;
  for (unsigned i = 0; i < count && !F->Port; ++i) {
    if (!(adaptors[i].type & XvImageMask)) continue;
    for (unsigned p = 0; p < adaptors[i].num_ports && !F->Port; ++p) {
      const XvPortID port = adaptors[i].base_id + p;
      if (!PortTakes(F->Dpy, port, desc.FourCC)) continue;
      if (XvGrabPort(F->Dpy, port, CurrentTime) == Success)
        F->Port = port;
      else
        code = vePortBusy;
    }
  }
  if (adaptors) XvFreeAdaptorInfo(adaptors);
  if (!F->Port) return code;
  F->FourCC = desc.FourCC;
  code = MakeImage(F->Dpy, F->Port, desc, F->Front);
  if (code) {
    Release();
    return code;
  }
  if (desc.BackBuffer) {
    backBufferCode = MakeImage(F->Dpy, F->Port, desc, F->Back);
    if (backBufferCode) FreeImage(F->Dpy, F->Back);
  }
  return veOk;
}

void TXvSurfaceDevice::Release() {
  if (!F->Dpy) return;
  FreeImage(F->Dpy, F->Back);
  FreeImage(F->Dpy, F->Front);
  if (F->Port) {
    XvStopVideo(F->Dpy, F->Port, F->Wnd);
    XvUngrabPort(F->Dpy, F->Port, CurrentTime);
  }
  F->Port = 0;
  F->Shown = false;
}

uint32_t TXvSurfaceDevice::Upload(const TSurfaceWriter& write, bool front, bool& restored) {
  restored = false;
  TXvShmImage& image = F->Back.Image && !front ? F->Back : F->Front;
  if (!image.Image) return veInvalidCall;
  write(reinterpret_cast<uint8_t*>(image.Image->data), image.Image->pitches[0]);
  return veOk;
}

uint32_t TXvSurfaceDevice::Present(TPresentKind kind, const TSurfacePlacement& placement) {
  if (kind == pkPlace) return Show(placement);
  if (!F->Port || !F->Front.Image) return veInvalidCall;
  if (kind == pkHide) {
    XvStopVideo(F->Dpy, F->Port, F->Wnd);
    F->Shown = false;
    XFlush(F->Dpy);
    return veOk;
  }
  // A new picture: the back buffer comes to the front where the overlay shows.
  if (!F->Back.Image) return veInvalidCall;
  std::swap(F->Front, F->Back);
  return F->Shown ? Show({F->Source, F->Dest, 0}) : veOk;
}

uint32_t TXvSurfaceDevice::Show(const TSurfacePlacement& placement) {
  if (!F->Port || !F->Front.Image) return veInvalidCall;
  const TVideoRect& source = placement.Source;
  const TVideoRect& dest = placement.Dest;
  const uint32_t colorKey = placement.ColorKey;
  // A flip repeats the last placement without touching the key.
  if (!F->Shown || source != F->Source || dest != F->Dest || colorKey) {
    const Atom key = XInternAtom(F->Dpy, "XV_COLORKEY", True);
    if (key != None) XvSetPortAttribute(F->Dpy, F->Port, key, int(colorKey));
  }
  F->Source = source;
  F->Dest = dest;
  F->Shown = true;
  const int x = dest.Left - F->WindowRect.Left, y = dest.Top - F->WindowRect.Top;
  const int status = XvShmPutImage(
      F->Dpy, F->Port, F->Wnd, F->Gc, F->Front.Image, source.Left, source.Top,
      unsigned(source.Right - source.Left + 1), unsigned(source.Bottom - source.Top + 1), x, y,
      unsigned(dest.Right - dest.Left + 1), unsigned(dest.Bottom - dest.Top + 1), False);
  XFlush(F->Dpy);
  return status == Success ? veOk : veInvalidParams;
}

void TXvSurfaceDevice::SetWindowRect(const TVideoRect& window, const TVideoRect&) {
  F->WindowRect = window;
}

}  // namespace vexo

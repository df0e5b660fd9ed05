#include "support/x11_session.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>

#include <cstdlib>

#include "platform/messages.h"
#include "platform/window.h"
#include "shell/engine_reset.h"

namespace {

// A window that went away between two calls is not a reason to end the
// test process (Xlib's default handler exits).
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

Display* Connection(void* connection) { return static_cast<Display*>(connection); }

}  // namespace

bool X11Session::Start(std::string* why) {
  if (FindVirtualDisplayServer().empty()) {
    *why = "Xvfb is not installed";
    return false;
  }
  if (!StartVirtualDisplay(&mDisplay, 20000)) {
    *why = "Xvfb did not start";
    return false;
  }
  // The next window starts the video system on the server.
  QuitPlatformVideo();
  mConnection = XOpenDisplay(mDisplay.mName.c_str());
  if (mConnection == nullptr) {
    StopVirtualDisplay(&mDisplay);
    *why = "no connection to Xvfb";
    return false;
  }
  XSetErrorHandler(IgnoreXError);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  setenv("DISPLAY", mDisplay.mName.c_str(), 1);
  mRunning = true;
  return true;
}

void X11Session::Stop() {
  if (!mRunning) return;
  mRunning = false;
  // The engine's connection goes before the server does.
  ResetEngineState();
  XCloseDisplay(Connection(mConnection));
  mConnection = nullptr;
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  unsetenv("DISPLAY");
  StopVirtualDisplay(&mDisplay);
}

uint64_t X11Session::XWindowOf(PlatformWindow* window) {
  SDL_Window* sdl = GetSdlWindow(window);
  if (sdl == nullptr) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(sdl, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return 0;
  return info.info.x11.window;
}

std::vector<uint64_t> X11Session::StackingOrder() {
  Display* display = Connection(mConnection);
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  std::vector<uint64_t> order;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) return order;
  order.assign(children, children + count);
  if (children != nullptr) XFree(children);
  return order;
}

std::vector<std::string> X11Session::AtomList(uint64_t window, const char* property) {
  Display* display = Connection(mConnection);
  std::vector<std::string> names;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 64, False, XA_ATOM, &type, &format,
                         &count, &after, &data) != Success) {
    return names;
  }
  const auto* atoms = reinterpret_cast<const Atom*>(data);
  for (unsigned long i = 0; format == 32 && i < count; ++i) {
    char* name = XGetAtomName(display, atoms[i]);
    if (name == nullptr) continue;
    names.emplace_back(name);
    XFree(name);
  }
  if (data != nullptr) XFree(data);
  return names;
}

bool X11Session::IsUrgent(uint64_t window) {
  XWMHints* hints = XGetWMHints(Connection(mConnection), window);
  if (hints == nullptr) return false;
  bool urgent = (hints->flags & XUrgencyHint) != 0;
  XFree(hints);
  return urgent;
}

uint64_t X11Session::PumpUntilNotUrgent(uint64_t window, uint32_t timeoutMs) {
  uint64_t end = SDL_GetTicks64() + timeoutMs;
  while (SDL_GetTicks64() < end) {
    PeekWindowMessage();
    if (!IsUrgent(window)) return SDL_GetTicks64();
    SDL_Delay(10);
  }
  return 0;
}

bool X11Session::IsMapped(uint64_t window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(Connection(mConnection), window, &attributes) != 0 &&
         attributes.map_state != IsUnmapped;
}

std::vector<std::vector<int>> X11Session::ShapeRectangles(uint64_t window) {
  std::vector<std::vector<int>> found;
  int count = 0;
  int ordering = 0;
  XRectangle* rects = XShapeGetRectangles(Connection(mConnection), window, ShapeBounding, &count, &ordering);
  for (int i = 0; i < count; ++i) found.push_back({rects[i].x, rects[i].y, rects[i].width, rects[i].height});
  if (rects != nullptr) XFree(rects);
  return found;
}

bool X11Session::PointerIn(uint64_t window, int* x, int* y) {
  Window root = 0;
  Window child = 0;
  int rootX = 0;
  int rootY = 0;
  unsigned mask = 0;
  return XQueryPointer(Connection(mConnection), window, &root, &child, &rootX, &rootY, x, y, &mask) != 0;
}

bool X11Session::CurrentCursor(CursorImage* image) {
  Display* display = Connection(mConnection);
  int event = 0;
  int error = 0;
  if (!XFixesQueryExtension(display, &event, &error)) return false;
  XFixesCursorImage* cursor = XFixesGetCursorImage(display);
  if (cursor == nullptr) return false;
  image->mWidth = cursor->width;
  image->mHeight = cursor->height;
  image->mHotX = cursor->xhot;
  image->mHotY = cursor->yhot;
  image->mPixels.clear();
  for (size_t i = 0; i < static_cast<size_t>(cursor->width) * cursor->height; ++i) {
    image->mPixels.push_back(static_cast<uint32_t>(cursor->pixels[i]));
  }
  XFree(cursor);
  return true;
}

void X11Session::WatchRootRequests() {
  Display* display = Connection(mConnection);
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
}

std::string X11Session::AtomName(long atom) {
  if (atom == 0) return "";
  char* name = XGetAtomName(Connection(mConnection), static_cast<Atom>(atom));
  if (name == nullptr) return "";
  std::string text = name;
  XFree(name);
  return text;
}

std::vector<X11Session::RootRequest> X11Session::TakeRootRequests() {
  Display* display = Connection(mConnection);
  XSync(display, False);
  std::vector<RootRequest> requests;
  while (XPending(display) > 0) {
    XEvent event{};
    XNextEvent(display, &event);
    if (event.type != ClientMessage) continue;
    RootRequest request;
    char* name = XGetAtomName(display, event.xclient.message_type);
    if (name != nullptr) {
      request.mType = name;
      XFree(name);
    }
    request.mWindow = event.xclient.window;
    for (int i = 0; i < 3; ++i) request.mData[i] = event.xclient.data.l[i];
    requests.push_back(request);
  }
  return requests;
}

uint64_t X11Session::CreatePlainWindow(int width, int height) {
  Display* display = Connection(mConnection);
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, 0, 0);
  XMapWindow(display, window);
  XSync(display, False);
  return window;
}

void X11Session::DestroyPlainWindow(uint64_t window) {
  XDestroyWindow(Connection(mConnection), window);
  XSync(Connection(mConnection), False);
}

std::vector<uint32_t> X11Session::ReadPixels(uint64_t window, int width, int height) {
  std::vector<uint32_t> pixels;
  XImage* image = XGetImage(Connection(mConnection), window, 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
  }
  XDestroyImage(image);
  return pixels;
}

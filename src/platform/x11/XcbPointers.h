#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace ostrel::platform {

// xcb hands out replies and errors allocated with malloc; the caller frees them.
struct MallocDeleter {
  void operator()(void* p) const { std::free(p); }
};

template <class T>
using XcbReply = std::unique_ptr<T, MallocDeleter>;

struct XcbConnectionDeleter {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

using XcbConnection = std::unique_ptr<xcb_connection_t, XcbConnectionDeleter>;

}  // namespace ostrel::platform

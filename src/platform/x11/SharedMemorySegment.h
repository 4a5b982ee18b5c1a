#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ostrel::platform {

// A System V shared memory segment that both this process and the X server
// have attached, for MIT-SHM grabs. It is marked for removal as soon as the
// server holds it, so the kernel frees it even if the process dies.
class SharedMemorySegment {
 public:
  // nullptr when the segment cannot be made or the server cannot attach it
  // (a remote display, a server without access to our segments).
  static std::unique_ptr<SharedMemorySegment> attach(xcb_connection_t* connection, std::size_t bytes);

  struct Key {
   private:
    Key() = default;
    friend class SharedMemorySegment;
  };
  SharedMemorySegment(Key, xcb_connection_t* connection, xcb_shm_seg_t id, uint8_t* data, std::size_t size)
      : connection_(connection), id_(id), data_(data), size_(size) {}
  ~SharedMemorySegment();
  SharedMemorySegment(const SharedMemorySegment&) = delete;
  SharedMemorySegment& operator=(const SharedMemorySegment&) = delete;

  xcb_shm_seg_t id() const { return id_; }
  uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  xcb_connection_t* connection_;
  xcb_shm_seg_t id_;
  uint8_t* data_;
  std::size_t size_;
};

}  // namespace ostrel::platform

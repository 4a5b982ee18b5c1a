#include "platform/x11/SharedMemorySegment.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include "platform/x11/SigpipeGuard.h"
#include "platform/x11/XcbPointers.h"

namespace ostrel::platform {

std::unique_ptr<SharedMemorySegment> SharedMemorySegment::attach(xcb_connection_t* connection,
                                                                 std::size_t bytes) {
  if (bytes == 0 || xcb_connection_has_error(connection)) return nullptr;
  const int shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (shmId == -1) return nullptr;
  void* address = shmat(shmId, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(shmId, IPC_RMID, nullptr);
    return nullptr;
  }
  const xcb_shm_seg_t id = xcb_generate_id(connection);
  XcbReply<xcb_generic_error_t> error;
  {
    SigpipeGuard guard;
    error.reset(xcb_request_check(connection, xcb_shm_attach_checked(connection, id, shmId, 0)));
  }
  // Both sides hold it now (or the server never will): the id is no longer needed.
  shmctl(shmId, IPC_RMID, nullptr);
  if (error || xcb_connection_has_error(connection)) {
    shmdt(address);
    return nullptr;
  }
  return std::make_unique<SharedMemorySegment>(Key{}, connection, id, static_cast<uint8_t*>(address), bytes);
}

SharedMemorySegment::~SharedMemorySegment() {
  {
    SigpipeGuard guard;
    xcb_shm_detach(connection_, id_);
    xcb_flush(connection_);
  }
  shmdt(data_);
}

}  // namespace ostrel::platform

// A still screen must cost no heap allocation per frame: at 25 frames a second
// for hours, the idle path is what the recorder mostly runs.
// Counting replacements of the global allocation functions pair operator new
// with free; the compiler cannot see that they match.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "codec/FrameGrabber.h"
#include "codec/RecordingStream.h"
#include "platform/fake/FakeScreen.h"
#include "support/ScratchFolder.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace ostrel::codec {
namespace {

TEST(CaptureFrame, StillScreenAllocatesNothing) {
  platform::FakeScreen screen(800, 600);
  screen.fill({100, 100, 500, 400}, 0x00C0C0C0);
  auto& cursor = screen.cursor();
  cursor.exists = true;
  cursor.serial = 3;
  cursor.x = cursor.y = 300;
  cursor.width = cursor.height = 16;
  cursor.argb.assign(16 * 16, 0xFF000000u);
  for (const int kind : {1, 2, 3}) {
    FrameGrabber grabber(screen);
    ASSERT_TRUE(grabber.Init(32, 15, false, 90, kind));
    const long start = allocations.load();
    for (int i = 0; i < 60; ++i) grabber.CaptureFrame();
    ASSERT_GT(allocations.load(), start) << "the counter sees the first frames' records";
    const long before = allocations.load();
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(grabber.CaptureFrame().empty());
    EXPECT_EQ(allocations.load() - before, 0) << "kind " << kind;
  }
}

// The journal writes each tick straight from the caller's bytes, and its
// flushing thread allocates nothing either.
TEST(RecordingStream, JournalledTicksAllocateNothing) {
  testing::ScratchFolder cache;
  RecordingStream stream;
  ASSERT_TRUE(stream.startJournal(cache / "clip.ostrel-journal", 20));
  const std::vector<uint8_t> record(300, 7);
  const long before = allocations.load();
  for (int i = 0; i < 200; ++i) {
    stream.append(record);
    stream.append(FRAME_SEPARATOR);
    if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));  // let it flush
  }
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_EQ(stream.journalBytes(), 200u * 310u);
  stream.clear();
}

}  // namespace
}  // namespace ostrel::codec

#include "support/FakeAudioInput.h"

#include <chrono>

namespace ostrel::testing {

std::vector<uint8_t> countingPattern(uint64_t from, std::size_t count) {
  std::vector<uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    const uint64_t at = from + i;
    const auto frame = static_cast<uint16_t>(at / 2);
    bytes[i] = static_cast<uint8_t>(at % 2 == 0 ? frame & 0xFF : frame >> 8);
  }
  return bytes;
}

FakeAudioInput::~FakeAudioInput() { close(); }

bool FakeAudioInput::open(const platform::AudioFormat& format, platform::AudioSink sink) {
  close();
  std::lock_guard lock(mutex_);
  ++calls_.open;
  calls_.format = format;
  if (openFails_) return false;
  sink_ = std::move(sink);
  open_ = true;
  running_ = false;
  finished_ = false;
  quit_ = false;
  thread_ = std::thread([this] { run(); });
  return true;
}

bool FakeAudioInput::start() {
  std::lock_guard lock(mutex_);
  ++calls_.start;
  if (!open_) return false;
  running_ = true;
  changed_.notify_all();
  return true;
}

bool FakeAudioInput::pause() {
  std::unique_lock lock(mutex_);
  ++calls_.pause;
  running_ = false;
  waitOutOfSink(lock);
  return open_;
}

bool FakeAudioInput::finish() {
  std::unique_lock lock(mutex_);
  ++calls_.finish;
  running_ = false;
  finished_ = true;
  waitOutOfSink(lock);
  return open_;
}

void FakeAudioInput::close() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
    open_ = false;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

void FakeAudioInput::setOpenFails(bool fails) {
  std::lock_guard lock(mutex_);
  openFails_ = fails;
}

void FakeAudioInput::hear(std::span<const uint8_t> bytes) {
  std::unique_lock lock(mutex_);
  if (!open_) return;
  heard_.emplace_back(bytes.begin(), bytes.end());
  const uint64_t ticket = ++heardCount_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return handledCount_ >= ticket || quit_; });
}

void FakeAudioInput::setFreeRunning(std::size_t pieceBytes) {
  std::lock_guard lock(mutex_);
  pieceBytes_ = pieceBytes;
  changed_.notify_all();
}

uint64_t FakeAudioInput::patternBytes() const {
  std::lock_guard lock(mutex_);
  return patternBytes_;
}

FakeAudioInput::Calls FakeAudioInput::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void FakeAudioInput::waitOutOfSink(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [&] { return !inSink_; });
}

void FakeAudioInput::deliver(std::unique_lock<std::mutex>& lock, std::span<const uint8_t> bytes) {
  inSink_ = true;
  lock.unlock();
  sink_(bytes);
  lock.lock();
  inSink_ = false;
  changed_.notify_all();
}

void FakeAudioInput::run() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (!heard_.empty()) {
      const std::vector<uint8_t> bytes = std::move(heard_.front());
      heard_.pop_front();
      if (running_ && !finished_) deliver(lock, bytes);
      ++handledCount_;
      changed_.notify_all();
      continue;
    }
    if (running_ && !finished_ && pieceBytes_ > 0) {
      const std::vector<uint8_t> piece = countingPattern(patternBytes_, pieceBytes_);
      patternBytes_ += piece.size();
      deliver(lock, piece);
      // Leave the callers a chance at the lock, as a device's pauses would.
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::microseconds(50));
      lock.lock();
      continue;
    }
    changed_.wait(lock);
  }
  // Whoever still waits on hear() is let go; their sound was never captured.
  handledCount_ = heardCount_;
  heard_.clear();
  changed_.notify_all();
}

}  // namespace ostrel::testing

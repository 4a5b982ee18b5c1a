#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ostrel::codec {

// A few threads kept for the grabber's lifetime that run the jobs of one batch
// side by side; the calling thread works too. Starting threads per frame would
// cost more than many regions take to encode.
class ParallelRunner {
 public:
  // `threads` counts the caller; 1 runs everything on the caller.
  explicit ParallelRunner(int threads);
  ~ParallelRunner();
  ParallelRunner(const ParallelRunner&) = delete;
  ParallelRunner& operator=(const ParallelRunner&) = delete;

  int threads() const { return static_cast<int>(workers_.size()) + 1; }

  // Runs job(index, worker) for every index below `count` and returns when all
  // are done; `worker` (0 .. threads() - 1) names the thread, for scratch memory.
  void run(std::size_t count, const std::function<void(std::size_t, int)>& job);

 private:
  void workerLoop(int worker);
  void work(int worker);

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  const std::function<void(std::size_t, int)>* job_ = nullptr;
  std::size_t count_ = 0;
  std::size_t next_ = 0;
  std::size_t finished_ = 0;
  uint64_t generation_ = 0;
  bool stopping_ = false;
};

}  // namespace ostrel::codec

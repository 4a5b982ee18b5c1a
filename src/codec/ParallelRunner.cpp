#include "codec/ParallelRunner.h"

namespace ostrel::codec {

ParallelRunner::ParallelRunner(int threads) {
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this, i] { workerLoop(i); });
}

ParallelRunner::~ParallelRunner() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& worker : workers_) worker.join();
}

void ParallelRunner::run(std::size_t count, const std::function<void(std::size_t, int)>& job) {
  if (count == 0) return;
  if (workers_.empty() || count == 1) {
    for (std::size_t i = 0; i < count; ++i) job(i, 0);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    job_ = &job;
    count_ = count;
    next_ = 0;
    finished_ = 0;
    ++generation_;
  }
  wake_.notify_all();
  work(0);
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return finished_ == count_; });
  job_ = nullptr;
}

void ParallelRunner::work(int worker) {
  std::unique_lock lock(mutex_);
  while (job_ != nullptr && next_ < count_) {
    const std::size_t index = next_++;
    const auto* job = job_;
    lock.unlock();
    (*job)(index, worker);
    lock.lock();
    if (++finished_ == count_) done_.notify_all();
  }
}

void ParallelRunner::workerLoop(int worker) {
  uint64_t seen = 0;
  while (true) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
    }
    work(worker);
  }
}

}  // namespace ostrel::codec

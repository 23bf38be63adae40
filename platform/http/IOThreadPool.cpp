#include "http/IOThreadPool.h"

#include <chrono>
#include <thread>
#include <vector>

namespace keln::http {
namespace {

constexpr auto kParkedFor = std::chrono::seconds(60);

struct Worker {
  std::condition_variable handedOver;
  std::function<void()> loop;              // guarded by the pool's mutex
  std::shared_ptr<IOThreadPool::Run> run;  // guarded by the pool's mutex
};

thread_local const Worker* currentWorker = nullptr;

struct Pool {
  std::mutex mutex;
  std::vector<Worker*> parked;  // guarded by mutex
};

Pool& pool() {
  static Pool* shared = new Pool();  // never destroyed: parked threads may outlive main()
  return *shared;
}

}  // namespace

void IOThreadPool::Run::wait() {
  std::unique_lock lock(mutex_);
  ended_.wait(lock, [this] { return done_; });
}

bool IOThreadPool::Run::isCurrentThread() const {
  std::lock_guard lock(mutex_);
  return runningOn_ != nullptr && runningOn_ == currentWorker;
}

std::shared_ptr<IOThreadPool::Run> IOThreadPool::start(std::function<void()> loop) {
  auto run = std::make_shared<Run>();
  Pool& shared = pool();
  {
    std::lock_guard lock(shared.mutex);
    if (!shared.parked.empty()) {
      Worker* worker = shared.parked.back();
      shared.parked.pop_back();
      worker->loop = std::move(loop);
      worker->run = run;
      worker->handedOver.notify_one();
      return run;
    }
  }
  auto* worker = new Worker();
  worker->loop = std::move(loop);
  worker->run = run;
  auto work = [worker] {
    currentWorker = worker;
    Pool& shared = pool();
    std::unique_lock lock(shared.mutex);
    while (worker->loop) {
      std::function<void()> loop = std::move(worker->loop);
      std::shared_ptr<Run> run = std::move(worker->run);
      worker->loop = nullptr;
      lock.unlock();
      {
        std::lock_guard runLock(run->mutex_);
        run->runningOn_ = worker;
      }
      loop();
      loop = nullptr;  // releases what the loop captured before it counts as ended
      {
        std::lock_guard runLock(run->mutex_);
        run->runningOn_ = nullptr;
        run->done_ = true;
      }
      run->ended_.notify_all();
      run.reset();
      lock.lock();
      shared.parked.push_back(worker);
      if (!worker->handedOver.wait_for(lock, kParkedFor, [worker] { return worker->loop != nullptr; })) {
        std::erase(shared.parked, worker);
      }
    }
    lock.unlock();
    delete worker;
  };
  try {
    std::thread(std::move(work)).detach();
  } catch (...) {
    delete worker;
    throw;
  }
  return run;
}

}  // namespace keln::http

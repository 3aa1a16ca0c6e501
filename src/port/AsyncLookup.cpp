#include "port/AsyncLookup.h"

#include <mutex>
#include <thread>

#include "port/Socket.h"
#include "port/WinSockErrors.h"

namespace zl {

// Shared by the owner and the lookup's thread; the thread touches the loop
// only under the lock and only while the job is not cancelled, and the owner
// cancels it (under the lock) before the loop can go.
struct AsyncLookup::Job {
  std::mutex lock;
  MessageLoop *loop = nullptr;
  Done done;
  bool cancelled = false;
};

void AsyncLookup::Start(const std::string &name, Done done) {
  Cancel();
  auto job = std::make_shared<Job>();
  job->loop = &loop_;
  job->done = std::move(done);
  job_ = job;
  // Hands the result to the loop's thread, unless the job was cancelled.
  auto report = [job](int rc, uint32_t address) {
    std::lock_guard<std::mutex> guard(job->lock);
    if (job->cancelled) return;
    job->loop->Post([job, rc, address] {
      Done done;
      {
        std::lock_guard<std::mutex> inner(job->lock);
        if (job->cancelled) return;
        job->cancelled = true;
        done = std::move(job->done);
      }
      done(rc, address);
    });
  };
  try {
    std::thread([report, name] {
      uint32_t address = 0;
      const int rc = ResolveHostIpv4(name, address);
      report(rc, address);
    }).detach();
  } catch (...) {  // no thread to be had: the lookup fails, later, as it would
    report(kWsaTryAgain, 0);
  }
}

void AsyncLookup::Cancel() {
  if (!job_) return;
  Done dropped;
  {
    std::lock_guard<std::mutex> guard(job_->lock);
    job_->cancelled = true;
    job_->loop = nullptr;
    dropped = std::move(job_->done);
  }
  job_.reset();
}

bool AsyncLookup::Running() const {
  if (!job_) return false;
  std::lock_guard<std::mutex> guard(job_->lock);
  return !job_->cancelled;
}

}  // namespace zl

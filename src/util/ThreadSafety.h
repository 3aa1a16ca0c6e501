// Lock rules the compiler checks: clang's thread-safety attributes, empty on
// other compilers, and a mutex that carries them (the standard library's
// mutex is not annotated everywhere).
//
// A field marked GUARDED_BY(m) is read and written only while m is held; a
// function marked REQUIRES(m) is called with m held, EXCLUDES(m) without it.
// clang checks them under -Wthread-safety (a stage of .ci/run).
#ifndef ZL_UTIL_THREADSAFETY_H
#define ZL_UTIL_THREADSAFETY_H

#include <mutex>

#if defined(__clang__)
#define ZL_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ZL_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) ZL_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY ZL_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) ZL_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) ZL_THREAD_ANNOTATION(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) ZL_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) ZL_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
#define REQUIRES(...) ZL_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) ZL_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) ZL_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) ZL_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) ZL_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) ZL_THREAD_ANNOTATION(assert_capability(x))
#define NO_THREAD_SAFETY_ANALYSIS ZL_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace zl {

// A std::mutex the analysis knows as a capability. It is a std::mutex too,
// so code outside the checked build (tests) may still lock it with the
// standard guards.
class CAPABILITY("mutex") Mutex : public std::mutex {
 public:
  void lock() ACQUIRE() { std::mutex::lock(); }
  void unlock() RELEASE() { std::mutex::unlock(); }
  bool try_lock() TRY_ACQUIRE(true) { return std::mutex::try_lock(); }
  // Tells the analysis that the caller holds the mutex where it cannot see
  // the lock being taken (a record reached through a member); checks nothing
  // at run time.
  void AssertHeld() const ASSERT_CAPABILITY(this) {}
};

// A thread's role as a capability, for state that one thread alone touches:
// such fields are GUARDED_BY the role, the functions that run on that thread
// REQUIRES it, and the thread's entry asserts it. A call that the thread
// waits for, run on another thread meanwhile, asserts it too: the role is
// lent for that call. Nothing happens at run time.
class CAPABILITY("role") ThreadRole {
 public:
  void Assert() const ASSERT_CAPABILITY(this) {}
};

// Holds a Mutex for its scope.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex &m) ACQUIRE(m) : m_(m) { m_.lock(); }
  ~MutexLock() RELEASE() { m_.unlock(); }
  MutexLock(const MutexLock &) = delete;
  MutexLock &operator=(const MutexLock &) = delete;

 private:
  Mutex &m_;
};

}  // namespace zl

#endif  // ZL_UTIL_THREADSAFETY_H

// Thread-safe initialisation of function-local statics, as MSVC's static runtime has it
// (/Zc:threadSafeInit). The compiler checks a static's guard against the thread's epoch and calls
// these only on the slow path: the first thread to arrive builds the object while later ones wait
// here; a constructor that throws hands the job to the next waiting thread.
#include <limits.h>
#include <windows.h>

namespace {
constexpr int uninitialized = 0;
constexpr int being_initialized = -1;
constexpr int epoch_start = INT_MIN;

SRWLOCK guard_lock = SRWLOCK_INIT;
CONDITION_VARIABLE guard_changed = CONDITION_VARIABLE_INIT;
}  // namespace

extern "C" {
// The epoch of the last static finished in the module, and what this thread has seen of it: a
// guard at or below the thread's epoch is a finished object, read without a lock.
int _Init_global_epoch = epoch_start;
__declspec(thread) int _Init_thread_epoch = epoch_start;

void __cdecl _Init_thread_header(int* guard) noexcept {
  AcquireSRWLockExclusive(&guard_lock);
  if (*guard == uninitialized) {
    *guard = being_initialized;
  } else {
    while (*guard == being_initialized) {
      SleepConditionVariableSRW(&guard_changed, &guard_lock, INFINITE, 0);
      if (*guard == uninitialized) {
        // The builder threw: this thread builds it now.
        *guard = being_initialized;
        ReleaseSRWLockExclusive(&guard_lock);
        return;
      }
    }
    _Init_thread_epoch = _Init_global_epoch;
  }
  ReleaseSRWLockExclusive(&guard_lock);
}

void __cdecl _Init_thread_abort(int* guard) noexcept {
  AcquireSRWLockExclusive(&guard_lock);
  *guard = uninitialized;
  ReleaseSRWLockExclusive(&guard_lock);
  WakeAllConditionVariable(&guard_changed);
}

void __cdecl _Init_thread_footer(int* guard) noexcept {
  AcquireSRWLockExclusive(&guard_lock);
  ++_Init_global_epoch;
  *guard = _Init_global_epoch;
  _Init_thread_epoch = _Init_global_epoch;
  ReleaseSRWLockExclusive(&guard_lock);
  WakeAllConditionVariable(&guard_changed);
}
}

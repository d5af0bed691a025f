// A lighter C++ runtime for the programs that ship inside every package: setup.exe, the
// self-extractor stub and the uninstaller.
//
// Linked statically, the C++ runtime brings in a whole POSIX thread library for the few locks
// and thread-local slots of its exception support, a symbol demangler for the message of an
// uncaught exception, and the exception classes (with their own string type) of every library
// check: together more than a third of the program. The definitions below take their place:
// - the thread functions the runtime calls, on Win32 primitives: a lock is a critical section
//   created on first use (critical sections are recursive, as the runtime's recursive locks must
//   be), a thread-local slot is a TLS index, a one-time initialisation is an interlocked flag, and
//   a condition wait releases the lock, yields and takes it again, which its callers' loops allow
//   (a wait may always return early). setup.exe runs two threads, the user-interface thread and
//   the install worker, each with its own exception state in those slots; the tools run one.
// - the library's checks: a length beyond the memory there is raises std::bad_alloc; the others
//   (positions out of range, bad casts, an empty function called) raise one exception of their
//   own, still a std::exception.
// - an uncaught exception ends the program without a message.
// A reference to any other thread function pulls the thread library in again, and the linker
// then reports the functions defined twice: the place to add it here.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>

namespace {
struct TLibraryError : std::exception {
  const char* what() const noexcept override { return "Internal error of the runtime library."; }
};
}  // namespace

namespace std {
[[noreturn]] void __throw_bad_alloc() { throw std::bad_alloc(); }
[[noreturn]] void __throw_bad_array_new_length() { throw std::bad_alloc(); }
[[noreturn]] void __throw_length_error(const char*) { throw std::bad_alloc(); }
[[noreturn]] void __throw_bad_cast() { throw TLibraryError(); }
[[noreturn]] void __throw_bad_typeid() { throw TLibraryError(); }
[[noreturn]] void __throw_bad_exception() { throw TLibraryError(); }
[[noreturn]] void __throw_bad_function_call() { throw TLibraryError(); }
[[noreturn]] void __throw_logic_error(const char*) { throw TLibraryError(); }
[[noreturn]] void __throw_domain_error(const char*) { throw TLibraryError(); }
[[noreturn]] void __throw_invalid_argument(const char*) { throw TLibraryError(); }
[[noreturn]] void __throw_out_of_range(const char*) { throw TLibraryError(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { throw TLibraryError(); }
[[noreturn]] void __throw_runtime_error(const char*) { throw TLibraryError(); }
[[noreturn]] void __throw_range_error(const char*) { throw TLibraryError(); }
[[noreturn]] void __throw_overflow_error(const char*) { throw TLibraryError(); }
[[noreturn]] void __throw_underflow_error(const char*) { throw TLibraryError(); }
}  // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

extern "C" {

// The thread library's types on this platform.
using pthread_once_t = long;
using pthread_mutex_t = intptr_t;
using pthread_cond_t = intptr_t;
using pthread_key_t = unsigned;
using pthread_mutexattr_t = unsigned;

int pthread_once(pthread_once_t* once, void (*init)()) {
  if (InterlockedCompareExchange(once, 1, 0) == 0) {
    init();
    InterlockedExchange(once, 2);
  } else {
    while (InterlockedCompareExchange(once, 2, 2) != 2) Sleep(0);
  }
  return 0;
}

// A lock's word holds its critical section once created; before, one of the library's static
// initialisers (0, -1, -2, -3).
static CRITICAL_SECTION* Section(pthread_mutex_t* m) {
  void* const v = reinterpret_cast<void*>(*m);
  if (*m < -3 || *m > 0) return static_cast<CRITICAL_SECTION*>(v);
  auto* cs = static_cast<CRITICAL_SECTION*>(HeapAlloc(GetProcessHeap(), 0, sizeof(CRITICAL_SECTION)));
  InitializeCriticalSection(cs);
  void* const was = InterlockedCompareExchangePointer(reinterpret_cast<void**>(m), cs, v);
  if (was == v) return cs;
  DeleteCriticalSection(cs);  // another thread was first
  HeapFree(GetProcessHeap(), 0, cs);
  return static_cast<CRITICAL_SECTION*>(was);
}

int pthread_mutex_init(pthread_mutex_t* m, const pthread_mutexattr_t*) {
  *m = 0;
  return 0;
}
int pthread_mutex_destroy(pthread_mutex_t* m) {
  if (*m < -3 || *m > 0) {
    auto* cs = reinterpret_cast<CRITICAL_SECTION*>(*m);
    DeleteCriticalSection(cs);
    HeapFree(GetProcessHeap(), 0, cs);
  }
  *m = 0;
  return 0;
}
int pthread_mutex_lock(pthread_mutex_t* m) {
  EnterCriticalSection(Section(m));
  return 0;
}
int pthread_mutex_unlock(pthread_mutex_t* m) {
  LeaveCriticalSection(Section(m));
  return 0;
}
int pthread_mutexattr_init(pthread_mutexattr_t*) { return 0; }
int pthread_mutexattr_destroy(pthread_mutexattr_t*) { return 0; }
int pthread_mutexattr_settype(pthread_mutexattr_t*, int) { return 0; }

int pthread_cond_init(pthread_cond_t*, const void*) { return 0; }
int pthread_cond_destroy(pthread_cond_t*) { return 0; }
int pthread_cond_wait(pthread_cond_t*, pthread_mutex_t* m) {
  pthread_mutex_unlock(m);
  Sleep(1);
  pthread_mutex_lock(m);
  return 0;
}
int pthread_cond_broadcast(pthread_cond_t*) { return 0; }
int pthread_cond_signal(pthread_cond_t*) { return 0; }

// A slot's destructor is not run when a thread ends: the runtime keeps one small block per thread
// there, and setup starts one worker.
int pthread_key_create(pthread_key_t* key, void (*)(void*)) {
  const DWORD k = TlsAlloc();
  if (k == TLS_OUT_OF_INDEXES) return 11;  // EAGAIN
  *key = k;
  return 0;
}
int pthread_key_delete(pthread_key_t key) {
  TlsFree(key);
  return 0;
}
void* pthread_getspecific(pthread_key_t key) { return TlsGetValue(key); }
int pthread_setspecific(pthread_key_t key, const void* value) {
  return TlsSetValue(key, const_cast<void*>(value)) ? 0 : 22;  // EINVAL
}

}  // extern "C"

// A lighter runtime for the two tools, which ship inside every package.
//
// Both tools run on one thread and catch nothing of the library's own failures but running out
// of memory. Linked statically, the C++ runtime would still bring in a full thread library for
// the locks and thread-local slots of its exception support, a symbol demangler for the message
// of an uncaught exception, and the exception classes of every library check: together more than
// the tools themselves. The definitions below take their place:
// - the locks and slots, for a single thread;
// - the library's checks: a length beyond the memory there is raises std::bad_alloc, the one
//   failure the tools handle; the others (bad casts, positions out of range), which the tools
//   never make, end the program;
// - an uncaught exception ends the program without a message.
#include <cstdint>
#include <cstdlib>
#include <new>

namespace std {
// Lengths beyond the memory there is.
[[noreturn]] void __throw_bad_alloc() { throw std::bad_alloc(); }
[[noreturn]] void __throw_bad_array_new_length() { throw std::bad_alloc(); }
[[noreturn]] void __throw_length_error(const char*) { throw std::bad_alloc(); }
// Checks that the tools never fail.
[[noreturn]] void __throw_bad_cast() { std::abort(); }
[[noreturn]] void __throw_bad_typeid() { std::abort(); }
[[noreturn]] void __throw_bad_exception() { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_domain_error(const char*) { std::abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
[[noreturn]] void __throw_runtime_error(const char*) { std::abort(); }
[[noreturn]] void __throw_range_error(const char*) { std::abort(); }
[[noreturn]] void __throw_overflow_error(const char*) { std::abort(); }
[[noreturn]] void __throw_underflow_error(const char*) { std::abort(); }
}  // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

extern "C" {

// The thread library's types on this platform.
using pthread_once_t = long;
using pthread_mutex_t = intptr_t;
using pthread_key_t = unsigned;

namespace {
constexpr unsigned MaxKeys = 16;
void* KeyValues[MaxKeys];
unsigned KeyCount;
}  // namespace

int pthread_once(pthread_once_t* once, void (*init)()) {
  if (*once == 0) {
    *once = 1;
    init();
  }
  return 0;
}
int pthread_mutex_init(pthread_mutex_t* mutex, const void*) { return *mutex = 0; }
int pthread_mutex_destroy(pthread_mutex_t*) { return 0; }
int pthread_mutex_lock(pthread_mutex_t*) { return 0; }
int pthread_mutex_unlock(pthread_mutex_t*) { return 0; }
int pthread_key_create(pthread_key_t* key, void (*)(void*)) {
  if (KeyCount == MaxKeys) return 11;  // EAGAIN
  *key = KeyCount++;
  return 0;
}
int pthread_key_delete(pthread_key_t) { return 0; }
void* pthread_getspecific(pthread_key_t key) { return key < KeyCount ? KeyValues[key] : nullptr; }
int pthread_setspecific(pthread_key_t key, const void* value) {
  if (key >= KeyCount) return 22;  // EINVAL
  KeyValues[key] = const_cast<void*>(value);
  return 0;
}

}  // extern "C"

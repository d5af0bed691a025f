// setup.exe's lighter runtime still carries exceptions on both of its threads: the library's
// checks arrive as exceptions, exceptions are thrown, caught, rethrown and handed from one thread
// to another, and a static is initialised once when two threads race for it. A plain program
// (no test framework, which would bring the real thread library).
#include <windows.h>

#include <cstdio>
#include <exception>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what);
    ++failures;
  }
}

template <class E, class F>
bool Throws(F f) {
  try {
    f();
  } catch (const E&) {
    return true;
  } catch (...) {
  }
  return false;
}

int Rounds() {
  int caught = 0;
  for (int round = 0; round < 200; ++round) {
    try {
      try {
        throw std::string(40, 'x');
      } catch (const std::string& s) {
        caught += static_cast<int>(s.size()) == 40;
        throw;
      }
    } catch (const std::string&) {
      ++caught;
    }
  }
  return caught;
}

volatile LONG constructed = 0;
struct Once {
  Once() {
    InterlockedIncrement(&constructed);
    Sleep(20);
  }
};
Once& Shared() {
  static Once once;
  return once;
}

std::exception_ptr handed;
DWORD WINAPI Worker(LPVOID result) {
  Shared();
  *static_cast<int*>(result) = Rounds();
  try {
    throw std::runtime_error("from the worker");
  } catch (...) {
    handed = std::current_exception();
  }
  return 0;
}

}  // namespace

int main() {
  Check(Throws<std::bad_alloc>([] { std::vector<int> v; v.reserve(v.max_size() + 1); }), "vector beyond max_size");
  Check(Throws<std::bad_alloc>([] { std::string s; s.reserve(s.max_size() + 1); }), "string beyond max_size");
  Check(Throws<std::exception>([] { std::string("ab").substr(3); }), "a position out of range");
  Check(Throws<std::exception>([] { std::function<void()> f; f(); }), "an empty function called");
  int workerCaught = 0;
  HANDLE t = CreateThread(nullptr, 0, Worker, &workerCaught, 0, nullptr);
  Shared();
  const int caught = Rounds();
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
  Check(caught == 400 && workerCaught == 400, "throw, catch and rethrow on two threads at once");
  Check(constructed == 1, "a static initialised once");
  bool rethrown = false;
  try {
    std::rethrow_exception(handed);
  } catch (const std::runtime_error& e) {
    rethrown = std::string(e.what()) == "from the worker";
  }
  Check(rethrown, "an exception handed from the worker");
  std::printf("%s\n", failures ? "SOME FAILED" : "ok");
  return failures;
}

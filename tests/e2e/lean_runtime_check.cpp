// The lighter runtime of the shipped programs still carries exceptions in a single-threaded
// program such as the tools: the library's length checks arrive as std::bad_alloc, and throwing,
// catching and rethrowing work over its locks and slots. A plain program (no test framework, which would bring the real thread library).
#include <cstdio>
#include <new>
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

template <class F>
bool ThrowsBadAlloc(F f) {
  try {
    f();
  } catch (const std::bad_alloc&) {
    return true;
  } catch (...) {
  }
  return false;
}

}  // namespace

int main() {
  Check(ThrowsBadAlloc([] { std::vector<int> v; v.reserve(v.max_size() + 1); }), "vector beyond max_size");
  Check(ThrowsBadAlloc([] { std::string s; s.reserve(s.max_size() + 1); }), "string beyond max_size");
  Check(ThrowsBadAlloc([] { std::vector<char> v(size_t(1) << 62); }), "vector beyond memory");
  int caught = 0;
  for (int round = 0; round < 3; ++round) {
    try {
      try {
        throw round;
      } catch (int n) {
        caught += n;
        throw;
      }
    } catch (int n) {
      caught += n;
    }
  }
  Check(caught == 6, "throw, catch and rethrow");
  std::printf("%s\n", failures ? "SOME FAILED" : "ok");
  return failures;
}

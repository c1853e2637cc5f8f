// A small harness for the tests that run under wine: QtTest is not built for
// Windows here, so these programs use the standard library only. A test
// program is a list of named cases; a failed CHECK ends its case, the other
// cases still run, and the program's exit status tells whether all passed.
//
//   program           runs every case
//   program NAME...   runs the cases named
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace telvar::test {

struct CheckFailure {
  std::string what;
};

struct Case {
  const char* name;
  std::function<void()> run;
};

// A row of a table of cases: its name is printed with the failure.
inline std::string Row(std::string_view table, std::string_view row) {
  return std::string(table) + " [" + std::string(row) + "]";
}

inline int RunCases(int argc, char** argv, const std::vector<Case>& cases) {
  std::vector<std::string_view> wanted(argv + 1, argv + argc);
  int failed = 0, ran = 0;
  for (std::string_view name : wanted) {
    bool known = false;
    for (const Case& c : cases) known = known || name == c.name;
    if (!known) {
      std::printf("FAIL %.*s: no such case\n", int(name.size()), name.data());
      ++failed;
    }
  }
  for (const Case& c : cases) {
    if (!wanted.empty()) {
      bool chosen = false;
      for (std::string_view name : wanted) chosen = chosen || name == c.name;
      if (!chosen) continue;
    }
    ++ran;
    const auto start = std::chrono::steady_clock::now();
    std::string failure;
    try {
      c.run();
    } catch (const CheckFailure& f) {
      failure = f.what;
    } catch (const std::exception& e) {
      failure = std::string("exception: ") + e.what();
    } catch (...) {
      failure = "unknown exception";
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (failure.empty()) {
      std::printf("PASS %s (%lld ms)\n", c.name, static_cast<long long>(ms.count()));
    } else {
      std::printf("FAIL %s: %s\n", c.name, failure.c_str());
      ++failed;
    }
    std::fflush(stdout);
  }
  std::printf("%d of %d cases passed\n", ran - failed, ran);
  return failed == 0 ? 0 : 1;
}

// Builds a failure text from anything that streams: Text("took ", ms, " ms").
template <typename... Pieces>
std::string Text(const Pieces&... pieces) {
  std::ostringstream out;
  (out << ... << pieces);
  return out.str();
}

}  // namespace telvar::test

#define TELVAR_CHECK_AT(cond, file, line, ...)                                                                    \
  do {                                                                                                            \
    if (!(cond))                                                                                                  \
      throw ::telvar::test::CheckFailure{::telvar::test::Text(file, ":", line, ": ", #cond, " ", ##__VA_ARGS__)}; \
  } while (0)
// CHECK(condition) or CHECK(condition, what to print with it...).
#define CHECK(cond, ...) TELVAR_CHECK_AT(cond, __FILE__, __LINE__, ##__VA_ARGS__)
// CHECK_EQ(actual, expected): prints both when they differ.
#define CHECK_EQ(actual, expected, ...)                                                                         \
  do {                                                                                                          \
    const auto& telvar_a = (actual);                                                                            \
    const auto& telvar_e = (expected);                                                                          \
    TELVAR_CHECK_AT(telvar_a == telvar_e, __FILE__, __LINE__, "(got ", telvar_a, ", expected ", telvar_e, ") ", \
                    ##__VA_ARGS__);                                                                             \
  } while (0)

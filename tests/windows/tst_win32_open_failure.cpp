// The words a failed opening is shown with on Windows: the system's text
// for the error, as one clean phrase, with a hint where the usual cause is
// known.
#include <windows.h>

#include <string>
#include <vector>

#include "serial/com_port.h"
#include "serial/open_failure.h"
#include "tests/windows/check.h"

using telvar::test::Row;

namespace {

std::string ReasonFor(int error) { return telvar::OpenFailureReason(telvar::EComPort(1, error)); }

// The same code's text also comes in German or Russian on other machines,
// so the rows give what is fixed: the exact reason, or the hint after the
// system's own words.
struct ReasonRow {
  const char* name;
  int error;
  std::string exactly;  // "" where the system's words come first
  std::string hint;     // what follows them, ": " included
};

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The system's words as one phrase: there, without the line end or the
// full stop FormatMessage gives, and in UTF-8.
void CheckSystemWords(const std::string& words, const std::string& row) {
  CHECK(!words.empty(), row);
  CHECK(words.find_first_of("\r\n") == std::string::npos, row, ": ", words);
  CHECK(words.back() != '.' && words.back() != ' ', row, ": ", words);
  CHECK(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, words.data(), int(words.size()), nullptr, 0) > 0, row,
        ": not UTF-8");
}

void Reasons() {
  const std::vector<ReasonRow> rows = {
      {"no platform code", -1, "Unable to open com port", ""},
      {"held by another program", ERROR_ACCESS_DENIED, "busy: another program has the port open", ""},
      {"sharing violation", ERROR_SHARING_VIOLATION, "busy: another program has the port open", ""},
      {"no such file", ERROR_FILE_NOT_FOUND, "", ": no such port"},
      {"no such path", ERROR_PATH_NOT_FOUND, "", ": no such port"},
      {"any other", ERROR_GEN_FAILURE, "", ""},
      {"a code without a text", 0x2000FFFF, "error 536936447", ""},
  };
  for (const ReasonRow& row : rows) {
    const std::string reason = ReasonFor(row.error);
    const std::string where = Row("reasons", row.name);
    if (!row.exactly.empty()) {
      CHECK_EQ(reason, row.exactly, where);
      continue;
    }
    CHECK(EndsWith(reason, row.hint), where, ": ", reason);
    const std::string words = reason.substr(0, reason.size() - row.hint.size());
    CheckSystemWords(words, where);
    CHECK(words.rfind("error ", 0) != 0, where, ": the system's text is missing: ", words);
    std::printf("  %s: %s\n", row.name, reason.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) { return telvar::test::RunCases(argc, argv, {{"reasons", Reasons}}); }

#include "tests/fuzz/reply_path_checks.h"

#include <algorithm>

#include <QSpinBox>

#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "search/identification.h"
#include "serial/com_port.h"
#include "serial/connection_settings.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/offscreen_app.h"
#include "widgets/status_grid.h"

namespace telvar::fuzz {

namespace {

const QString kBaudQuestion = QStringLiteral("Сменить скорость обмена COM-порта ПК?");
const QString kFoundPrefix = QStringLiteral("   : ОБНАРУЖЕН ПРИБОР ");
const QString kLabelIndent = QStringLiteral("  ");
const QString kValueIndent = QStringLiteral("    ");
const QString kModelPrefix = QStringLiteral("    ТЕЛВАР-");
constexpr int kAddressDigits = 3;
constexpr int kEchoedValueLow = 5;  // a function-6 echo's value, low byte
constexpr uint8_t kStartBaudIndex = 3;

enum Function : uint8_t { kRead = 3, kWriteSingle = 6, kWriteMultiple = 16 };

bool IsException(uint8_t function) { return function == 131 || function == 134 || function == 144; }
bool IsAnswer(uint8_t function) { return function == kRead || function == kWriteSingle || function == kWriteMultiple; }
bool ValidAddress(int address) { return address >= kMinAddress && address <= kMaxAddress; }

bool IsFoundLine(const QString& line) { return line.startsWith(kFoundPrefix); }

bool IsClosingLine(const QString& line) {
  static const QStringList known{kLineOk,        kLineError, kLineCrcError, kLineTimeOut,
                                 kLineBadLength, kLineBadId, kLineNotFound};
  return known.contains(line) || IsFoundLine(line);
}

// Labels begin with two spaces, values with four.
void CheckGridTexts(const QStringList& cells) {
  for (int i = 0; i < cells.size(); ++i) {
    if (!cells[i].isEmpty()) FUZZ_CHECK(cells[i].startsWith(i % 2 == 0 ? kLabelIndent : kValueIndent));
  }
}

void CheckIdle(const BusLink& link, const Awaited& before) {
  FUZZ_CHECK(link.receivedCount == 0);
  FUZZ_CHECK(link.pendingReplyKind == kReplyNone);
  FUZZ_CHECK(link.echoGuard == 0);
  FUZZ_CHECK(link.deferredClick == 0);
  FUZZ_CHECK(!link.Timer_Rx.isActive());
  // Next comes the parked click, else the running operation's next step:
  // an operation never stalls on a bad reply.
  FUZZ_CHECK(link.Timer_Wait.isActive() == before.parkedClick);
  FUZZ_CHECK(link.Timer_Programm.isActive() == (!before.parkedClick && link.sequencingState != kStateIdle));
  FUZZ_CHECK(link.baudIndex < kBaudCount);
}

}  // namespace

QStringList GridCells(const StatusGrid& grid) {
  QStringList cells;
  for (int row = 0; row < grid.rowCount(); ++row) cells << grid.Cell(0, row) << grid.Cell(1, row);
  return cells;
}

void CheckTransactionEnd(const ProgramParts& program, const Awaited& before, const uint8_t* reply, uint16_t count) {
  BusLink& link = *program.link;
  CheckIdle(link, before);
  // Nothing went out on a line, and only a baud write's echo asks a question.
  FUZZ_CHECK(!program.port->Connected());
  for (const QString& text : Dialogs().texts) FUZZ_CHECK(text == kBaudQuestion);

  FrameBuffer received{};
  std::copy_n(reply, count, received.begin());
  const bool crcOk = count > 0 && ReplyCrcOk(received, count);
  const bool searching = before.state == kStateSearch;
  const uint8_t function = count >= 2 ? reply[1] : 0;

  // The log: the request, the reply (or the placeholder), the closing lines.
  const QStringList& lines = link.Log().Lines();
  FUZZ_CHECK(link.Log().Color() == kLogBlue);
  const qsizetype requestEnd = before.requestLines.size();
  FUZZ_CHECK(lines.mid(0, requestEnd) == before.requestLines);
  const bool shown = count > 0 && (crcOk || !searching);
  const QStringList replyLines = shown ? ByteLines(kReplyPrefix, reply, count) : QStringList{kPlaceholder};
  FUZZ_CHECK(lines.mid(requestEnd, replyLines.size()) == replyLines);
  const QStringList closing = lines.mid(requestEnd + replyLines.size());
  for (const QString& line : closing) FUZZ_CHECK(IsClosingLine(line));

  if (!crcOk) {
    if (searching) {
      // Silent, but after the step for 248 the search ends without a find.
      FUZZ_CHECK(closing == (before.address > kMaxAddress ? QStringList{kLineNotFound} : QStringList{}));
    } else if (count == 0) {
      FUZZ_CHECK(closing == QStringList{kLineTimeOut});
    } else {
      FUZZ_CHECK(closing ==
                 (IsException(function) ? QStringList{kLineError, kLineCrcError} : QStringList{kLineCrcError}));
    }
  } else if (IsException(function)) {
    FUZZ_CHECK(closing == QStringList{kLineError});
  } else if (!IsAnswer(function)) {
    FUZZ_CHECK(closing.isEmpty());
  } else {
    // A decoder's lines, then "ОК." unless a decoder turned the reply down.
    const bool rejected = closing.contains(kLineBadLength) || closing.contains(kLineBadId);
    const bool decoded = function == kRead && (before.kind == kReplyStatus || before.kind == kReplyIdentification);
    FUZZ_CHECK(!rejected || decoded);
    FUZZ_CHECK(closing.count(kLineOk) <= 1);
    if (rejected) FUZZ_CHECK(!closing.contains(kLineOk));
    // A reply already rejected gets no line; the search turns down, without
    // a line, a reply from outside 1..247.
    if (!closing.contains(kLineOk)) {
      FUZZ_CHECK(rejected || before.kind == kReplyRejected ||
                 (function == kRead && before.kind == kReplyIdentification));
    }
    if (closing.contains(kLineOk)) FUZZ_CHECK(closing.last() == kLineOk && closing.size() <= 2);
  }
  const bool okLine = closing.contains(kLineOk);

  // The status decoder: a rejected block leaves the grid as it was.
  const QStringList cells = GridCells(*program.grid);
  CheckGridTexts(cells);
  if (crcOk && function == kRead && before.kind == kReplyStatus) {
    if (okLine) {
      FUZZ_CHECK(cells[1].startsWith(kModelPrefix));
    } else {
      FUZZ_CHECK(cells == before.gridCells);
    }
  }

  // The device address stays within 1..247 and the address field shows it.
  const int address = link.deviceAddress;
  if (address != before.address) {
    FUZZ_CHECK(ValidAddress(address));
    FUZZ_CHECK(program.connection->TeSpinEdit1->value() == address);
  }
  const bool found = std::any_of(closing.begin(), closing.end(), IsFoundLine);
  if (found) {
    // The search ends at the address that answered, shown in three digits.
    FUZZ_CHECK(crcOk && function == kRead && before.kind == kReplyIdentification && okLine);
    FUZZ_CHECK(link.sequencingState == kStateIdle);
    FUZZ_CHECK(address == reply[0]);
    FUZZ_CHECK(closing.size() == 2 && closing[0].endsWith(ZeroPadded(uint16_t(address), kAddressDigits)));
  }
  if (closing.contains(kLineNotFound)) {
    FUZZ_CHECK(link.sequencingState == kStateIdle);
    FUZZ_CHECK(address == kMaxAddress);
  }

  // The write replies take the echoed value; only the baud reply asks.
  const bool echo = crcOk && function == kWriteSingle;
  const bool echoed = echo && count > kEchoedValueLow;
  if (echoed && before.kind == kReplyAddressWrite) {
    const int value = reply[kEchoedValueLow];
    FUZZ_CHECK(address == (ValidAddress(value) ? value : before.address));
  }
  if (echoed && before.kind == kReplyBaudWrite) {
    const int index = reply[kEchoedValueLow] - 1;
    FUZZ_CHECK(link.baudIndex == (index >= 0 && index < kBaudCount ? index : kStartBaudIndex));
  }
  FUZZ_CHECK(Dialogs().texts.size() <= 1);
  if (!(echo && before.kind == kReplyBaudWrite)) FUZZ_CHECK(Dialogs().texts.isEmpty());
}

}  // namespace telvar::fuzz

// Any bytes as a received reply, through the real end of a transaction in
// both windows: the CRC test, the traffic log, DispatchReply, the status
// decoders of telvar_v210 and telvar_105, the search's identification
// decoder and the address and baud reply handlers.
//
// Input: [flags] [kind] [state] [address] reply...
//   flags bit 0: telvar_105 (else telvar_v210); bit 1: the baud question is
//   answered Yes; bit 2: a click is parked; bit 3: the echo guard, for the
//   requests that do not set it; bits 5..7: the baud index.
//   kind, state, address: the pending reply kind, the sequencing state and
//   the device address, any value.
//   reply: the bytes the port read, at most the frame buffer's size; none
//   is a time-out.
//
// The frame buffer holds the awaited request as its sender left it, and the
// log shows it; the bytes past the received count are poisoned, so reading
// them is an error. No port is ever opened: the windows' port is a path
// that does not exist, and the timers that the end starts are stopped
// before they can fire.
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include <QCoreApplication>
#include <QMainWindow>

#include "console_v1/main_window.h"
#include "console_v1/status_decoder.h"
#include "console_v2/main_window.h"
#include "console_v2/status_decoder.h"
#include "link/bus_link.h"
#include "link/traffic_log.h"
#include "serial/com_port.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/no_port.h"
#include "tests/fuzz/offscreen_app.h"
#include "tests/fuzz/reply_path_checks.h"
#include "widgets/status_grid.h"

using namespace telvar;
using namespace telvar::fuzz;

namespace {

constexpr size_t kHeaderSize = 4;
constexpr uint8_t kFirstGenerationFlag = 0x01;
constexpr uint8_t kAnswerYesFlag = 0x02;
constexpr uint8_t kParkedClickFlag = 0x04;
constexpr uint8_t kEchoGuardFlag = 0x08;
constexpr int kBaudIndexShift = 5;

// Requests as the handlers send them.
constexpr uint8_t kRequestLength = 8;
constexpr uint16_t kModelRegister = 0;
constexpr uint16_t kSearchRegisterCount = 1;
constexpr uint16_t kAddressRegister = 1;
constexpr uint16_t kBaudRegister = 2;
constexpr uint16_t kAlarmResetRegister = 23;
constexpr uint16_t kAlarmResetValue = 0xAA55;
constexpr uint8_t kResistanceRegister = 12;
constexpr float kResistance = 0.62f;

struct Program {
  ProgramParts parts;
  uint16_t statusRegisters = 0;
};

template <class Form>
Program Open(uint16_t statusRegisters) {
  auto* form = new Form;  // lives for the whole run
  form->ComPort1().SetPort(kNoPort);
  return {{&form->Link(), &form->Connection(), &form->ComPort1(),
           form->template findChild<StatusGrid*>(QStringLiteral("StatusGrid"))},
          statusRegisters};
}

std::array<Program, 2>& Programs() {
  static std::array<Program, 2> programs = [] {
    std::array<Program, 2> built{Open<v2::TForm1>(v2::kStatusRegisterCount),
                                 Open<v1::TForm1>(v1::kStatusRegisterCount)};
    for (const Program& program : built) FUZZ_CHECK(program.parts.grid != nullptr);
    return built;
  }();
  return programs;
}

// The request whose reply the kind awaits, built where its sender builds
// it; returns its length.
uint8_t BuildAwaitedRequest(FrameBuffer& frame, const Program& program, const Awaited& awaited) {
  const uint8_t address = awaited.address;
  switch (awaited.kind) {
    case kReplyStatus:
      BuildReadHoldingRegisters(frame, address, kModelRegister, program.statusRegisters);
      return kRequestLength;
    case kReplyIdentification:
      BuildReadHoldingRegisters(frame, address, kModelRegister, kSearchRegisterCount);
      return kRequestLength;
    case kReplyAddressWrite: BuildWriteSingleRegister(frame, address, kAddressRegister, address); return kRequestLength;
    case kReplyBaudWrite:
      BuildWriteSingleRegister(frame, address, kBaudRegister, uint16_t(awaited.baudIndex + 1));
      return kRequestLength;
    case kReplyCalibration: return BuildWriteFloat(frame, address, kResistanceRegister, kResistance);
    default: BuildWriteSingleRegister(frame, address, kAlarmResetRegister, kAlarmResetValue); return kRequestLength;
  }
}

// The status request and the address, baud and model writes set the guard.
bool SetsEchoGuard(uint8_t kind) {
  return kind == kReplyStatus || kind == kReplyAddressWrite || kind == kReplyBaudWrite || kind == kReplyModelWrite;
}

// How far the end may read: the received bytes. The address and baud reply
// handlers read the echoed value (byte 5) of a function-6 reply however
// short it is; until they look at the count, the bytes up to it stay
// readable here.
size_t ReadableBytes(const uint8_t* reply, size_t count) {
  constexpr uint8_t kWriteSingle = 6;
  constexpr size_t kEchoedValueEnd = 6;
  if (count >= 2 && reply[1] == kWriteSingle) return std::max(count, kEchoedValueEnd);
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartOffscreenApplication();
  Programs();
  Dialogs().texts.clear();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderSize) return -1;
  const uint8_t flags = data[0];
  const Program& program = Programs()[flags & kFirstGenerationFlag ? 1 : 0];
  BusLink& link = *program.parts.link;

  Awaited before;
  before.kind = data[1];
  before.state = data[2];
  before.address = data[3];
  before.baudIndex = uint8_t(flags >> kBaudIndexShift);
  before.parkedClick = (flags & kParkedClickFlag) != 0;

  const uint8_t requestLength = BuildAwaitedRequest(link.frame, program, before);
  link.Log().LogRequest(link.frame.data(), requestLength);
  before.requestLines = ByteLines(kRequestPrefix, link.frame.data(), requestLength);
  before.gridCells = GridCells(*program.parts.grid);

  link.deviceAddress = before.address;
  link.baudIndex = before.baudIndex;
  link.sequencingState = before.state;
  link.pendingReplyKind = before.kind;
  link.echoGuard = SetsEchoGuard(before.kind) || (flags & kEchoGuardFlag) ? 1 : 0;
  link.deferredClick = before.parkedClick ? 1 : 0;
  Dialogs().texts.clear();
  Dialogs().answer = flags & kAnswerYesFlag ? QMessageBox::Yes : QMessageBox::No;

  // What the receive step read, over the request from byte 0.
  const uint8_t* reply = data + kHeaderSize;
  const uint16_t count = uint16_t(std::min(size - kHeaderSize, link.frame.size()));
  std::copy_n(reply, count, link.frame.begin());
  link.receivedCount = count;

  const size_t readable = ReadableBytes(reply, count);
  ASAN_POISON_MEMORY_REGION(link.frame.data() + readable, link.frame.size() - readable);
  link.Timer_RxTimer();
  ASAN_UNPOISON_MEMORY_REGION(link.frame.data(), link.frame.size());

  CheckTransactionEnd(program.parts, before, reply, count);
  link.Timer_Programm.stop();
  link.Timer_Wait.stop();
  // What the event loop would do before the next transaction (the windows'
  // repaints and layouts pile up otherwise); it sends nothing either.
  QCoreApplication::sendPostedEvents();
  FUZZ_CHECK(!program.parts.port->Connected());
  return 0;
}

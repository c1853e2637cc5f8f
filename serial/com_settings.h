// The settings of a serial port as the component's users give them: rates,
// character format, flow control, time-outs and queue sizes. Shared by the
// component (com_port.h) and its platform back-end (port_backend.h).
#pragma once

namespace telvar {

enum class TBaudRate {
  brCustom,
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};
enum class TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum class TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum class TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum class TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum class TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum class TSyncMethod { smThreadSync, smWindowSync, smNone };

struct TComTimeouts {
  int ReadInterval = -1;  // ms of silence that ends a read; -1: return at once
  int ReadTotalMultiplier = 0;
  int ReadTotalConstant = 0;
  int WriteTotalMultiplier = 100;  // ms per byte
  int WriteTotalConstant = 1000;   // ms
};

struct TComFlowControl {
  bool OutCTSFlow = false;
  bool OutDSRFlow = false;
  TDTRFlowControl ControlDTR = TDTRFlowControl::dtrDisable;
  TRTSFlowControl ControlRTS = TRTSFlowControl::rtsDisable;
  bool XonXoffOut = false;
  bool XonXoffIn = false;
  bool DSRSensitivity = false;
  bool TxContinueOnXoff = false;
  char XonChar = 17;
  char XoffChar = 19;
};

struct TComParity {
  TParityBits Bits = TParityBits::prNone;
  bool Check = false;
  bool Replace = false;
  char ReplaceChar = 0;
};

struct TComBuffer {
  int InputSize = 1024;
  int OutputSize = 1024;
};

}  // namespace telvar

// The serial ports Windows lists under HKEY_LOCAL_MACHINE in
// HARDWARE\DEVICEMAP\SERIALCOMM: one value per port, whose string data is
// the port's name (COM3). Standard library only; the registry calls live in
// win32_serial_comm_registry.cpp.
#pragma once

#include <string>
#include <vector>

namespace telvar {

struct SerialCommPorts {
  bool opened = false;             // false: the key cannot be opened
  std::vector<std::string> ports;  // the names' bytes, in the system's 8-bit code page
};

// The string data of the key's values: names in natural order, at most
// kMaxPlatformPorts; data of other types and empty names are left out.
SerialCommPorts ReadSerialCommRegistry();

}  // namespace telvar

// The platform's list of serial ports on Windows: the ports the registry
// lists, their names decoded from the system's 8-bit code page.
#include "serial/port_list.h"
#include "serial/serial_comm_registry.h"

namespace telvar {

PlatformPortList ReadPlatformPortList() {
  const SerialCommPorts registry = ReadSerialCommRegistry();
  PlatformPortList list;
  list.opened = registry.opened;
  for (const std::string& name : registry.ports)
    list.ports << QString::fromLocal8Bit(name.data(), qsizetype(name.size()));
  return list;
}

}  // namespace telvar

// The SERIALCOMM key read with the registry's ANSI calls: names and data
// come in the system's 8-bit code page, the one the port is opened with.
#include <windows.h>

#include <algorithm>
#include <optional>

#include "serial/max_platform_ports.h"
#include "serial/natural_order.h"
#include "serial/serial_comm_registry.h"

namespace telvar {

namespace {

constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// The key, closed when it goes.
class OpenKey {
 public:
  OpenKey(HKEY parent, const char* path) {
    // Reading asks for read access only: all access is granted to
    // administrators alone, and a technician without those rights would be
    // told there are no ports on a machine full of them.
    if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The name held by a REG_SZ value's data: up to its first NUL, or all of
// the data when whoever wrote it left the NUL out.
std::string NameFromStringData(const std::vector<char>& data, DWORD size) {
  const auto end = data.begin() + std::min<std::size_t>(size, data.size());
  return std::string(data.begin(), std::find(data.begin(), end, '\0'));
}

// The port name a value holds; none when its data is no string, is empty,
// or the value has gone since it was listed.
std::optional<std::string> PortNameOf(HKEY key, const char* valueName, DWORD longestData) {
  std::vector<char> data(longestData + 1);
  DWORD type = REG_NONE;
  DWORD size = DWORD(data.size());
  LSTATUS status = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  if (status == ERROR_MORE_DATA) {  // the value grew since the key was asked
    data.resize(size + 1);
    size = DWORD(data.size());
    status = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
  }
  if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  std::string name = NameFromStringData(data, size);
  if (name.empty()) return std::nullopt;
  return name;
}

}  // namespace

SerialCommPorts ReadSerialCommRegistry() {
  SerialCommPorts result;
  const OpenKey key(HKEY_LOCAL_MACHINE, kSerialCommKey);
  if (!key.get()) return result;
  result.opened = true;
  DWORD values = 0, longestName = 0, longestData = 0;
  if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &longestName,
                       &longestData, nullptr, nullptr) != ERROR_SUCCESS)
    return result;
  std::vector<char> name(longestName + 1);
  for (DWORD i = 0; i < values; ++i) {
    DWORD nameLength = DWORD(name.size());
    const LSTATUS status = RegEnumValueA(key.get(), i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;  // values went since the key was asked
    if (status != ERROR_SUCCESS) continue;     // a longer name came meanwhile
    if (auto port = PortNameOf(key.get(), name.data(), longestData)) result.ports.push_back(std::move(*port));
  }
  std::sort(result.ports.begin(), result.ports.end(),
            [](const std::string& a, const std::string& b) { return NaturalLessOf<char>(a, b); });
  if (result.ports.size() > std::size_t(kMaxPlatformPorts)) result.ports.resize(kMaxPlatformPorts);
  return result;
}

}  // namespace telvar

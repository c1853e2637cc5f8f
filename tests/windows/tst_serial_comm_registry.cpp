// The serial ports the registry lists, read from the prefix's own
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: each row writes the key afresh (wine
// puts its COM1 there, which goes first) and reads it back. The key as it
// stood is put back after each case.
//
// valuesFromRegAdd reads what run_in_prefix.sh --reg-add wrote with wine's
// reg tool just before; it is run only from there.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "serial/serial_comm_registry.h"
#include "tests/windows/check.h"

using telvar::test::Case;
using telvar::test::Row;

namespace {

constexpr const char* kKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

struct Value {
  std::string name;
  DWORD type = REG_SZ;
  std::string data;  // the bytes as stored, a string's NUL included only where written
};

// A REG_SZ value as the system writes one: its data ends with a NUL.
Value Port(std::string name, std::string port) { return {std::move(name), REG_SZ, port + '\0'}; }

// The key's values one by one, as a raw snapshot.
std::vector<Value> ValuesOf(HKEY key) {
  std::vector<Value> values;
  for (DWORD i = 0;; ++i) {
    char name[256];
    BYTE data[1024];
    DWORD nameLength = sizeof name, size = sizeof data, type = REG_NONE;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    values.push_back({std::string(name, nameLength), type, std::string(reinterpret_cast<char*>(data), size)});
  }
  return values;
}

void DeleteKey() {
  const LSTATUS status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
  CHECK(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND, "RegDeleteKeyA: ", status);
}

// The key made anew with the values given. It lies in the volatile
// HARDWARE tree, where only a volatile key can be made.
void WriteKey(const std::vector<Value>& values) {
  DeleteKey();
  HKEY key = nullptr;
  const LSTATUS created = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                          nullptr, &key, nullptr);
  CHECK(created == ERROR_SUCCESS, "RegCreateKeyExA: ", created);
  LSTATUS set = ERROR_SUCCESS;
  for (const Value& v : values) {
    set = RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                         DWORD(v.data.size()));
    if (set != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  CHECK(set == ERROR_SUCCESS, "RegSetValueExA: ", set);
}

// The key as the case found it, put back when the case ends, also when it
// fails: wine's reg tool cannot make the key again under the volatile tree.
class SavedKey {
 public:
  SavedKey() {
    HKEY key = nullptr;
    existed_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (existed_) {
      values_ = ValuesOf(key);
      RegCloseKey(key);
    }
  }
  ~SavedKey() {
    try {
      if (existed_)
        WriteKey(values_);
      else
        DeleteKey();
    } catch (const telvar::test::CheckFailure& f) {
      std::printf("could not put the key back: %s\n", f.what.c_str());
    }
  }
  SavedKey(const SavedKey&) = delete;
  SavedKey& operator=(const SavedKey&) = delete;

 private:
  bool existed_ = false;
  std::vector<Value> values_;
};

// The names one after the other, bytes outside printable ASCII as \xNN, an
// empty name as nothing between its commas.
std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    if (&name != &names.front()) text += ", ";
    for (unsigned char c : name) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, c >= 0x20 && c < 0x7f ? "%c" : "\\x%02X", c);
      text += escaped;
    }
  }
  return "[" + text + "]";
}

struct RegistryRow {
  const char* name;
  bool keyThere;
  std::vector<Value> values;
  bool opened;
  std::vector<std::string> ports;
};

void CheckRows(const char* table, const std::vector<RegistryRow>& rows) {
  const SavedKey saved;
  for (const RegistryRow& row : rows) {
    if (row.keyThere)
      WriteKey(row.values);
    else
      DeleteKey();
    const telvar::SerialCommPorts list = telvar::ReadSerialCommRegistry();
    CHECK_EQ(list.opened, row.opened, Row(table, row.name));
    CHECK_EQ(Joined(list.ports), Joined(row.ports), Row(table, row.name));
  }
}

// COM1..COM<count>, written from the last to the first.
std::vector<Value> ManyPorts(int count) {
  std::vector<Value> values;
  for (int i = count; i >= 1; --i)
    values.push_back(Port("\\Device\\Serial" + std::to_string(count - i), "COM" + std::to_string(i)));
  return values;
}

std::vector<std::string> PortNames(int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back("COM" + std::to_string(i));
  return names;
}

void NaturalOrderAndCap() {
  const std::vector<RegistryRow> rows = {
      {"numbers by value",
       true,
       {Port("\\Device\\Serial0", "COM10"), Port("\\Device\\Serial1", "COM2"), Port("\\Device\\Serial2", "COM1")},
       true,
       {"COM1", "COM2", "COM10"}},
      {"by letters first",
       true,
       {Port("\\Device\\VCP0", "COM3"), Port("\\Device\\Serial0", "CNCA0"), Port("\\Device\\Serial1", "COM12")},
       true,
       {"CNCA0", "COM3", "COM12"}},
      // A byte of the code page past ASCII comes after the letters, and comes back as it was stored.
      {"bytes past ASCII compare unsigned",
       true,
       {Port("\\Device\\A", "COM\xC0"), Port("\\Device\\B", "COMa"), Port("\\Device\\C", "COM1")},
       true,
       {"COM1", "COMa", "COM\xC0"}},
      {"exactly 32", true, ManyPorts(32), true, PortNames(32)},
      {"40, the first 32 in order", true, ManyPorts(40), true, PortNames(32)},
  };
  CheckRows("naturalOrderAndCap", rows);
}

void MissingOrEmptyKey() {
  const std::vector<RegistryRow> rows = {
      {"no key", false, {}, false, {}},
      {"key without values", true, {}, true, {}},
      {"only values that name no port", true, {{"\\Device\\Serial0", REG_DWORD, std::string(4, '\0')}}, true, {}},
  };
  CheckRows("missingOrEmptyKey", rows);
}

void ValueData() {
  const std::vector<RegistryRow> rows = {
      {"data of other types left out",
       true,
       {{"\\Device\\Binary", REG_BINARY, "COM7"},
        {"\\Device\\Multi", REG_MULTI_SZ, std::string("COM8\0\0", 6)},
        {"\\Device\\Expand", REG_EXPAND_SZ, std::string("COM9\0", 5)},
        {"\\Device\\Number", REG_DWORD, std::string("\x03\0\0\0", 4)},
        Port("\\Device\\Serial0", "COM4")},
       true,
       {"COM4"}},
      // Written without its NUL, as the longest data of the key: the name is read whole and no further.
      // (Wine hands the NUL back itself; Windows need not.)
      {"no terminating NUL",
       true,
       {{"\\Device\\Serial0", REG_SZ, "COM125"}, Port("\\Device\\Serial1", "COM3")},
       true,
       {"COM3", "COM125"}},
      {"only a NUL-less name", true, {{"\\Device\\Serial0", REG_SZ, "COM5"}}, true, {"COM5"}},
      {"name ends at the first NUL",
       true,
       {{"\\Device\\Serial0", REG_SZ, std::string("COM6\0COM7\0", 10)}},
       true,
       {"COM6"}},
      {"empty names left out",
       true,
       {{"\\Device\\Serial0", REG_SZ, std::string(1, '\0')},
        {"\\Device\\Serial1", REG_SZ, ""},
        Port("\\Device\\Serial2", "COM2")},
       true,
       {"COM2"}},
      {"the value's name is not the port's", true, {Port("COM1", "COM9")}, true, {"COM9"}},
  };
  CheckRows("valueData", rows);
}

// What run_in_prefix.sh --reg-add wrote with "reg add": four ports in no
// order, and a number.
void ValuesFromRegAdd() {
  const telvar::SerialCommPorts list = telvar::ReadSerialCommRegistry();
  CHECK(list.opened);
  CHECK_EQ(Joined(list.ports), Joined({"COM1", "COM3", "COM10", "COM12"}));
}

}  // namespace

int main(int argc, char** argv) {
  return telvar::test::RunCases(argc, argv,
                                {
                                    {"naturalOrderAndCap", NaturalOrderAndCap},
                                    {"missingOrEmptyKey", MissingOrEmptyKey},
                                    {"valueData", ValueData},
                                    {"valuesFromRegAdd", ValuesFromRegAdd},
                                });
}

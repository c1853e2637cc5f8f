// The words for a failed opening on Windows: the system's text for the
// error, with a hint where the usual cause is known.
#include <windows.h>

#include <string>

#include "serial/com_port.h"
#include "serial/open_failure.h"

namespace telvar {

namespace {

// A COM port that another program holds opens with access denied: the
// device is opened exclusively. The system's text for that says nothing of
// a port.
constexpr const char* kBusy = "busy: another program has the port open";
constexpr const char* kNoSuchPortHint = "no such port";

std::string Utf8(const wchar_t* text, int length) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(std::size_t(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

// The system's text for an error, without the line end and full stop it
// comes with. Asked for in UTF-16 and given in UTF-8, the encoding of the
// reasons on every platform: the ANSI text would be the code page's bytes.
std::string SystemText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? Utf8(text, int(length)) : std::string();
  if (text) LocalFree(text);
  const std::size_t end = message.find_last_not_of(" \r\n.");
  message.erase(end == std::string::npos ? 0 : end + 1);
  if (message.empty()) return "error " + std::to_string(error);
  return message;
}

}  // namespace

std::string OpenFailureReason(const EComPort& failure) {
  const int error = failure.PlatformErrorCode;
  if (error == -1) return failure.what();
  if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) return kBusy;
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    return SystemText(DWORD(error)) + ": " + kNoSuchPortHint;
  return SystemText(DWORD(error));
}

}  // namespace telvar

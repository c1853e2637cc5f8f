// The regular-file reader on Windows: the opened handle's type is checked,
// and anything but a file on a disk is closed again unread. Opening waits
// on nothing: a file another program holds without sharing fails at once.
#include <windows.h>

#include <algorithm>

#include "serial/regular_file.h"

namespace telvar {

namespace {

// The handle is kept as its bits; INVALID_HANDLE_VALUE, which CreateFileW
// gives on a failure and no open file ever has, is all ones like kClosed.
static_assert(sizeof(std::intptr_t) == sizeof(HANDLE));

HANDLE AsHandle(std::intptr_t bits) { return reinterpret_cast<HANDLE>(bits); }

bool IsDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// A disk file that is no directory: a pipe, a console or a COM port named
// like the file gives another type.
bool IsRegular(HANDLE file) {
  if (GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(file, &info) && !IsDirectory(info.dwFileAttributes);
}

}  // namespace

RegularFileReader::RegularFileReader(const QString& path) {
  // Shared for writing too: an editor that has the file open does not keep
  // the list from being read.
  const HANDLE file =
      CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  if (!IsRegular(file)) {
    CloseHandle(file);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

RegularFileReader::~RegularFileReader() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));
}

qsizetype RegularFileReader::Read(QByteArray& bytes, qsizetype max) {
  if (!IsOpen() || max <= 0) return 0;
  const DWORD want = DWORD(std::min<qsizetype>(max, MAXDWORD));
  const qsizetype old = bytes.size();
  bytes.resize(old + want);
  DWORD got = 0;
  const bool ok = ReadFile(AsHandle(handle_), bytes.data() + old, want, &got, nullptr);
  bytes.resize(old + (ok ? qsizetype(got) : 0));
  return ok ? qsizetype(got) : -1;
}

}  // namespace telvar

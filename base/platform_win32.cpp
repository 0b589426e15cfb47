#include <windows.h>

#include <cstdlib>

#include "base/fatal.h"
#include "base/platform.h"

namespace {

const wchar_t* W(const char16_t* s) {
  return reinterpret_cast<const wchar_t*>(s);
}

HANDLE H(TPlatformFile f) {
  return static_cast<HANDLE>(f);
}

uint32_t gOwnModule = uint32_t(reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)));

}  // namespace

void FatalOutOfMemory() {
  static const char kMessage[] = "Zorvat: out of memory\r\n";
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), kMessage, sizeof kMessage - 1, &written, nullptr);
  ExitProcess(kOutOfMemoryExitCode);
}

TPlatformFile PlatformOpenRead(const char16_t* path) {
  HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

TPlatformFile PlatformOpenWrite(const char16_t* path, bool append) {
  HANDLE h =
      CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, append ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  if (append && SetFilePointer(h, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    CloseHandle(h);
    return nullptr;
  }
  return h;
}

bool PlatformFileSize(TPlatformFile file, uint64_t* size) {
  LARGE_INTEGER li;
  if (!GetFileSizeEx(H(file), &li)) return false;
  *size = uint64_t(li.QuadPart);
  return true;
}

bool PlatformReadAt(TPlatformFile file, uint64_t offset, void* buffer, uint32_t n, uint32_t* got) {
  *got = 0;
  LARGE_INTEGER li;
  li.QuadPart = LONGLONG(offset);
  if (!SetFilePointerEx(H(file), li, nullptr, FILE_BEGIN)) return false;
  uint8_t* p = static_cast<uint8_t*>(buffer);
  while (*got < n) {
    DWORD chunk = 0;
    if (!ReadFile(H(file), p + *got, n - *got, &chunk, nullptr)) return false;
    if (chunk == 0) break;
    *got += chunk;
  }
  return true;
}

bool PlatformWrite(TPlatformFile file, const void* data, uint32_t n) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    DWORD written = 0;
    if (!WriteFile(H(file), p, n, &written, nullptr) || written == 0) return false;
    p += written;
    n -= written;
  }
  return true;
}

void PlatformClose(TPlatformFile file) {
  if (file != nullptr) CloseHandle(H(file));
}

bool PlatformFileExists(const char16_t* path) {
  DWORD attributes = GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t PlatformAnsiToWide(const uint8_t* bytes, uint32_t n, char16_t* out, uint32_t capacity) {
  if (n == 0) return 0;
  int units =
      MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes), int(n),
                          reinterpret_cast<wchar_t*>(out), out == nullptr ? 0 : int(capacity));
  return units > 0 ? uint32_t(units) : 0;
}

uint32_t PlatformWideToAnsi(const char16_t* units, uint32_t n, uint8_t* out, uint32_t capacity) {
  if (n == 0) return 0;
  int bytes = WideCharToMultiByte(CP_ACP, 0, W(units), int(n), reinterpret_cast<char*>(out),
                                  out == nullptr ? 0 : int(capacity), nullptr, nullptr);
  return bytes > 0 ? uint32_t(bytes) : 0;
}

bool PlatformWideCharToAnsiByte(char16_t unit, uint8_t* byte) {
  wchar_t w = wchar_t(unit);
  char out[4];
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &w, 1, out, sizeof out, nullptr,
                              &usedDefault);
  if (n != 1 || usedDefault) return false;
  *byte = uint8_t(out[0]);
  return true;
}

void PlatformBuildCaseTables(char16_t* upper, char16_t* lower) {
  for (uint32_t u = 0; u < 0xFFFF; ++u) {
    upper[u] = char16_t(u);
    lower[u] = char16_t(u);
  }
  upper[0xFFFF] = 0xFFFF;
  lower[0xFFFF] = 0xFFFF;
  CharUpperBuffW(reinterpret_cast<wchar_t*>(upper), 0xFFFF);
  CharLowerBuffW(reinterpret_cast<wchar_t*>(lower), 0xFFFF);
}

void PlatformBuildAnsiCaseTables(uint8_t* upper, uint8_t* lower) {
  for (int b = 0; b < 256; ++b) {
    upper[b] = uint8_t(b);
    lower[b] = uint8_t(b);
  }
  CharUpperBuffA(reinterpret_cast<char*>(upper), 256);
  CharLowerBuffA(reinterpret_cast<char*>(lower), 256);
}

uint32_t PlatformOwnModule() {
  return gOwnModule;
}

void PlatformSetOwnModule(uint32_t module) {
  gOwnModule = module;
}

int32_t PlatformMessageBox(uint32_t owner, const char16_t* text, const char16_t* caption,
                           uint32_t style) {
  return MessageBoxW(reinterpret_cast<HWND>(uintptr_t(owner)), W(text), W(caption), style);
}

bool PlatformCalendarToFileTime(const TCalendarTime& time, uint64_t* fileTime) {
  if (!IsValidCalendarTime(time)) return false;
  SYSTEMTIME st = {time.Year, time.Month,  time.DayOfWeek, time.Day,
                   time.Hour, time.Minute, time.Second,    time.Milliseconds};
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return false;
  *fileTime = (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return true;
}

bool PlatformFileTimeToCalendar(uint64_t fileTime, TCalendarTime* time) {
  FILETIME ft = {DWORD(fileTime), DWORD(fileTime >> 32)};
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&ft, &st)) return false;
  *time = {st.wYear, st.wMonth,  st.wDayOfWeek, st.wDay,
           st.wHour, st.wMinute, st.wSecond,    st.wMilliseconds};
  return true;
}

void PlatformSleep(uint32_t milliseconds) {
  Sleep(milliseconds);
}

uint32_t PlatformTickCount() {
  return GetTickCount();
}

uint64_t PlatformSystemTimeNow() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

std::u16string PlatformCommandLine() {
  return reinterpret_cast<const char16_t*>(GetCommandLineW());
}

uint32_t PlatformMessageBeep(uint32_t type) {
  MessageBeep(type);
  return GetLastError();
}

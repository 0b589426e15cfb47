// The few operating-system services the portable core needs. The Windows
// build implements them with Win32 (platform_win32.cpp), the native build
// with the C library (platform_posix.cpp, Windows-1252 as the ANSI code page).
// Everything else that touches the operating system is a Windows-only command
// family and is not part of the core.
#pragma once

#include <cstdint>
#include <string>

// ---- Files. Paths are zero-terminated UTF-16. ----
typedef void* TPlatformFile;  // null: not open

// Opens an existing file for reading, shared for reading and writing.
TPlatformFile PlatformOpenRead(const char16_t* path);
// Opens a file for writing, shared for reading and writing. With `append` the
// file must exist and writing starts at its end; otherwise it is created or
// emptied.
TPlatformFile PlatformOpenWrite(const char16_t* path, bool append);
bool PlatformFileSize(TPlatformFile file, uint64_t* size);
// Reads up to `n` bytes at `offset`; `*got` receives the number read.
bool PlatformReadAt(TPlatformFile file, uint64_t offset, void* buffer, uint32_t n, uint32_t* got);
// Writes all `n` bytes at the current end of what this handle wrote.
bool PlatformWrite(TPlatformFile file, const void* data, uint32_t n);
void PlatformClose(TPlatformFile file);
bool PlatformFileExists(const char16_t* path);

// ---- The system ANSI code page. ----
// Converts `n` bytes to UTF-16 units and returns how many units they give;
// with a null `out` only counts them (then `capacity` is ignored).
uint32_t PlatformAnsiToWide(const uint8_t* bytes, uint32_t n, char16_t* out, uint32_t capacity);
// Converts `n` UTF-16 units to ANSI bytes and returns how many bytes they give;
// with a null `out` only counts them. Units without a byte become '?'.
uint32_t PlatformWideToAnsi(const char16_t* units, uint32_t n, uint8_t* out, uint32_t capacity);
// The byte of one UTF-16 unit in the ANSI code page, if it has exactly one.
bool PlatformWideCharToAnsiByte(char16_t unit, uint8_t* byte);

// ---- Case tables. ----
// Fills upper[u] and lower[u] for every UTF-16 unit u with the platform's
// character case mapping (units without a single-unit mapping map to
// themselves; unit 0xFFFF always maps to itself).
void PlatformBuildCaseTables(char16_t* upper, char16_t* lower);
// The same for the 256 bytes of the ANSI code page.
void PlatformBuildAnsiCaseTables(uint8_t* upper, uint8_t* lower);

// ---- The module that contains the runtime. ----
uint32_t PlatformOwnModule();
void PlatformSetOwnModule(uint32_t module);

// ---- Message box: owner window, text, caption, style as the platform
// defines them; the result is the number of the button pressed. ----
int32_t PlatformMessageBox(uint32_t owner, const char16_t* text, const char16_t* caption,
                           uint32_t style);

// ---- The process and the user. ----
// The command line the process was started with.
std::u16string PlatformCommandLine();
// Plays a system sound of the given type; returns the platform's last error.
uint32_t PlatformMessageBeep(uint32_t type);

// ---- Calendar time and file time (100-ns intervals since 1601-01-01). ----
struct TCalendarTime {
  uint16_t Year, Month, DayOfWeek, Day, Hour, Minute, Second, Milliseconds;
};
// A Gregorian date from 1601 to 30827 with a time of day (the day of the week
// is not looked at). Both conversions below refuse any other.
bool IsValidCalendarTime(const TCalendarTime& time);
// False when the date is not a valid calendar time.
bool PlatformCalendarToFileTime(const TCalendarTime& time, uint64_t* fileTime);
bool PlatformFileTimeToCalendar(uint64_t fileTime, TCalendarTime* time);

// ---- Time. ----
void PlatformSleep(uint32_t milliseconds);
uint32_t PlatformTickCount();
// The system clock as a file time (UTC). Setting the clock is one of the
// system actions (system_actions.h).
uint64_t PlatformSystemTimeNow();

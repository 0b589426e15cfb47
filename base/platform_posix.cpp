// The portable core's services on Linux, for the native build that runs the
// sanitizers and fuzzers. The ANSI code page is Windows-1252, the case tables
// come from the C library's wide-character functions.
#include "base/platform_posix.h"

#include <locale.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <wctype.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "base/fatal.h"
#include "base/platform.h"
#include "base/utf8.h"

namespace {

// Windows-1252 bytes 0x80-0x9F; the five unassigned bytes map to the control
// units of the same value, as Windows converts them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t AnsiByteToUnit(uint8_t b) {
  return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b);
}

std::string ToUtf8(const char16_t* s) {
  std::string out;
  AppendUtf8(out, s);
  return out;
}

FILE* F(TPlatformFile f) {
  return static_cast<FILE*>(f);
}

locale_t Utf8Locale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return locale;
}

char16_t MapUnit(char16_t u, bool toUpper) {
  if (u >= 0xD800 && u < 0xE000) return u;
  locale_t locale = Utf8Locale();
  wint_t mapped = locale != nullptr ? (toUpper ? towupper_l(u, locale) : towlower_l(u, locale))
                                    : (toUpper ? towupper(u) : towlower(u));
  return mapped <= 0xFFFF ? char16_t(mapped) : u;
}

uint32_t gOwnModule = 1;
TMessageBoxObserver gMessageBoxObserver = nullptr;

constexpr uint64_t kTicksPerDay = 864000000000ull;
constexpr int64_t kDaysFrom1601To1970 = 134774;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = int64_t(yoe) + era * 400 + (*m <= 2);
}

}  // namespace

void FatalOutOfMemory() {
  static const char kMessage[] = "Zorvat: out of memory\n";
  ssize_t ignored = write(2, kMessage, sizeof kMessage - 1);
  (void)ignored;
  _exit(kOutOfMemoryExitCode);
}

TPlatformFile PlatformOpenRead(const char16_t* path) {
  return std::fopen(ToUtf8(path).c_str(), "rb");
}

TPlatformFile PlatformOpenWrite(const char16_t* path, bool append) {
  FILE* f = std::fopen(ToUtf8(path).c_str(), append ? "rb+" : "wb+");
  if (f != nullptr && append && std::fseek(f, 0, SEEK_END) != 0) {
    std::fclose(f);
    return nullptr;
  }
  return f;
}

bool PlatformFileSize(TPlatformFile file, uint64_t* size) {
  if (std::fseek(F(file), 0, SEEK_END) != 0) return false;
  long end = std::ftell(F(file));
  if (end < 0) return false;
  *size = uint64_t(end);
  return true;
}

bool PlatformReadAt(TPlatformFile file, uint64_t offset, void* buffer, uint32_t n, uint32_t* got) {
  *got = 0;
  if (std::fseek(F(file), long(offset), SEEK_SET) != 0) return false;
  *got = uint32_t(std::fread(buffer, 1, n, F(file)));
  return !std::ferror(F(file));
}

bool PlatformWrite(TPlatformFile file, const void* data, uint32_t n) {
  return std::fwrite(data, 1, n, F(file)) == n && std::fflush(F(file)) == 0;
}

void PlatformClose(TPlatformFile file) {
  if (file != nullptr) std::fclose(F(file));
}

bool PlatformFileExists(const char16_t* path) {
  struct stat info;
  return stat(ToUtf8(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

uint32_t PlatformAnsiToWide(const uint8_t* bytes, uint32_t n, char16_t* out, uint32_t capacity) {
  if (out == nullptr) return n;
  uint32_t count = n < capacity ? n : capacity;
  for (uint32_t i = 0; i < count; ++i) out[i] = AnsiByteToUnit(bytes[i]);
  return count;
}

uint32_t PlatformWideToAnsi(const char16_t* units, uint32_t n, uint8_t* out, uint32_t capacity) {
  if (out == nullptr) return n;
  uint32_t count = n < capacity ? n : capacity;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t b;
    out[i] = PlatformWideCharToAnsiByte(units[i], &b) ? b : uint8_t('?');
  }
  return count;
}

bool PlatformWideCharToAnsiByte(char16_t unit, uint8_t* byte) {
  if (unit < 0x80 || (unit >= 0xA0 && unit < 0x100)) {
    *byte = uint8_t(unit);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == unit) {
      *byte = uint8_t(0x80 + i);
      return true;
    }
  }
  return false;
}

void PlatformBuildCaseTables(char16_t* upper, char16_t* lower) {
  for (uint32_t u = 0; u < 0xFFFF; ++u) {
    upper[u] = MapUnit(char16_t(u), true);
    lower[u] = MapUnit(char16_t(u), false);
  }
  upper[0xFFFF] = 0xFFFF;
  lower[0xFFFF] = 0xFFFF;
}

void PlatformBuildAnsiCaseTables(uint8_t* upper, uint8_t* lower) {
  for (int b = 0; b < 256; ++b) {
    char16_t unit = AnsiByteToUnit(uint8_t(b));
    uint8_t mapped;
    upper[b] = PlatformWideCharToAnsiByte(MapUnit(unit, true), &mapped) ? mapped : uint8_t(b);
    lower[b] = PlatformWideCharToAnsiByte(MapUnit(unit, false), &mapped) ? mapped : uint8_t(b);
  }
}

uint32_t PlatformOwnModule() {
  return gOwnModule;
}

void PlatformSetOwnModule(uint32_t module) {
  gOwnModule = module;
}

void SetMessageBoxObserver(TMessageBoxObserver observer) {
  gMessageBoxObserver = observer;
}

int32_t PlatformMessageBox(uint32_t owner, const char16_t* text, const char16_t* caption,
                           uint32_t style) {
  (void)owner;
  if (gMessageBoxObserver != nullptr) return gMessageBoxObserver(text, caption, style);
  std::fprintf(stderr, "[%s] %s\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str());
  return 1;  // the OK button
}

bool PlatformCalendarToFileTime(const TCalendarTime& t, uint64_t* fileTime) {
  if (!IsValidCalendarTime(t)) return false;
  int64_t days = DaysFromCivil(t.Year, t.Month, t.Day) + kDaysFrom1601To1970;
  uint64_t ms = ((uint64_t(t.Hour) * 60 + t.Minute) * 60 + t.Second) * 1000 + t.Milliseconds;
  *fileTime = uint64_t(days) * kTicksPerDay + ms * 10000;
  return true;
}

bool PlatformFileTimeToCalendar(uint64_t fileTime, TCalendarTime* t) {
  if (fileTime >= 0x8000000000000000ull) return false;
  int64_t days = int64_t(fileTime / kTicksPerDay);
  uint64_t ms = (fileTime % kTicksPerDay) / 10000;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days - kDaysFrom1601To1970, &y, &m, &d);
  t->Year = uint16_t(y);
  t->Month = uint16_t(m);
  t->Day = uint16_t(d);
  t->DayOfWeek = uint16_t((days + 1) % 7);  // 1601-01-01 was a Monday
  t->Hour = uint16_t(ms / 3600000);
  t->Minute = uint16_t(ms / 60000 % 60);
  t->Second = uint16_t(ms / 1000 % 60);
  t->Milliseconds = uint16_t(ms % 1000);
  return true;
}

void PlatformSleep(uint32_t milliseconds) {
  timespec ts = {time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

uint32_t PlatformTickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint32_t(uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec) / 1000000);
}

uint64_t PlatformSystemTimeNow() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return (uint64_t(ts.tv_sec) + uint64_t(kDaysFrom1601To1970) * 86400) * 10000000 +
         uint64_t(ts.tv_nsec) / 100;
}

std::u16string PlatformCommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!raw.empty() && raw.back() == 0) raw.pop_back();
  std::u16string line;
  for (char c : raw) line += c == 0 ? u' ' : char16_t(static_cast<unsigned char>(c));
  return line;
}

// There is no speaker to drive in the native build; nothing fails either.
uint32_t PlatformMessageBeep(uint32_t) {
  return 0;
}

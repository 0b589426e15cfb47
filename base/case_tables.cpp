#include "base/case_tables.h"

#include "base/platform.h"

namespace {

struct TCaseTables {
  char16_t Upper[65536];
  char16_t Lower[65536];
  uint8_t AnsiUpper[256];
  uint8_t AnsiLower[256];

  TCaseTables() {
    PlatformBuildCaseTables(Upper, Lower);
    PlatformBuildAnsiCaseTables(AnsiUpper, AnsiLower);
  }
};

// Built when the module is loaded, before any script runs; every comparison
// after that is a plain table lookup.
const TCaseTables gTables;

}  // namespace

const char16_t* UpperCaseTable() {
  return gTables.Upper;
}
const char16_t* LowerCaseTable() {
  return gTables.Lower;
}
const uint8_t* AnsiUpperCaseTable() {
  return gTables.AnsiUpper;
}
const uint8_t* AnsiLowerCaseTable() {
  return gTables.AnsiLower;
}

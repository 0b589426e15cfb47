// The one table of what every status code means: the runtime's statuses and
// the compiler's result codes. The host uses it to report errors in words;
// docs/status-codes.md is generated from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct TStatusMeaning {
  uint32_t Code;
  const char* Name;  // the enumerator, so that a test can hold the table to the headers
  const char* Meaning;
};

extern const TStatusMeaning kRuntimeStatusMeanings[];
extern const size_t kRuntimeStatusMeaningCount;
extern const TStatusMeaning kCompileCodeMeanings[];
extern const size_t kCompileCodeMeaningCount;

// The meaning of a runtime status, or null for a code the runtime never
// returns (a script's own exit code, for example).
const char* RuntimeStatusMeaning(uint32_t code);

// docs/status-codes.md.
std::string StatusCodesDocument();

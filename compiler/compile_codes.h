// Result codes of a compilation. The error line and module travel beside the
// code in TRawScript (ErrLine, ErrModule).
#pragma once

#include <cstdint>

enum : uint32_t {
  kCompileOk = 0,
  kCompileUnreadableSource = 2,         // the main script or an included module cannot be read
  kCompileOutputFailed = 3,             // the output file cannot be opened or written
  kCompileUnknownLine = 100,            // first token is no keyword, command or label definition
  kCompileTooManyParams = 101,          // more parameters than the command takes, or one after "."
  kCompileTooFewParams = 102,           // fewer parameters than the command takes and no "."
  kCompileBadSectionDeclaration = 103,  // kind word or token count of a section declaration
  kCompileReservedSection = 104,        // a section declaration names "LDS" or "JTS"
  kCompileSectionKindClash = 105,       // a section declared again with the other kind
  kCompileUnknownDirective = 106,       // unknown & directive
  kCompileFileMissing = 107,            // file named by a file directive does not exist
  kCompileFileUnreadable = 108,         // file named by a file directive cannot be read
  kCompileDataInCodeSection = 109,      // data directive while a code section is current
  kCompileDefaultNotAllowed = 110,      // "$" where no default is allowed
  kCompileEndNotAllowed = 111,          // "." where the list may not end
  // Our own, for inputs that would otherwise never finish:
  kCompileModulesTooDeep = 112,      // inclusion nested more than kMaxInclusionDepth levels
  kCompileTooManyModules = 113,      // more than kMaxModuleLoads module loads in one compilation
  kCompileImageTooLarge = 114,       // the image would not fit the 32-bit lengths of the format
  kCompileIntegerExpected = 1000,    // integer expected (+, -, % forms)
  kCompileBadVariable = 1001,        // bad variable reference or _ number
  kCompileFloatExpected = 1002,      // floating-point number expected after *
  kCompileShortString = 1003,        // string literal shorter than its two quotes
  kCompileOddHexDigits = 1004,       // odd number of hexadecimal digits
  kCompileBadDate = 1005,            // bad date-time literal
  kCompileKindNotAllowed = 1006,     // the literal's kind is not allowed at this position
  kCompileBadCharacter = 1007,       // bad character literal
  kCompileEmptyLabel = 1008,         // empty label name
  kCompileNoSuchSection = 1009,      // a label reference names a section that does not exist
  kCompileNotANumber = 1020,         // token is neither an integer nor a floating-point number
  kCompileNoSuchLabel = 1021,        // no label matches a reference
  kCompileBadDataNumber = 1022,      // unreadable number in a data directive
  kCompileDataNumberRange = 1023,    // number outside the directive's range
  kCompileUnterminatedToken = 1025,  // unterminated quoted token
  kCompileIconFailed = 1026,         // the icon cannot be put into the executable
};

// A module that includes itself would otherwise recurse without end; real
// scripts nest a few levels.
constexpr uint32_t kMaxInclusionDepth = 64;
// Modules that include others twice over several levels multiply without
// nesting deeply; this bounds the expanded script instead.
constexpr uint32_t kMaxModuleLoads = 65536;

constexpr uint32_t kNoErrorLine = 0xFFFFFFFF;

// Result codes of a compilation. The error line and module travel beside the
// code in TRawScript (ErrLine, ErrModule).
#pragma once

#include <cstdint>

#include "include/zorvat_compiler.h"

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

constexpr uint32_t kNoErrorLine = ZC_NO_LINE;

// What a result code means, in a few words a host can show after
// "file:line: error CODE: ".
inline const char* CompileCodeText(uint32_t code) {
  switch (code) {
    case kCompileOk:
      return "no error";
    case kCompileUnreadableSource:
      return "the script or an included module cannot be read";
    case kCompileOutputFailed:
      return "the output file cannot be opened or written";
    case kCompileUnknownLine:
      return "not a keyword, a command name or a label definition";
    case kCompileTooManyParams:
      return "too many parameters, or a parameter after \".\"";
    case kCompileTooFewParams:
      return "too few parameters (end the list with \".\" where allowed)";
    case kCompileBadSectionDeclaration:
      return "malformed section declaration";
    case kCompileReservedSection:
      return "the section names LDS and JTS are reserved";
    case kCompileSectionKindClash:
      return "the section was declared before with the other kind";
    case kCompileUnknownDirective:
      return "unknown & directive";
    case kCompileFileMissing:
      return "the file named by the directive does not exist";
    case kCompileFileUnreadable:
      return "the file named by the directive cannot be read";
    case kCompileDataInCodeSection:
      return "data directive in a code section";
    case kCompileDefaultNotAllowed:
      return "\"$\" (default) is not allowed here";
    case kCompileEndNotAllowed:
      return "\".\" (end of parameters) is not allowed here";
    case kCompileModulesTooDeep:
      return "modules nested too deeply (does a module include itself?)";
    case kCompileTooManyModules:
      return "too many module inclusions";
    case kCompileImageTooLarge:
      return "the image would be too large";
    case kCompileIntegerExpected:
      return "integer expected";
    case kCompileBadVariable:
      return "bad variable reference";
    case kCompileFloatExpected:
      return "floating-point number expected";
    case kCompileShortString:
      return "string literal shorter than its quotes";
    case kCompileOddHexDigits:
      return "odd number of hexadecimal digits";
    case kCompileBadDate:
      return "bad date-time literal";
    case kCompileKindNotAllowed:
      return "this kind of literal is not allowed here";
    case kCompileBadCharacter:
      return "bad character literal";
    case kCompileEmptyLabel:
      return "empty label name";
    case kCompileNoSuchSection:
      return "the label reference names a section that does not exist";
    case kCompileNotANumber:
      return "neither an integer nor a floating-point number";
    case kCompileNoSuchLabel:
      return "no such label";
    case kCompileBadDataNumber:
      return "unreadable number in a data directive";
    case kCompileDataNumberRange:
      return "number out of the directive's range";
    case kCompileUnterminatedToken:
      return "unterminated quoted token";
    case kCompileIconFailed:
      return "the icon cannot be put into the program";
    default:
      return "compilation failed";
  }
}

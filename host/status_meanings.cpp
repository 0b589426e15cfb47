#include "host/status_meanings.h"

#include <cstdio>

#include "base/status.h"
#include "compiler/compile_codes.h"

#define ZV_MEANING(name, text) \
  { name, #name, text }
#define ZV_COMPILE_CODE(name) \
  { name, #name, CompileCodeText(name) }

// What each runtime status means, in words a script's author can act on. The
// host shows it after a failing command; docs/status-codes.md lists it.
const TStatusMeaning kRuntimeStatusMeanings[] = {
    ZV_MEANING(kStatusOk, "success"),
    ZV_MEANING(kStatusNoImage, "image file cannot be opened or read, or holds no image"),
    ZV_MEANING(kStatusMalformedImage,
               "malformed image (too short, bad magic, bad trailing length)"),
    ZV_MEANING(kStatusChecksumMismatch, "image checksum mismatch"),
    ZV_MEANING(kStatusBadCommandCode, "command code outside the dispatch table (preparation)"),
    ZV_MEANING(kStatusBadParamKind, "parameter kind byte above 14 (preparation)"),
    ZV_MEANING(kStatusNotCodeSection, "the named section is not a code section"),
    ZV_MEANING(kStatusBadVarKindForNumber,
               "variable of a kind the operation cannot read as a number or handle"),
    ZV_MEANING(kStatusBadParam, "a parameter is missing where required, or unusable"),
    ZV_MEANING(kStatusZeroCommandCode, "zero command code executed"),
    ZV_MEANING(kStatusException, "exception while commands ran"),
    ZV_MEANING(kStatusNoSuchSection, "no section of that name"),
    ZV_MEANING(kStatusRanOffCode, "execution ran past the end of its code section"),
    ZV_MEANING(kStatusBadJumpTarget, "a jump or return to a position that is not an instruction"),
    ZV_MEANING(kStatusFrameDepth, "more than 1,000,000 nested frames: a recursion without end"),
    ZV_MEANING(kStatusBadRadixOrKey, "radix outside 2-36 in digit output, or a bad key parameter"),
    ZV_MEANING(kStatusNoSuchVariable, "the variable reference names no variable"),
    ZV_MEANING(kStatusOutOfMemory, "a value cannot be allocated"),
    ZV_MEANING(kStatusNoFrame, "frame operation without a frame"),
    ZV_MEANING(kStatusWrongKind, "wrong variable or parameter kind for the operation"),
    ZV_MEANING(kStatusStartFailed, "starting a program failed"),
    ZV_MEANING(kStatusTerminateFailed, "termination failed"),
    ZV_MEANING(kStatusVarCountError, "count error in variable allocation or release"),
    ZV_MEANING(kStatusNoItems, "the variable's kind has no items, or is not one the command reads"),
    ZV_MEANING(kStatusDivisionByZero, "integer division by zero"),
    ZV_MEANING(kStatusCursorFailed, "cursor position cannot be read or set"),
    ZV_MEANING(kStatusIndexOutOfRange, "index out of range, or an item asked of an empty array"),
    ZV_MEANING(kStatusThreadPriorityFailed, "thread priority cannot be set"),
    ZV_MEANING(kStatusPriorityClassFailed, "priority class cannot be set"),
    ZV_MEANING(kStatusCopyMoveFailed, "copy or move failed"),
    ZV_MEANING(kStatusDeleteFailed, "delete failed"),
    ZV_MEANING(kStatusMessageFailed, "window message timed out or failed"),
    ZV_MEANING(kStatusWindowOperationFailed, "a window operation failed for at least one window"),
    ZV_MEANING(kStatusBadWindowRef, "bad window reference"),
    ZV_MEANING(kStatusCurrentDirGetFailed, "current directory cannot be read"),
    ZV_MEANING(kStatusCurrentDirSetFailed, "current directory cannot be set"),
    ZV_MEANING(kStatusSuspendResumeFailed, "suspend or resume failed"),
    ZV_MEANING(kStatusCloseHandleFailed, "handle cannot be closed"),
    ZV_MEANING(kStatusFileOpenFailed, "file cannot be opened"),
    ZV_MEANING(kStatusWriteFailed, "writing to a file or handle failed"),
    ZV_MEANING(kStatusOddOffset, "odd offset or byte list"),
    ZV_MEANING(kStatusReadFailed, "reading a file failed"),
    ZV_MEANING(kStatusProcessOpenFailed, "process cannot be opened"),
    ZV_MEANING(kStatusThreadOpenFailed, "thread cannot be opened"),
    ZV_MEANING(kStatusMemoryWriteFailed, "process memory cannot be written"),
    ZV_MEANING(kStatusMemoryReadFailed, "process memory cannot be read"),
    ZV_MEANING(kStatusEmptyCallStack, "return with an empty call stack"),
    ZV_MEANING(kStatusClockSetFailed, "the clock cannot be set"),
    ZV_MEANING(kStatusFileTimeSetFailed, "file times cannot be set"),
    ZV_MEANING(kStatusFileTimeGetFailed, "file times cannot be read"),
    ZV_MEANING(kStatusWindowRectFailed, "window rectangle cannot be read"),
    ZV_MEANING(kStatusPriorityGetFailed, "a priority cannot be read"),
    ZV_MEANING(kStatusBadSettingNumber, "runtime setting number outside 0-8"),
    ZV_MEANING(kStatusMenuItemNotFound, "menu item or submenu not found"),
    ZV_MEANING(kStatusMenuChangeFailed, "menu change failed"),
    ZV_MEANING(kStatusMenuCaptionFailed, "menu caption cannot be read"),
    ZV_MEANING(kStatusNoScreenDC, "no screen device context"),
    ZV_MEANING(kStatusBadRegistryRoot, "registry key path does not start with a known root name"),
    ZV_MEANING(kStatusRegKeyOpenFailed, "registry key cannot be opened or created"),
    ZV_MEANING(kStatusRegValueDeleteFailed, "registry value cannot be deleted"),
    ZV_MEANING(kStatusRegValueWriteFailed, "registry value cannot be written"),
    ZV_MEANING(kStatusRegValueReadFailed, "registry value cannot be read"),
    ZV_MEANING(kStatusRegKeyInfoFailed, "registry key information cannot be read"),
    ZV_MEANING(kStatusRegKeyDeleteFailed, "registry key cannot be deleted"),
    ZV_MEANING(kStatusClipboardSetFailed, "clipboard cannot be set"),
    ZV_MEANING(kStatusClipboardGetFailed, "clipboard cannot be read"),
    ZV_MEANING(kStatusFreeSpaceFailed, "free disk space cannot be read"),
    ZV_MEANING(kStatusSectionNotFound, "no section of that name (section commands)"),
    ZV_MEANING(kStatusSectionNotCode, "the named section is not a code section (section commands)"),
    ZV_MEANING(kStatusBadDigit, "bad digit"),
    ZV_MEANING(kStatusBadParseRadix, "radix outside 2-36 in parsing"),
    ZV_MEANING(kStatusEmptyNumberText, "empty number text"),
    ZV_MEANING(kStatusSortMismatch, "sort variables do not match"),
    ZV_MEANING(kStatusBadCallingConvention, "native call: calling convention above 4"),
    ZV_MEANING(kStatusLibraryLoadFailed, "native call: library cannot be loaded"),
    ZV_MEANING(kStatusFunctionNotExported, "native call: function not exported"),
    ZV_MEANING(kStatusBlockLengthMismatch, "block length does not fit the requested conversion"),
    ZV_MEANING(kStatusSpecialFolderIndex, "special-folder index above 63"),
    ZV_MEANING(kStatusSpecialFolderName, "special-folder name unknown"),
    ZV_MEANING(kStatusSearchStartFailed, "start folder of a search cannot be listed"),
    ZV_MEANING(kStatusSystemFunctionMissing,
               "a system function looked up at run time is not available"),
    ZV_MEANING(kStatusShutdownFailed, "shutdown privilege not obtained, or shutdown failed"),
    ZV_MEANING(kStatusSuspendFailed, "suspend or hibernate failed"),
    ZV_MEANING(kStatusLockFailed, "workstation lock failed"),
    ZV_MEANING(kStatusSectionOffsetBeyondEnd, "section offset beyond the section's length"),
    ZV_MEANING(kStatusEmptyFill, "fill with size 0 or an empty pattern"),
    ZV_MEANING(kStatusFolderCreateFailed, "folder creation failed"),
    ZV_MEANING(kStatusTreeDeleteFailed, "tree deletion failed"),
    ZV_MEANING(kStatusEmptyPathName, "path build with an empty name"),
    ZV_MEANING(kStatusTreeCopyErrors, "errors while copying or moving a tree"),
    ZV_MEANING(kStatusFileDialogFailed, "file dialog failed"),
    ZV_MEANING(kStatusExePathFailed, "executable path cannot be read"),
    ZV_MEANING(kStatusBadListMatchMode, "list match mode outside 1-4"),
    ZV_MEANING(kStatusAttributesFailed, "attributes cannot be read or set"),
    ZV_MEANING(kStatusFileFolderMismatch, "a folder where a file is expected, or the reverse"),
    ZV_MEANING(kStatusCoordinateMappingFailed, "client/screen coordinate mapping failed"),
    ZV_MEANING(kStatusIs64BitFailed, "64-bit process test failed"),
    ZV_MEANING(kStatusImagePathFailed, "process image path cannot be read"),
    ZV_MEANING(kStatusExpandFailed, "environment expansion failed"),
    ZV_MEANING(kStatusNotInThisBuild, "Windows-only command in the portable build"),
    ZV_MEANING(kStatusNotBuilt, "command family not built yet"),
};
const size_t kRuntimeStatusMeaningCount =
    sizeof kRuntimeStatusMeanings / sizeof *kRuntimeStatusMeanings;

// The compiler's result codes, with the words the compiler itself gives them.
const TStatusMeaning kCompileCodeMeanings[] = {
    ZV_COMPILE_CODE(kCompileOk),
    ZV_COMPILE_CODE(kCompileUnreadableSource),
    ZV_COMPILE_CODE(kCompileOutputFailed),
    ZV_COMPILE_CODE(kCompileUnknownLine),
    ZV_COMPILE_CODE(kCompileTooManyParams),
    ZV_COMPILE_CODE(kCompileTooFewParams),
    ZV_COMPILE_CODE(kCompileBadSectionDeclaration),
    ZV_COMPILE_CODE(kCompileReservedSection),
    ZV_COMPILE_CODE(kCompileSectionKindClash),
    ZV_COMPILE_CODE(kCompileUnknownDirective),
    ZV_COMPILE_CODE(kCompileFileMissing),
    ZV_COMPILE_CODE(kCompileFileUnreadable),
    ZV_COMPILE_CODE(kCompileDataInCodeSection),
    ZV_COMPILE_CODE(kCompileDefaultNotAllowed),
    ZV_COMPILE_CODE(kCompileEndNotAllowed),
    ZV_COMPILE_CODE(kCompileModulesTooDeep),
    ZV_COMPILE_CODE(kCompileTooManyModules),
    ZV_COMPILE_CODE(kCompileImageTooLarge),
    ZV_COMPILE_CODE(kCompileIntegerExpected),
    ZV_COMPILE_CODE(kCompileBadVariable),
    ZV_COMPILE_CODE(kCompileFloatExpected),
    ZV_COMPILE_CODE(kCompileShortString),
    ZV_COMPILE_CODE(kCompileOddHexDigits),
    ZV_COMPILE_CODE(kCompileBadDate),
    ZV_COMPILE_CODE(kCompileKindNotAllowed),
    ZV_COMPILE_CODE(kCompileBadCharacter),
    ZV_COMPILE_CODE(kCompileEmptyLabel),
    ZV_COMPILE_CODE(kCompileNoSuchSection),
    ZV_COMPILE_CODE(kCompileNotANumber),
    ZV_COMPILE_CODE(kCompileNoSuchLabel),
    ZV_COMPILE_CODE(kCompileBadDataNumber),
    ZV_COMPILE_CODE(kCompileDataNumberRange),
    ZV_COMPILE_CODE(kCompileUnterminatedToken),
    ZV_COMPILE_CODE(kCompileIconFailed),
};
const size_t kCompileCodeMeaningCount = sizeof kCompileCodeMeanings / sizeof *kCompileCodeMeanings;

const char* RuntimeStatusMeaning(uint32_t code) {
  for (const TStatusMeaning& row : kRuntimeStatusMeanings) {
    if (row.Code == code) return row.Meaning;
  }
  return nullptr;
}

namespace {

void AppendTable(std::string& out, const TStatusMeaning* rows, size_t count) {
  out += "| Code | Meaning |\n|---:|---|\n";
  for (size_t i = 0; i < count; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "%u", rows[i].Code);
    out += std::string("| ") + code + " | " + rows[i].Meaning + " |\n";
  }
}

}  // namespace

std::string StatusCodesDocument() {
  std::string out =
      "# Status codes\n"
      "\n"
      "<!-- Generated from host/status_meanings.cpp by tools/regen-docs.sh; do not edit. -->\n"
      "\n"
      "## Run time\n"
      "\n"
      "A command that fails returns one of these statuses. Unless the script has\n"
      "chosen another error policy, the script stops and the status becomes the exit\n"
      "code of `zorvat run` and of a stand-alone program. `zorvat run` reports it as\n"
      "`FILE:LINE: COMMAND failed with status N: MEANING`. The script reads the\n"
      "last status with runtime setting 0.\n"
      "\n";
  AppendTable(out, kRuntimeStatusMeanings, kRuntimeStatusMeaningCount);
  out +=
      "\n"
      "## Compilation\n"
      "\n"
      "The compiler's result codes, reported by `zorvat compile` and `zorvat run` as\n"
      "`FILE:LINE: error N: MEANING` and returned as their exit code.\n"
      "\n";
  AppendTable(out, kCompileCodeMeanings, kCompileCodeMeaningCount);
  return out;
}

// Runtime status codes: one 32-bit code space shared by the image loader,
// the executor, the variable layer and every command handler. 0 is success.
#pragma once

#include <cstdint>

// What every handler, loader step and export returns: 0 for success, else one
// of the codes below.
typedef uint32_t TStatus;

enum : uint32_t {
  kStatusOk = 0,                // success
  kStatusNoImage = 1,           // image file cannot be opened or read, or holds no image
  kStatusMalformedImage = 2,    // malformed image (too short, bad magic, bad trailing length)
  kStatusChecksumMismatch = 3,  // image checksum mismatch
  kStatusBadCommandCode = 21,   // command code outside the dispatch table (preparation)
  kStatusBadParamKind = 22,     // parameter kind byte above 14 (preparation)
  kStatusNotCodeSection = 23,   // the named section is not a code section
  kStatusBadVarKindForNumber =
      101,                // variable of a kind the operation cannot read as a number or handle
  kStatusBadParam = 102,  // a parameter is missing where required, or unusable
  kStatusZeroCommandCode = 103,  // zero command code executed
  kStatusException = 104,        // exception while commands ran
  kStatusNoSuchSection = 105,    // no section of that name
  // The executor stops a run with these three whatever ActionAfterError says,
  // because there is no sound place to continue:
  kStatusRanOffCode = 106,        // execution ran past the end of its code section
  kStatusBadJumpTarget = 107,     // a jump or return to a position that is not an instruction
  kStatusFrameDepth = 108,        // more than 1,000,000 nested frames: a recursion without end
  kStatusBadRadixOrKey = 1000,    // radix outside 2–36 in digit output, or a bad key parameter
  kStatusNoSuchVariable = 1001,   // the variable reference names no variable
  kStatusOutOfMemory = 1002,      // a value cannot be allocated
  kStatusNoFrame = 1003,          // frame operation without a frame
  kStatusWrongKind = 1004,        // wrong variable or parameter kind for the operation
  kStatusStartFailed = 1005,      // starting a program failed
  kStatusTerminateFailed = 1006,  // termination failed
  kStatusVarCountError = 1007,    // count error in variable allocation or release
  kStatusNoItems = 1008,  // the variable's kind has no items, or is not one the command reads
  kStatusDivisionByZero = 1009,         // integer division by zero
  kStatusCursorFailed = 1010,           // cursor position cannot be read or set
  kStatusIndexOutOfRange = 1011,        // index out of range, or an item asked of an empty array
  kStatusThreadPriorityFailed = 1012,   // thread priority cannot be set
  kStatusPriorityClassFailed = 1013,    // priority class cannot be set
  kStatusCopyMoveFailed = 1014,         // copy or move failed
  kStatusDeleteFailed = 1015,           // delete failed
  kStatusMessageFailed = 1016,          // window message timed out or failed
  kStatusWindowOperationFailed = 1018,  // a window operation failed for at least one window
  kStatusBadWindowRef = 1019,           // bad window reference
  kStatusCurrentDirGetFailed = 1020,    // current directory cannot be read
  kStatusCurrentDirSetFailed = 1021,    // current directory cannot be set
  kStatusSuspendResumeFailed = 1022,    // suspend or resume failed
  kStatusCloseHandleFailed = 1023,      // handle cannot be closed
  kStatusFileOpenFailed = 1024,         // file cannot be opened
  kStatusWriteFailed = 1025,            // writing to a file or handle failed
  kStatusOddOffset = 1026,              // odd offset or byte list
  kStatusReadFailed = 1028,             // reading a file failed
  kStatusProcessOpenFailed = 1029,      // process cannot be opened
  kStatusThreadOpenFailed = 1030,       // thread cannot be opened
  kStatusMemoryWriteFailed = 1031,      // process memory cannot be written
  kStatusMemoryReadFailed = 1032,       // process memory cannot be read
  kStatusEmptyCallStack = 1033,         // return with an empty call stack
  kStatusClockSetFailed = 1034,         // the clock cannot be set
  kStatusFileTimeSetFailed = 1035,      // file times cannot be set
  kStatusFileTimeGetFailed = 1036,      // file times cannot be read
  kStatusWindowRectFailed = 1037,       // window rectangle cannot be read
  kStatusPriorityGetFailed = 1038,      // a priority cannot be read
  kStatusBadSettingNumber = 1040,       // runtime setting number outside 0–8
  kStatusMenuItemNotFound = 1041,       // menu item or submenu not found
  kStatusMenuChangeFailed = 1042,       // menu change failed
  kStatusMenuCaptionFailed = 1043,      // menu caption cannot be read
  kStatusNoScreenDC = 1044,             // no screen device context
  kStatusBadRegistryRoot = 1045,        // registry key path does not start with a known root name
  kStatusRegKeyOpenFailed = 1046,       // registry key cannot be opened or created
  kStatusRegValueDeleteFailed = 1047,   // registry value cannot be deleted
  kStatusRegValueWriteFailed = 1048,    // registry value cannot be written
  kStatusRegValueReadFailed = 1049,     // registry value cannot be read
  kStatusRegKeyInfoFailed = 1050,       // registry key information cannot be read
  kStatusRegKeyDeleteFailed = 1051,     // registry key cannot be deleted
  kStatusClipboardSetFailed = 1052,     // clipboard cannot be set
  kStatusClipboardGetFailed = 1053,     // clipboard cannot be read
  kStatusFreeSpaceFailed = 1054,        // free disk space cannot be read
  kStatusSectionNotFound = 1055,        // no section of that name (section commands)
  kStatusSectionNotCode = 1056,        // the named section is not a code section (section commands)
  kStatusBadDigit = 1057,              // bad digit
  kStatusBadParseRadix = 1058,         // radix outside 2–36 in parsing
  kStatusEmptyNumberText = 1059,       // empty number text
  kStatusSortMismatch = 1060,          // sort variables do not match
  kStatusBadCallingConvention = 1061,  // native call: calling convention above 4
  kStatusLibraryLoadFailed = 1062,     // native call: library cannot be loaded
  kStatusFunctionNotExported = 1063,   // native call: function not exported
  kStatusBlockLengthMismatch = 1064,   // block length does not fit the requested conversion
  kStatusSpecialFolderIndex = 1065,    // special-folder index above 63
  kStatusSpecialFolderName = 1066,     // special-folder name unknown
  kStatusSearchStartFailed = 1067,     // start folder of a search cannot be listed
  kStatusSystemFunctionMissing = 1070,   // a system function looked up at run time is not available
  kStatusShutdownFailed = 1071,          // shutdown privilege not obtained, or shutdown failed
  kStatusSuspendFailed = 1073,           // suspend or hibernate failed
  kStatusLockFailed = 1074,              // workstation lock failed
  kStatusSectionOffsetBeyondEnd = 1075,  // section offset beyond the section's length
  kStatusEmptyFill = 1076,               // fill with size 0 or an empty pattern
  kStatusFolderCreateFailed = 1077,      // folder creation failed
  kStatusTreeDeleteFailed = 1078,        // tree deletion failed
  kStatusEmptyPathName = 1079,           // path build with an empty name
  kStatusTreeCopyErrors = 1080,          // errors while copying or moving a tree
  kStatusFileDialogFailed = 1081,        // file dialog failed
  kStatusExePathFailed = 1082,           // executable path cannot be read
  kStatusBadListMatchMode = 1083,        // list match mode outside 1–4
  kStatusAttributesFailed = 1084,        // attributes cannot be read or set
  kStatusFileFolderMismatch = 1085,      // a folder where a file is expected, or the reverse
  kStatusCoordinateMappingFailed = 1086,  // client/screen coordinate mapping failed
  kStatusIs64BitFailed = 1087,            // 64-bit process test failed
  kStatusImagePathFailed = 1088,          // process image path cannot be read
  kStatusExpandFailed = 1089,             // environment expansion failed
  // A command of the table whose family this runtime does not carry:
  kStatusNotInThisBuild = 1098,  // Windows-only command in the portable build
  kStatusNotBuilt = 1099,        // command family not built yet
};

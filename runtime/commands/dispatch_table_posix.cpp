// The portable build leaves out the families that only make sense on Windows.
#define ZV_WINDOWS_HANDLER(Name) &CmdNotInThisBuild
#include "runtime/commands/dispatch_table.inc"

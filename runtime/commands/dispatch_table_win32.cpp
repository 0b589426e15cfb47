// The Windows build carries every family.
#define ZV_WINDOWS_HANDLER(Name) &Cmd##Name
#include "runtime/commands/dispatch_table.inc"

// The runtime's answer to a heap that cannot satisfy a request of a valid
// size: the process ends (exit code kOutOfMemoryExitCode). Sizes that do not fit
// the runtime's 32-bit arithmetic are refused earlier and reported as 1002.
#pragma once

constexpr int kOutOfMemoryExitCode = 203;

[[noreturn]] void FatalOutOfMemory();

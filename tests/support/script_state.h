// For the native tests that run the script tests step by step: the scripts,
// compiled with the command list the compiler tables hold, and a run's
// variables written out for comparison.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/core/types.h"
#include "tests/support/image_builder.h"

// Every script test under `folder` (companion programs left out), sorted.
std::vector<std::filesystem::path> ScriptTestFiles(const std::filesystem::path& folder);

// A test name for a script: its folder and its stem, letters and digits only.
std::string ScriptTestName(const std::filesystem::path& path);

// The image of a script file, or nothing when it does not compile.
Bytes CompileScriptFile(const std::filesystem::path& path);
// The image of a script given as text, or nothing when it does not compile.
Bytes CompileScriptText(const std::string& source);

// Every variable of every frame by kind and content (not by address: a
// constant may be replaced by an equal copy of its own).
std::string DescribeVariables(const TScriptContext& context);

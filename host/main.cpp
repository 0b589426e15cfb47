// zorvat.exe: the console host. It compiles scripts with Zorvat_Compiler.dll
// and runs images with Zorvat.dll, both loaded from its own folder and used
// through their exported functions (include/zorvat.h,
// include/zorvat_compiler.h) as any host uses them, and reports on the
// console. Besides the libraries it links the runtime's image reader
// (zorvat_core): it reads and checks an image file itself before it hands
// the bytes to InitContext, so that it can say what is wrong with a file, and
// "info" describes an image without running it. The compiler's result texts
// for its messages come from compiler/compile_codes.h.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/status.h"
#include "host/command_names.h"
#include "host/compiler_library.h"
#include "host/disassembler.h"
#include "host/image_info.h"
#include "host/run_report.h"
#include "host/runtime_library.h"
#include "host/spy_win32.h"
#include "runtime/core/image.h"

namespace {

struct TCommandHelp {
  const wchar_t* Name;
  const char* Text;
};

const TCommandHelp kHelp[] = {
    {L"compile",
     "zorvat compile SCRIPT [-o IMAGE] [--map]\n"
     "  Compiles SCRIPT (and the modules it includes) into an image file, by\n"
     "  default SCRIPT with the extension .zvb. Errors are shown as\n"
     "  file:line: error CODE: meaning, and nothing is written; the exit code is\n"
     "  the compiler's result code (0 on success). With --map the line map\n"
     "  IMAGE.map is written beside the image, so that zorvat run IMAGE reports\n"
     "  a failing command at its line; the image itself is the same.\n"},
    {L"run",
     "zorvat run SCRIPT|IMAGE [--section NAME] [--box]\n"
     "  Runs a script (a file ending in .zvs, compiled first) or an image (any\n"
     "  other file: the image at its end) through Zorvat.dll, from the code\n"
     "  section NAME (default GCS). The exit code is the script's status: 0 when\n"
     "  it ends with exit code 0, its own exit code, or the code of the command\n"
     "  that failed. A failing command stops the script and is reported here as\n"
     "  FILE:LINE: COMMAND failed with status N: meaning (an image without its\n"
     "  IMAGE.map gives the command's offset instead of the line). With --box\n"
     "  the runtime shows its own \"Error in script\" box instead, as in a\n"
     "  stand-alone program. Scripts may still choose their own error policy\n"
     "  with runtime setting 3.\n"},
    {L"exe",
     "zorvat exe SCRIPT -o PROGRAM.exe\n"
     "  Builds a stand-alone program: a copy of ZorvatEx.exe with the compiled\n"
     "  script appended (and the icon the script names with &ICON). The program\n"
     "  runs the script and exits with its status. Nothing is left at PROGRAM.exe\n"
     "  when compiling fails.\n"},
    {L"dis",
     "zorvat dis IMAGE [-o LISTING]\n"
     "  Writes the image at the end of IMAGE (an image file or a stand-alone\n"
     "  program) back as source: each instruction as a statement, with its\n"
     "  offset in a comment, label slots as labels named after their offset,\n"
     "  data sections as &DB lines. zorvat compile turns the listing into the\n"
     "  same bytes. Exit code 0, or 1 when the image cannot be listed.\n"},
    {L"spy",
     "zorvat spy [--at X Y | --handle H] [--watch]\n"
     "  Shows the window under the mouse pointer (or at screen point X Y, or\n"
     "  with handle H): its handle, class, title, control identifier, process\n"
     "  and executable, rectangle on the screen and in its parent's client\n"
     "  area, its parent chain, and a WindowFind statement that finds it. With\n"
     "  --watch it shows the window again each time the pointer moves onto\n"
     "  another one, until Ctrl+C.\n"},
    {L"info",
     "zorvat info IMAGE\n"
     "  Reads the image at the end of IMAGE, checks it and shows its sections;\n"
     "  the exit code is the status a run would stop with before executing\n"
     "  (0 ok, 1 no image, 2 malformed, 3 checksum mismatch, 21 bad command code,\n"
     "  22 bad parameter kind).\n"},
};

const char kUsage[] =
    "usage: zorvat COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  compile SCRIPT [-o IMAGE] [--map]\n"
    "                                 compile a script into an image file\n"
    "  run SCRIPT|IMAGE [--section NAME] [--box]\n"
    "                                 compile if needed and run\n"
    "  exe SCRIPT -o PROGRAM.exe      build a stand-alone program\n"
    "  info IMAGE                     check an image and show its sections\n"
    "  dis IMAGE [-o LISTING]         write an image back as source\n"
    "  spy [--at X Y | --handle H] [--watch]\n"
    "                                 show the window under the mouse pointer\n"
    "  help [COMMAND]                 this text, or the help of one command\n"
    "                                 (also: zorvat COMMAND --help)\n";

int Usage(FILE* out, int code) {
  std::fputs(kUsage, out);
  return code;
}

int Help(const std::wstring& command, FILE* out, int code) {
  for (const TCommandHelp& help : kHelp) {
    if (command == help.Name) {
      std::fputs(help.Text, out);
      return code;
    }
  }
  return Usage(out, code);
}

std::string Narrow(const std::wstring& s) {
  return std::string(s.begin(), s.end());
}

bool EndsWithNoCase(const std::wstring& s, const std::wstring& suffix) {
  return s.size() >= suffix.size() &&
         _wcsicmp(s.c_str() + s.size() - suffix.size(), suffix.c_str()) == 0;
}

std::wstring WithExtension(const std::wstring& path, const std::wstring& extension) {
  size_t slash = path.find_last_of(L"\\/");
  size_t dot = path.find_last_of(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) dot = path.size();
  return path.substr(0, dot) + extension;
}

// Command-line arguments after the command word: positional ones and the
// options this command knows (each taking a value unless it is a flag).
struct TArguments {
  std::vector<std::wstring> Positional;
  std::wstring Output, Section;
  bool Box = false;
  bool Help = false;
  bool Map = false;
  TSpyTarget Spy;
};

bool ParseNumber(const wchar_t* text, long long* value) {
  wchar_t* end = nullptr;
  *value = wcstoll(text, &end, 0);
  return end != text && *end == 0;
}

bool ParseArguments(int argc, wchar_t** argv, TArguments& args) {
  for (int i = 2; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--help" || arg == L"-h") {
      args.Help = true;
    } else if (arg == L"-o" && i + 1 < argc) {
      args.Output = argv[++i];
    } else if (arg == L"--section" && i + 1 < argc) {
      args.Section = argv[++i];
    } else if (arg == L"--box") {
      args.Box = true;
    } else if (arg == L"--map") {
      args.Map = true;
    } else if (arg == L"--watch") {
      args.Spy.Watch = true;
    } else if (arg == L"--at" && i + 2 < argc) {
      long long x = 0, y = 0;
      if (!ParseNumber(argv[i + 1], &x) || !ParseNumber(argv[i + 2], &y)) return false;
      args.Spy.HasPoint = true;
      args.Spy.X = int(x);
      args.Spy.Y = int(y);
      i += 2;
    } else if (arg == L"--handle" && i + 1 < argc) {
      long long handle = 0;
      if (!ParseNumber(argv[++i], &handle)) return false;
      args.Spy.Handle = uint32_t(handle);
    } else if (!arg.empty() && arg[0] == L'-') {
      return false;
    } else {
      args.Positional.push_back(arg);
    }
  }
  return true;
}

bool LoadCompiler(TCompilerLibrary& compiler) {
  std::wstring error;
  if (compiler.Load(error)) return true;
  std::fprintf(stderr, "zorvat: %ls\n", error.c_str());
  return false;
}

// Compiles and reports; the result code, 0 on success.
int CompileTo(TCompilerLibrary& compiler, const std::wstring& script, const std::wstring& output,
              bool program) {
  TCompileResult result = compiler.Compile(script, output, program);
  if (result.Code != 0) std::fprintf(stderr, "%s\n", FormatCompileError(script, result).c_str());
  return result.Code;
}

// A file name in the temporary folder for the image of `zorvat run SCRIPT`,
// removed as soon as the image is in memory.
std::wstring TemporaryImagePath() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"zv", 0, path) == 0) {
    return std::wstring();
  }
  return path;
}

int RunInfo(const TArguments& args) {
  if (args.Positional.size() != 1) return Help(L"info", stderr, 2);
  std::string report;
  TStatus status =
      DescribeImageFile(reinterpret_cast<const char16_t*>(args.Positional[0].c_str()), report);
  std::fputs(report.c_str(), stdout);
  std::printf("status: %u\n", status);
  return int(status);
}

// A whole file's bytes, or an empty text when it cannot be read.
std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return bytes;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

int RunCompile(const TArguments& args) {
  if (args.Positional.size() != 1) return Help(L"compile", stderr, 2);
  const std::wstring& script = args.Positional[0];
  TCompilerLibrary compiler;
  if (!LoadCompiler(compiler)) return 1;
  std::wstring output = args.Output.empty() ? WithExtension(script, L".zvb") : args.Output;
  if (!args.Map) return CompileTo(compiler, script, output, false);
  TCompileResult result = compiler.CompileWithMap(script, output, output + L".map");
  if (result.Code != 0) std::fprintf(stderr, "%s\n", FormatCompileError(script, result).c_str());
  return result.Code;
}

// The command list beside the host: command names for reports and listings.
bool LoadCommandNames(TCommandNames& names) {
  std::string error;
  std::wstring path = ProgramFolder() + L"Commands.txt";
  if (ParseCommandNames(ReadWholeFile(path), &names, &error) && !names.Commands.empty()) {
    return true;
  }
  std::fprintf(stderr, "zorvat: %ls: %s\n", path.c_str(),
               error.empty() ? "cannot be read" : error.c_str());
  return false;
}

int RunDis(const TArguments& args) {
  if (args.Positional.size() != 1) return Help(L"dis", stderr, 2);
  const std::wstring& file = args.Positional[0];
  TCommandNames commands;
  if (!LoadCommandNames(commands)) return 1;
  TListingKeywords keywords;
  ParseListingKeywords(ReadWholeFile(ProgramFolder() + L"CompilerKeywords.txt"), &keywords);
  uint8_t* image = nullptr;
  uint32_t length = 0;
  TStatus status = LoadImageFile(reinterpret_cast<const char16_t*>(file.c_str()), &image, &length);
  if (status == kStatusOk) status = ValidateImage(image, length);
  if (status != kStatusOk) {
    std::fprintf(stderr, "zorvat: %ls: no valid image (status %u)\n", file.c_str(), status);
    if (image != nullptr) FreeImage(image);
    return 1;
  }
  std::string listing, error;
  bool listed = Disassemble(image, length, commands, keywords, &listing, &error);
  FreeImage(image);
  if (!listed) {
    std::fprintf(stderr, "zorvat: %ls: %s\n", file.c_str(), error.c_str());
    return 1;
  }
  listing = "; " + Narrow(file) + ": " + std::to_string(length) + "-byte image\n" + listing;
  if (args.Output.empty()) {
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    return 0;
  }
  FILE* out = _wfopen(args.Output.c_str(), L"wb");
  bool written =
      out != nullptr && std::fwrite(listing.data(), 1, listing.size(), out) == listing.size();
  if (out != nullptr) written = std::fclose(out) == 0 && written;
  if (!written) std::fprintf(stderr, "zorvat: cannot write %ls\n", args.Output.c_str());
  return written ? 0 : 1;
}

int RunExe(const TArguments& args) {
  if (args.Positional.size() != 1 || args.Output.empty()) return Help(L"exe", stderr, 2);
  TCompilerLibrary compiler;
  if (!LoadCompiler(compiler)) return 1;
  std::wstring runner = ProgramFolder() + L"ZorvatEx.exe";
  if (!CopyFileW(runner.c_str(), args.Output.c_str(), FALSE)) {
    std::fprintf(stderr, "zorvat: cannot copy %ls to %ls\n", runner.c_str(), args.Output.c_str());
    return 1;
  }
  int code = CompileTo(compiler, args.Positional[0], args.Output, true);
  // A runner copy without its image would only exit with status 2.
  if (code != 0) DeleteFileW(args.Output.c_str());
  return code;
}

// Loads the image to run: from the file itself, or compiled from a script
// into a temporary file. Returns 0 or the status to exit with.
int LoadRunImage(const std::wstring& file, uint8_t** bytes, uint32_t* length,
                 std::string* lineMap) {
  std::wstring imagePath = file;
  std::wstring mapPath = file + L".map";
  if (EndsWithNoCase(file, L".zvs")) {
    TCompilerLibrary compiler;
    if (!LoadCompiler(compiler)) return 1;
    imagePath = TemporaryImagePath();
    if (imagePath.empty()) {
      std::fprintf(stderr, "zorvat: no temporary file for the compiled script\n");
      return 1;
    }
    mapPath = imagePath + L".map";
    TCompileResult result = compiler.CompileWithMap(file, imagePath, mapPath);
    if (result.Code != 0) {
      std::fprintf(stderr, "%s\n", FormatCompileError(file, result).c_str());
      DeleteFileW(imagePath.c_str());
      DeleteFileW(mapPath.c_str());
      return result.Code;
    }
  }
  *lineMap = ReadWholeFile(mapPath);
  if (imagePath != file) DeleteFileW(mapPath.c_str());
  TStatus status =
      LoadImageFile(reinterpret_cast<const char16_t*>(imagePath.c_str()), bytes, length);
  if (imagePath != file) DeleteFileW(imagePath.c_str());
  if (status == kStatusOk) status = ValidateImage(*bytes, *length);
  if (status != kStatusOk) {
    std::fprintf(stderr, "zorvat: %ls: %s (status %u)\n", file.c_str(),
                 status == kStatusNoImage            ? "no image at the end of the file"
                 : status == kStatusChecksumMismatch ? "checksum mismatch"
                                                     : "malformed image",
                 status);
  }
  return int(status);
}

// Runs an image in the three steps a host may use, so that a failing command
// can be reported here instead of in a box.
int RunImage(const TArguments& args) {
  if (args.Positional.size() != 1) return Help(L"run", stderr, 2);
  const std::wstring& file = args.Positional[0];
  std::string section = args.Section.empty() ? "GCS" : Narrow(args.Section);
  TRuntimeLibrary runtime;
  std::wstring error;
  if (!runtime.Load(error)) {
    std::fprintf(stderr, "zorvat: %ls\n", error.c_str());
    return 1;
  }
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  std::string mapText;
  int loaded = LoadRunImage(file, &bytes, &length, &mapText);
  if (loaded != 0) return loaded;
  TLineMap map;
  const bool mapped = !mapText.empty() && ParseLineMap(mapText, bytes, length, &map);
  // The record and the image stay in place for the whole run; they are the
  // process's until it ends (the exported interface has no release step).
  static TScriptContextRecord record{};
  TScriptContext* context = reinterpret_cast<TScriptContext*>(&record);
  TStatus status = runtime.InitContext(context, bytes, length);
  if (!args.Box) record.ActionAfterError = ZV_ERROR_POLICY_STOP;
  if (status == kStatusOk) status = runtime.CompileScript(context);
  if (status != kStatusOk) {
    std::fprintf(stderr, "zorvat: %ls: the image does not prepare: status %u at offset 0x%X\n",
                 file.c_str(), status, record.Error_At);
    return int(status);
  }
  std::fflush(stdout);
  status = runtime.ExecuteByteCode(context, section.c_str());
  if (status == kStatusNoSuchSection || status == kStatusNotCodeSection) {
    std::fprintf(stderr, "zorvat: %ls: %s: %s\n", file.c_str(), section.c_str(),
                 status == kStatusNoSuchSection ? "no such section" : "not a code section");
  } else if (status != kStatusOk && !args.Box) {
    TCommandNames commands;
    const bool named = LoadCommandNames(commands);
    std::string report = DescribeRunError(mapped ? &map : nullptr, named ? &commands : nullptr,
                                          bytes, length, status, record.Error_At, Narrow(file));
    std::fprintf(stderr, "%s\n", report.c_str());
  }
  return int(status);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage(stderr, 2);
  std::wstring command = argv[1];
  if (command == L"help" || command == L"--help" || command == L"-h") {
    return argc > 2 ? Help(argv[2], stdout, 0) : Usage(stdout, 0);
  }
  TArguments args;
  if (!ParseArguments(argc, argv, args)) return Help(command, stderr, 2);
  if (args.Help) return Help(command, stdout, 0);
  if (command == L"compile") return RunCompile(args);
  if (command == L"run") return RunImage(args);
  if (command == L"exe") return RunExe(args);
  if (command == L"info") return RunInfo(args);
  if (command == L"dis") return RunDis(args);
  if (command == L"spy") return RunSpy(args.Spy);
  std::fprintf(stderr, "zorvat: unknown command %ls\n", command.c_str());
  return Usage(stderr, 2);
}

// Writes the editor grammar (a TextMate grammar, editors/vscode/syntaxes/
// zorvat.tmLanguage.json) from the command table and the keyword file, so
// that every command the compiler knows is coloured as one and nothing is
// kept in step by hand.
//   gen_grammar KEYWORD_FILE OUTPUT
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/command_list.h"

namespace {

// The keyword file's words by index: 0 SECTION, 1 CODE, 2 DATA, 3-12 the
// directives.
bool ReadKeywords(const std::string& path, std::vector<std::string>* words) {
  std::ifstream in(path);
  if (!in) return false;
  words->assign(13, std::string());
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t comma = line.find(',');
    if (comma == std::string::npos) continue;
    unsigned index = unsigned(std::stoul(line.substr(0, comma)));
    if (index < words->size()) (*words)[index] = line.substr(comma + 1);
  }
  return true;
}

// A word as a regular expression that matches it literally.
std::string Quote(const std::string& word) {
  std::string out;
  for (char c : word) {
    if (std::string("\\^$.|?*+()[]{}&").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Alternatives(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : "|") + Quote(w);
  return out;
}

struct TRule {
  const char* Key;
  std::string Match;
  const char* Scope;
  std::vector<std::pair<int, const char*>> Captures;
};

// A token stands between blanks (or the line's ends); the compiler reads
// nothing finer than that.
const char kBefore[] = "(?<=^|\\s)";
const char kAfter[] = "(?=\\s|$)";

std::string Grammar(const std::vector<std::string>& keywords,
                    const std::vector<std::string>& commands) {
  const std::string before = kBefore, after = kAfter;
  std::vector<std::string> directives(keywords.begin() + 3, keywords.end());
  std::vector<TRule> rules = {
      {"comment", before + ";" + after + ".*$", "comment.line.semicolon.zorvat", {}},
      {"section",
       "(?i)^\\s*(" + Quote(keywords[0]) + ")\\s+(" + Quote(keywords[1]) + "|" +
           Quote(keywords[2]) + ")\\s+(\\S+)",
       "meta.section.zorvat",
       {{1, "keyword.control.section.zorvat"},
        {2, "storage.type.section.zorvat"},
        {3, "entity.name.section.zorvat"}}},
      {"directive",
       "(?i)^\\s*(" + Alternatives(directives) + ")" + after,
       "keyword.other.directive.zorvat",
       {}},
      {"label-definition", "^\\s*\\^@?\\.?\\S+", "entity.name.label.zorvat", {}},
      {"command",
       "(?i)^\\s*(" + Alternatives(commands) + ")" + after,
       "support.function.command.zorvat",
       {}},
      {"label-reference", before + "\\^@?\\S+", "variable.other.label.zorvat", {}},
      {"text",
       before + "\"(?:[^\"]|\"\"|\"(?!\\s|$))*\"" + after,
       "string.quoted.double.zorvat",
       {}},
      {"eight-bit-text",
       before + "'(?:[^']|''|'(?!\\s|$))*'" + after,
       "string.quoted.single.zorvat",
       {}},
      {"hex-block", before + "!(?:[^!]|!!|!(?!\\s|$))*!" + after, "string.other.block.zorvat", {}},
      {"date", before + "#[0-9.,:]+" + after, "constant.other.date.zorvat", {}},
      {"integer64",
       before + "%[+-]?(?:0[xX][0-9A-Fa-f]+|\\$[0-9A-Fa-f]+|\\d+)" + after,
       "constant.numeric.integer.64.zorvat",
       {}},
      {"float",
       before + "\\*[+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?" + after,
       "constant.numeric.float.zorvat",
       {}},
      {"variable", before + "@_?\\d+" + after, "variable.other.reference.zorvat", {}},
      {"local-number", before + "_\\d+" + after, "variable.other.local.zorvat", {}},
      {"character", before + "~~?\\S" + after, "constant.character.zorvat", {}},
      {"default", before + "\\$" + after, "keyword.operator.default.zorvat", {}},
      {"end", before + "\\." + after, "keyword.operator.end.zorvat", {}},
      {"number",
       before +
           "[+-]?(?:0[xX][0-9A-Fa-f]+|\\$[0-9A-Fa-f]+|(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)" +
           after,
       "constant.numeric.zorvat",
       {}},
  };
  std::ostringstream out;
  out << "{\n"
      << "  \"$comment\": \"Generated from runtime/commands/command_table.def by "
         "tools/gen_grammar.cpp; "
         "do not edit.\",\n"
      << "  \"name\": \"Zorvat\",\n"
      << "  \"scopeName\": \"source.zorvat\",\n"
      << "  \"fileTypes\": [\"zvs\"],\n"
      << "  \"patterns\": [\n";
  for (size_t i = 0; i < rules.size(); ++i) {
    out << "    {\"include\": \"#" << rules[i].Key << "\"}" << (i + 1 < rules.size() ? "," : "")
        << "\n";
  }
  out << "  ],\n  \"repository\": {\n";
  for (size_t i = 0; i < rules.size(); ++i) {
    const TRule& r = rules[i];
    out << "    " << Json(r.Key) << ": {\n      \"match\": " << Json(r.Match) << ",\n";
    out << "      \"name\": " << Json(r.Scope);
    if (!r.Captures.empty()) {
      out << ",\n      \"captures\": {";
      for (size_t k = 0; k < r.Captures.size(); ++k) {
        out << (k ? ", " : "") << "\"" << r.Captures[k].first
            << "\": {\"name\": " << Json(r.Captures[k].second) << "}";
      }
      out << "}";
    }
    out << "\n    }" << (i + 1 < rules.size() ? "," : "") << "\n";
  }
  out << "  }\n}\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: gen_grammar KEYWORD_FILE OUTPUT\n";
    return 2;
  }
  TCommandTable table;
  std::string error;
  if (!BuildShippedCommandTable(&table, &error)) {
    std::cerr << "runtime/commands/command_table.def: " << error << "\n";
    return 1;
  }
  std::vector<std::string> keywords;
  if (!ReadKeywords(argv[1], &keywords)) {
    std::cerr << "gen_grammar: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::vector<std::string> commands;
  for (const TCommandInfo& c : table.Commands) {
    if (c.Code != 0) commands.push_back(c.Name);
  }
  std::string text = Grammar(keywords, commands);
  FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size() ||
      std::fclose(file) != 0) {
    std::cerr << "gen_grammar: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}

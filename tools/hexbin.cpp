// Turns a hex description into bytes: pairs of hexadecimal digits, with
// blanks and line breaks anywhere and comments from '#' to the end of a line.
//   hexbin INPUT.hex OUTPUT
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: hexbin INPUT.hex OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "hexbin: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::vector<unsigned char> bytes;
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    std::string digits;
    for (char c : line) {
      if (c == '#') break;
      if (std::isspace(static_cast<unsigned char>(c))) continue;
      if (!std::isxdigit(static_cast<unsigned char>(c))) {
        std::cerr << argv[1] << ":" << lineNumber << ": not a hexadecimal digit: " << c << "\n";
        return 1;
      }
      digits += c;
    }
    if (digits.size() % 2 != 0) {
      std::cerr << argv[1] << ":" << lineNumber << ": odd number of digits\n";
      return 1;
    }
    for (size_t i = 0; i < digits.size(); i += 2) {
      bytes.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
  }
  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return out ? 0 : 1;
}

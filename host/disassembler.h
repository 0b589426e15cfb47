// "zorvat dis": an image turned back into source. Every instruction becomes a
// statement with its command's name and its parameters written the way a
// script writes them; label slots become references to labels defined where
// they point; data sections become &DB lines in hexadecimal. The listing
// compiles back into the same bytes for every image the compiler wrote.
// What only the compiler's input had (comments, names of labels and
// variables, the form a literal was written in) is gone: labels are named
// after the offset they stand at.
#pragma once

#include <cstdint>
#include <string>

#include "host/command_names.h"

// The words of the source language the listing uses, as the keyword file
// gives them.
struct TListingKeywords {
  std::string Section = "SECTION";
  std::string Code = "CODE";
  std::string Data = "DATA";
  std::string Bytes = "&DB";
};

// Reads the keyword file's "index,word" lines into `keywords`, keeping the
// defaults for lines it does not have.
void ParseListingKeywords(const std::string& text, TListingKeywords* keywords);

// Writes the listing of a checked image (magic, lengths and directory valid)
// into `listing`. False, with the reason in `error`, for an image that no
// source compiles into: an unknown command, a parameter kind that has no
// literal form, a label slot that points where no label can stand.
bool Disassemble(const uint8_t* image, uint32_t length, const TCommandNames& commands,
                 const TListingKeywords& keywords, std::string* listing, std::string* error);

// The form description that Pravek reads: a list of items (FORM, BUTTON,
// EDIT, ...) each followed by its parameters (letter=value). Parsing is
// portable and builds no window; the first error stops it with the text the
// user is shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TPravekItemType : uint8_t {
  prvkNone = 0,
  prvkMain = 1,
  prvkButton = 2,
  prvkEdit = 3,
  prvkCheckbox = 4,
  prvkFont = 5,
  prvkLabel = 6,
  prvkGroupBox = 7,
  prvkRadioButton = 8,
  prvkMemo = 9,
  prvkListBox = 10,
};

// Values whose high 32 bits are 1 are keywords, not numbers.
constexpr int64_t kPravekNotSet = 0x100000000;
constexpr int64_t kPravekAuto = kPravekNotSet;
constexpr int64_t kPravekLeft = kPravekNotSet;
constexpr int64_t kPravekTop = kPravekNotSet;
constexpr int64_t kPravekCenter = 0x100000001;
constexpr int64_t kPravekRight = 0x100000002;
constexpr int64_t kPravekBottom = 0x100000002;

inline bool PravekIsKeyword(int64_t value) {
  return (value >> 32) == 1;
}

struct TPravekItem {
  TPravekItemType TypeID = prvkNone;
  int64_t I = kPravekNotSet;
  int64_t P = 0;  // index of the parent FORM item; the first FORM by default
  bool R = false;
  bool V = true;
  bool E = true;
  int64_t C = 0;
  int64_t X = 0, Y = 0;
  int64_t W = kPravekAuto, H = kPravekAuto;
  int64_t F = kPravekNotSet;  // index of the FONT item
  int64_t S = 0;
  int64_t Z = 0;
  std::u16string T;
  int64_t SLOT = kPravekNotSet;
  int64_t HandleSLOT = kPravekNotSet;
};

typedef std::vector<TPravekItem> TPravekItemList;

// The keyword of a kind ("FORM", "BUTTON", ...).
const char16_t* PravekKeyword(TPravekItemType type);

// Parses a whole description. True with the items; false with the message of
// the first error.
bool ParsePravekDescription(const char16_t* description, TPravekItemList* items,
                            std::u16string* error);

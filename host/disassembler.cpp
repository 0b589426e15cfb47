#include "host/disassembler.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace {

// Parameter kinds as the image writes them.
enum : uint8_t {
  kKindDefault = 0,
  kKindInteger = 1,
  kKindExtended = 2,
  kKindBlock = 5,
  kKindDWORD = 7,
  kKindVariable = 9,
  kKindEnd = 10,
  kKindByte = 11,
  kKindWord = 12,
  kKindText = 13,
  kKindCount = 15,
};
constexpr uint8_t kPayloadSize[kKindCount] = {0, 8, 10, 4, 4, 4, 4, 4, 4, 4, 0, 1, 2, 4, 4};
constexpr uint32_t kCodeFlag = 1;
constexpr uint32_t kBit31 = 0x80000000u;
// Positions an open-ended command does not describe take every kind.
const char kUndescribedFlags[] = "+*!#$";
constexpr size_t kCommentColumn = 48;

uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[128];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

struct TSectionView {
  std::string Name;
  uint32_t Flags;
  uint32_t Offset;
  uint32_t Size;
};

struct TParam {
  uint8_t Kind;
  uint32_t Payload;  // image offset of the payload
};

struct TInstruction {
  uint32_t Offset;
  const TCommandListEntry* Command;
  std::vector<TParam> Params;
};

class TDisassembler {
 public:
  TDisassembler(const uint8_t* image, uint32_t length, const TCommandNames& commands,
                const TListingKeywords& keywords)
      : image_(image), length_(length), commands_(commands), keywords_(keywords) {}

  bool Run(std::string* listing, std::string* error) {
    bool done = ReadDirectory() && ReadLabelSlots() && WriteSections();
    if (done) {
      for (const auto& [target, name] : labels_) {
        if (!placed_.count(target))
          Fail(Format("a label slot points to 0x%X, where no label can stand", target));
      }
    }
    if (!error_.empty()) {
      *error = error_;
      return false;
    }
    *listing = out_;
    return true;
  }

 private:
  bool Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }

  bool ReadDirectory() {
    uint32_t count = U32(image_ + 8);
    uint32_t pos = 12;
    const uint32_t end = length_ - 12;
    for (uint32_t i = 0; i < count; ++i) {
      TSectionView s{};
      while (pos < end && image_[pos] != 0) s.Name += char(image_[pos++]);
      if (pos + 9 > end) return Fail("the section directory does not fit the image");
      s.Flags = U32(image_ + pos + 1);
      s.Size = U32(image_ + pos + 5);
      pos += 9;
      sections_.push_back(s);
    }
    for (TSectionView& s : sections_) {
      s.Offset = pos;
      if (uint64_t(pos) + s.Size > end) return Fail("a section does not fit the image");
      pos += s.Size;
    }
    return true;
  }

  const TSectionView* FindSection(const char* name) const {
    for (const TSectionView& s : sections_) {
      if (s.Name == name) return &s;
    }
    return nullptr;
  }

  // "JTS" lists the image offsets of the label slots; each slot holds the
  // offset its label stands at.
  bool ReadLabelSlots() {
    const TSectionView* jts = FindSection("JTS");
    if (jts == nullptr) return true;
    for (uint32_t k = 0; k + 4 <= jts->Size; k += 4) {
      uint32_t slot = U32(image_ + jts->Offset + k);
      if (uint64_t(slot) + 4 > length_)
        return Fail(Format("label slot 0x%X is outside the image", slot));
      uint32_t target = U32(image_ + slot);
      slots_.insert(slot);
      slotIndex_[slot] = k / 4;
      labels_[target] = Format("L%08X", target);
    }
    return true;
  }

  // Defines, as section-global labels, those that stand at `offset`.
  void PlaceLabels(uint32_t offset) {
    auto found = labels_.find(offset);
    if (found == labels_.end() || placed_.count(offset)) return;
    placed_.insert(offset);
    out_ += "^." + found->second + "\n";
  }

  void Line(const std::string& statement, uint32_t offset) {
    std::string line = statement;
    line.append(line.size() < kCommentColumn ? kCommentColumn - line.size() : 1, ' ');
    out_ += line + Format("; %08X\n", offset);
  }

  // The compiler fills "LDS" and "JTS" in the order the statements stand in
  // the source, whatever section each goes to. Sections listed one after the
  // other give that order back for most scripts; a script that returns to an
  // earlier section is listed with its statements interleaved as the
  // constants and label slots require, every section declared up front so
  // that the sections keep their order in the image.
  bool WriteSections() {
    for (const TSectionView& s : sections_) {
      if ((s.Name == "LDS" || s.Name == "JTS") && (s.Flags & kCodeFlag) != 0) {
        return Fail("section " + s.Name + " is marked as code");
      }
      if (s.Name == "GCS" && (s.Flags & kCodeFlag) == 0) {
        return Fail("section GCS is not a code section");
      }
    }
    if (!DecodeCode()) return false;
    TStreams streams;
    bool inOrder = true;
    for (size_t k = 0; k < sections_.size() && inOrder; ++k) {
      for (const TInstruction& instruction : code_[k]) {
        if (!Fits(instruction, &streams)) {
          inOrder = false;
          break;
        }
      }
    }
    if (!(inOrder ? WriteInImageOrder() : WriteInterleaved())) return false;
    for (uint32_t at : instructionInside_) {
      if (labels_.count(at) && !placed_.count(at)) {
        return Fail(Format("a label slot points into the instruction around 0x%X", at));
      }
    }
    return true;
  }

  static bool Generated(const TSectionView& s) { return s.Name == "LDS" || s.Name == "JTS"; }

  void Declare(const TSectionView& s) {
    out_ += "\n" + keywords_.Section + " " +
            ((s.Flags & kCodeFlag) ? keywords_.Code : keywords_.Data) + " " + s.Name + "\n";
  }

  bool WriteInImageOrder() {
    for (size_t k = 0; k < sections_.size(); ++k) {
      const TSectionView& s = sections_[k];
      if (Generated(s)) continue;
      if (s.Name != "GCS") Declare(s);
      PlaceLabels(s.Offset);
      if ((s.Flags & kCodeFlag) == 0 && !WriteData(s)) return false;
      for (const TInstruction& instruction : code_[k]) {
        if (!WriteInstruction(instruction)) return false;
      }
      PlaceLabels(s.Offset + s.Size);
    }
    return true;
  }

  bool WriteInterleaved() {
    bool declared = false;
    for (size_t k = 0; k < sections_.size(); ++k) {
      const TSectionView& s = sections_[k];
      if (Generated(s) || s.Name == "GCS") continue;
      Declare(s);
      declared = true;
      if ((s.Flags & kCodeFlag) == 0) {
        PlaceLabels(s.Offset);
        if (!WriteData(s)) return false;
        PlaceLabels(s.Offset + s.Size);
      } else if (code_[k].empty()) {
        PlaceLabels(s.Offset);
      }
    }
    size_t current = sections_.size();
    for (size_t k = 0; k < sections_.size(); ++k) {
      if (sections_[k].Name == "GCS") current = k;
    }
    if (declared) out_ += "\n" + keywords_.Section + " " + keywords_.Code + " GCS\n";
    std::vector<size_t> next(sections_.size(), 0);
    TStreams streams;
    for (;;) {
      size_t pick = sections_.size();
      bool left = false;
      for (size_t k = 0; k < sections_.size() && pick == sections_.size(); ++k) {
        if (next[k] == code_[k].size()) continue;
        left = true;
        TStreams trial = streams;
        if (Fits(code_[k][next[k]], &trial)) pick = k;
      }
      if (!left) return true;
      if (pick == sections_.size()) {
        return Fail("no order of the statements gives the constants and label slots back");
      }
      const TSectionView& s = sections_[pick];
      if (pick != current) {
        out_ += "\n" + keywords_.Section + " " + keywords_.Code + " " + s.Name + "\n";
        current = pick;
      }
      const TInstruction& instruction = code_[pick][next[pick]++];
      Fits(instruction, &streams);
      PlaceLabels(instruction.Offset);
      if (!WriteInstruction(instruction)) return false;
      if (next[pick] == code_[pick].size()) PlaceLabels(s.Offset + s.Size);
    }
  }

  // Where the compiler stands in "JTS" (entries written) and "LDS" (bytes
  // written) after the statements listed so far.
  struct TStreams {
    uint32_t Slots = 0;
    uint32_t LongData = 0;
  };

  // Whether the instruction, listed next, makes the compiler write the label
  // slot entries and constants the image has; advances `streams` past them.
  bool Fits(const TInstruction& instruction, TStreams* streams) const {
    for (const TParam& param : instruction.Params) {
      if (param.Kind == kKindDWORD && slots_.count(param.Payload)) {
        if (slotIndex_.at(param.Payload) != streams->Slots) return false;
        ++streams->Slots;
      } else if (param.Kind == kKindBlock || param.Kind == kKindText) {
        const uint32_t offset = U32(image_ + param.Payload);
        if (offset > streams->LongData) return false;
        if (offset == streams->LongData) streams->LongData += ConstantLength(offset);
      }
    }
    return true;
  }

  // The bytes of the constant at `offset` of "LDS", header included; 0 when
  // it does not fit (the listing then refuses it).
  uint32_t ConstantLength(uint32_t offset) const {
    const TSectionView* lds = FindSection("LDS");
    if (lds == nullptr || uint64_t(offset) + 16 > lds->Size) return 0;
    const uint8_t* item = image_ + lds->Offset + offset;
    const uint64_t length = 16 + uint64_t(U32(item + 4)) * U32(item);
    return length <= lds->Size - offset ? uint32_t(length) : 0;
  }

  bool DecodeCode() {
    code_.assign(sections_.size(), {});
    for (size_t k = 0; k < sections_.size(); ++k) {
      const TSectionView& s = sections_[k];
      if ((s.Flags & kCodeFlag) == 0) continue;
      uint32_t pos = s.Offset;
      const uint32_t end = s.Offset + s.Size;
      while (pos < end) {
        TInstruction instruction{};
        if (!ReadInstruction(pos, end, &instruction)) return false;
        for (uint32_t at = instruction.Offset + 1; at < pos; ++at) instructionInside_.push_back(at);
        code_[k].push_back(std::move(instruction));
      }
    }
    return true;
  }

  bool WriteData(const TSectionView& s) {
    uint32_t pos = s.Offset;
    const uint32_t end = s.Offset + s.Size;
    // A statement compiled into a data section would list as bytes and lose
    // its label reference; no listing gives that image back.
    auto slot = slots_.lower_bound(s.Offset);
    if (slot != slots_.end() && *slot < end) {
      return Fail(Format("label slot 0x%X stands in data section %s", *slot, s.Name.c_str()));
    }
    while (pos < end) {
      PlaceLabels(pos);
      std::string line = keywords_.Bytes;
      const uint32_t start = pos;
      do {
        line += Format(" 0x%02X", image_[pos]);
        ++pos;
      } while (pos < end && pos - start < 16 && !labels_.count(pos));
      Line(line, start);
    }
    return true;
  }

  bool WriteInstruction(const TInstruction& instruction) {
    PlaceLabels(instruction.Offset);
    std::string statement = instruction.Command->Name;
    for (size_t p = 0; p < instruction.Params.size(); ++p) {
      std::string text;
      if (!ParamText(instruction, p, &text)) return false;
      statement += " " + text;
    }
    Line(statement, instruction.Offset);
    return true;
  }

  bool ReadInstruction(uint32_t& pos, uint32_t end, TInstruction* instruction) {
    instruction->Offset = pos;
    if (pos + 4 > end) return Fail(Format("a command code at 0x%X runs past its section", pos));
    const uint32_t code = U32(image_ + pos);
    instruction->Command = commands_.Find(code);
    if (instruction->Command == nullptr) {
      return Fail(Format("command code %u at 0x%X is not in the command list", code, pos));
    }
    pos += 4;
    const TCommandListEntry& command = *instruction->Command;
    const uint32_t limit = command.OpenEnded ? 0xFFFFFFFFu : command.ParamLimit;
    for (uint32_t n = 0; n < limit; ++n) {
      if (pos >= end) {
        if (command.OpenEnded)
          return Fail(Format("the parameters at 0x%X have no end", instruction->Offset));
        break;
      }
      const uint8_t kind = image_[pos];
      if (kind >= kKindCount || pos + 1 + kPayloadSize[kind] > end) {
        return Fail(Format("bad parameter at 0x%X", pos));
      }
      instruction->Params.push_back({kind, pos + 1});
      pos += 1 + kPayloadSize[kind];
      if (kind == kKindEnd) break;
    }
    if (!command.OpenEnded && instruction->Params.size() < limit &&
        (instruction->Params.empty() || instruction->Params.back().Kind != kKindEnd)) {
      return Fail(Format("the instruction at 0x%X has too few parameters", instruction->Offset));
    }
    return true;
  }

  // What position p (0-based) of the instruction's command accepts.
  static std::string Flags(const TInstruction& instruction, size_t p) {
    const std::vector<std::string>& flags = instruction.Command->PositionFlags;
    return p < flags.size() ? flags[p] : std::string(kUndescribedFlags);
  }

  bool ParamText(const TInstruction& instruction, size_t p, std::string* text) {
    const TParam& param = instruction.Params[p];
    const uint8_t* payload = image_ + param.Payload;
    const std::string flags = Flags(instruction, p);
    switch (param.Kind) {
      case kKindDefault:
        *text = "$";
        return true;
      case kKindEnd:
        *text = ".";
        return true;
      case kKindByte:
        *text = std::to_string(int8_t(payload[0]));
        return true;
      case kKindWord:
        return WordText(int16_t(payload[0] | payload[1] << 8), param.Payload, text);
      case kKindDWORD:
        return DwordText(U32(payload), param.Payload, text);
      case kKindInteger:
        return IntegerText(payload, flags, param.Payload, text);
      case kKindExtended:
        return ExtendedText(payload, param.Payload, text);
      case kKindVariable: {
        const uint32_t v = U32(payload);
        *text = (v & kBit31) ? "@_" + std::to_string(v & ~kBit31) : "@" + std::to_string(v);
        return true;
      }
      case kKindBlock:
      case kKindText:
        return LongDataText(param.Kind, U32(payload), flags, param.Payload, text);
      default:
        return Fail(Format("the parameter at 0x%X is an array, which has no literal form",
                           param.Payload - 1));
    }
  }

  // A word whose value fits a byte comes only from a "~~" character literal.
  bool WordText(int16_t v, uint32_t at, std::string* text) {
    if (v < -128 || v > 127) {
      *text = std::to_string(v);
      return true;
    }
    const uint16_t unit = uint16_t(v);
    if (unit < 33 || unit > 126)
      return Fail(Format("the character at 0x%X has no literal form", at));
    *text = std::string("~~") + char(unit);
    return true;
  }

  // A DWORD is a label slot, or a number too large for a word; numbers with
  // bit 31 set are written as "_n" (a local variable's reference) or in
  // hexadecimal.
  bool DwordText(uint32_t v, uint32_t at, std::string* text) {
    if (slots_.count(at)) {
      *text = "^." + labels_[v];
      return true;
    }
    if (v <= 32767) return Fail(Format("the DWORD at 0x%X is small but no label slot", at));
    if ((v & kBit31) == 0) {
      *text = std::to_string(v);
    } else {
      *text = (v & ~kBit31) <= 0xFFFF ? "_" + std::to_string(v & ~kBit31) : Format("0x%X", v);
    }
    return true;
  }

  // "%" needs a position that takes 64-bit integers; a plain number outside
  // the DWORD range becomes one anywhere.
  bool IntegerText(const uint8_t* payload, const std::string& flags, uint32_t at,
                   std::string* text) {
    int64_t v = 0;
    for (int i = 7; i >= 0; --i) v = int64_t(uint64_t(v) << 8 | payload[i]);
    if (v < -32768 || v > 0xFFFFFFFFLL) {
      *text = std::to_string(v);
      return true;
    }
    if (flags.find('+') == std::string::npos) {
      return Fail(Format("the integer at 0x%X stands where no integer literal is taken", at));
    }
    *text = "%" + std::to_string(v);
    return true;
  }

  // The fewest significant digits that read back as the same 80-bit value. A
  // positive value is written as a plain number with a point or exponent,
  // which every position takes; a negative one needs the "*" form.
  bool ExtendedText(const uint8_t* payload, uint32_t at, std::string* text) {
    long double value = 0;
    static_assert(sizeof(long double) >= 10, "the 80-bit extended type");
    std::memcpy(&value, payload, 10);
    char buffer[64] = {};
    bool found = false;
    for (int digits = 1; digits <= 21 && !found; ++digits) {
      std::snprintf(buffer, sizeof buffer, "%.*Lg", digits, value);
      long double back = std::strtold(buffer, nullptr);
      found = std::memcmp(&back, payload, 10) == 0;
    }
    if (!found || std::strpbrk(buffer, "ni") != nullptr) {
      return Fail(Format("the float at 0x%X has no literal form", at));
    }
    std::string number = buffer;
    if (number.find_first_of(".e") == std::string::npos) number += ".0";
    *text = number[0] == '-' ? "*" + number : number;
    return true;
  }

  // A constant of "LDS": its header and its payload.
  bool ReadConstant(uint32_t offset, uint32_t elemSize, uint32_t at, const uint8_t** bytes,
                    uint32_t* count) {
    const TSectionView* lds = FindSection("LDS");
    if (lds == nullptr || uint64_t(offset) + 16 > lds->Size) {
      return Fail(Format("the constant of the parameter at 0x%X is outside LDS", at));
    }
    const uint8_t* item = image_ + lds->Offset + offset;
    const uint64_t total = uint64_t(U32(item + 4)) * elemSize;
    if (U32(item) != elemSize || total < 2 || offset + 16 + total > lds->Size) {
      return Fail(Format("the constant of the parameter at 0x%X is malformed", at));
    }
    *bytes = item + 16;
    *count = uint32_t(total - 2);
    return true;
  }

  bool LongDataText(uint8_t kind, uint32_t offset, const std::string& flags, uint32_t at,
                    std::string* text) {
    const uint8_t* bytes = nullptr;
    uint32_t count = 0;
    if (!ReadConstant(offset, kind == kKindText ? 2 : 1, at, &bytes, &count)) return false;
    if (kind == kKindText) {
      *text = "\"";
      for (uint32_t i = 0; i + 1 < count + 1; i += 2) {
        const uint16_t unit = uint16_t(bytes[i] | bytes[i + 1] << 8);
        *text += unit >= 32 && unit <= 126 && unit != '"' && unit != '#'
                     ? std::string(1, char(unit))
                 : unit == '#' ? std::string("##")
                               : Format("#%04X", unit);
      }
      *text += "\"";
      return true;
    }
    // A block is written in hexadecimal where the position takes blocks;
    // elsewhere it came from an 8-bit text literal.
    if (flags.find('!') != std::string::npos && !LooksLikeText(bytes, count)) {
      *text = "!";
      for (uint32_t i = 0; i < count; ++i) *text += Format("%02X", bytes[i]);
      *text += "!";
      return true;
    }
    *text = "'";
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t b = bytes[i];
      *text += b >= 32 && b <= 126 && b != '\'' && b != '#' ? std::string(1, char(b))
               : b == '#'                                   ? std::string("##")
                                                            : Format("#%02X", b);
    }
    *text += "'";
    return true;
  }

  static bool LooksLikeText(const uint8_t* bytes, uint32_t count) {
    if (count == 0) return false;
    for (uint32_t i = 0; i < count; ++i) {
      if (bytes[i] < 32 || bytes[i] > 126) return false;
    }
    return true;
  }

  const uint8_t* image_;
  uint32_t length_;
  const TCommandNames& commands_;
  const TListingKeywords& keywords_;
  std::vector<TSectionView> sections_;
  std::set<uint32_t> slots_;
  std::map<uint32_t, uint32_t> slotIndex_;       // label slot -> its entry in "JTS"
  std::vector<std::vector<TInstruction>> code_;  // by section
  std::vector<uint32_t> instructionInside_;      // offsets inside instructions
  std::map<uint32_t, std::string> labels_;
  std::set<uint32_t> placed_;
  std::string out_;
  std::string error_;
};

}  // namespace

void ParseListingKeywords(const std::string& text, TListingKeywords* keywords) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    size_t comma = line.find(',');
    if (comma == std::string::npos || comma + 1 >= line.size()) continue;
    const std::string index = line.substr(0, comma);
    const std::string word = line.substr(comma + 1);
    if (index == "0") keywords->Section = word;
    if (index == "1") keywords->Code = word;
    if (index == "2") keywords->Data = word;
    if (index == "5") keywords->Bytes = word;
  }
}

bool Disassemble(const uint8_t* image, uint32_t length, const TCommandNames& commands,
                 const TListingKeywords& keywords, std::string* listing, std::string* error) {
  if (length < 24) {
    *error = "the image is too short";
    return false;
  }
  return TDisassembler(image, length, commands, keywords).Run(listing, error);
}

#include "dialogs/pravek_description.h"

#include <cstddef>

namespace {

struct TKeywordValue {
  const char16_t* Keyword;
  int64_t Value;
};

typedef std::vector<TKeywordValue> TKeywordTable;

// The table of item kinds: keyword, the parameter letters a kind accepts,
// its style and extended-style keywords (DEFAULT first) and its defaults.
struct TForPravekItems {
  TPravekItemType t;
  const char16_t* cmd;
  const char16_t* allowed;
  TKeywordTable Styles;
  TKeywordTable ExStyles;
  void (*ItemCreator)(TPravekItem* item);
};

const TKeywordTable kAlignStyles = {{u"BORDER", 0x800000}, {u"LEFT", 0x100}, {u"RIGHT", 0x200},
                                    {u"CENTER", 0x300},    {u"TOP", 0x400},  {u"BOTTOM", 0x800},
                                    {u"VCENTER", 0xC00}};

TKeywordTable With(TKeywordTable head, const TKeywordTable& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

const TKeywordTable kEditStyleTail = {
    {u"LEFT", 0},         {u"RIGHT", 2},          {u"CENTER", 1},
    {u"PASSWORD", 0x20},  {u"NUMBER", 0x2000},    {u"UPPERCASE", 0x8},
    {u"LOWERCASE", 0x10}, {u"HSCROLL", 0x100000}, {u"VSCROLL", 0x200000}};
const TKeywordTable kEdgeTail = {{u"DLGMODALFRAME", 0x1},
                                 {u"CLIENTEDGE", 0x200},
                                 {u"STATICEDGE", 0x20000},
                                 {u"WINDOWEDGE", 0x100}};

void ControlDefaults(TPravekItem* item, const char16_t* text, int64_t style) {
  item->X = 0;
  item->Y = 0;
  item->T = text;
  item->S = style;
}

const std::vector<TForPravekItems>& Kinds() {
  static const std::vector<TForPravekItems> kinds = {
      {prvkMain,
       u"FORM",
       u"#@EHSTVWXYZ",
       {{u"DEFAULT", 0x04C82004},
        {u"MINIMIZEBOX", 0x20000},
        {u"MAXIMIZEBOX", 0x10000},
        {u"SIZEBOX", 0x40000}},
       {{u"DEFAULT", 0},
        {u"TOPMOST", 0x8},
        {u"TOOLWINDOW", 0x80},
        {u"APPWINDOW", 0x40000},
        {u"ACCEPTFILES", 0x10}},
       [](TPravekItem* item) {
         item->I = 0;
         item->X = kPravekCenter;
         item->Y = kPravekCenter;
         item->T = u"Main form";
         item->S = 0x04C82004;
       }},
      {prvkButton,
       u"BUTTON",
       u"#@EFHPSTVWXY",
       With({{u"DEFAULT", 0x40010000}},
            With(kAlignStyles, {{u"FLAT", 0x8000}, {u"DEFPUSHBUTTON", 0x1}})),
       {},
       [](TPravekItem* item) { ControlDefaults(item, u"Button", 0x40010000); }},
      {prvkEdit, u"EDIT", u"#@EFHPRSTVWXYZ", With({{u"DEFAULT", 0x40000080}}, kEditStyleTail),
       With({{u"DEFAULT", 0x200}}, kEdgeTail),
       [](TPravekItem* item) {
         ControlDefaults(item, u"Edit", 0x40000080);
         item->Z = 0x200;
       }},
      {prvkCheckbox,
       u"CHECKBOX",
       u"#@CEFHIPSTVWXY",
       {{u"DEFAULT", 0x40000003}, {u"3STATE", 0x40000006}},
       {},
       [](TPravekItem* item) { ControlDefaults(item, u"CheckBox", 0x40000003); }},
      {prvkFont,
       u"FONT",
       u"@HIST",
       {{u"DEFAULT", 0},
        {u"BOLD", 0x9},
        {u"ITALIC", 0x10},
        {u"UNDERLINE", 0x20},
        {u"STRIKEOUT", 0x40}},
       {},
       [](TPravekItem* item) {
         item->T = u"MS Sans Serif";
         item->S = 0;
       }},
      {prvkLabel, u"LABEL", u"#@EFHPSTVWXYZ", With({{u"DEFAULT", 0x40010000}}, kAlignStyles),
       With({{u"DEFAULT", 0}}, kEdgeTail),
       [](TPravekItem* item) { ControlDefaults(item, u"Label", 0x40000100); }},
      // A group box is a "Button" window with the group-box style: a frame
      // with a caption that reports nothing.
      {prvkGroupBox,
       u"GROUPBOX",
       u"@EFHPSTVWXY",
       {{u"DEFAULT", 0x40000007},
        {u"LEFT", 0x100},
        {u"RIGHT", 0x200},
        {u"CENTER", 0x300},
        {u"FLAT", 0x8000}},
       {},
       [](TPravekItem* item) { ControlDefaults(item, u"GroupBox", 0x40000007); }},
      {prvkRadioButton,
       u"RADIOBUTTON",
       u"#@CEFHPSTVWXY",
       {{u"DEFAULT", 0x40000009}, {u"PUSHLIKE", 0x1000}, {u"RIGHTBUTTON", 0x20}},
       {},
       [](TPravekItem* item) { ControlDefaults(item, u"RadioButton", 0x40000009); }},
      {prvkMemo, u"MEMO", u"#@EFHPRSTVWXY", With({{u"DEFAULT", 0x400010C4}}, kEditStyleTail),
       With({{u"DEFAULT", 0x200}}, kEdgeTail),
       [](TPravekItem* item) {
         ControlDefaults(item, u"Edit", 0x400000C4);
         item->Z = 0x200;
       }},
      {prvkListBox,
       u"LISTBOX",
       u"#@EFHPSTVWXYZ",
       {{u"DEFAULT", 0x40000001},
        {u"DISABLENOSCROLL", 0x1000},
        {u"EXTENDEDSEL", 0x800},
        {u"MULTIPLESEL", 0x8},
        {u"NOSEL", 0x4000},
        {u"SORT", 0x2},
        {u"STANDARD", 0xA00003},
        {u"HSCROLL", 0x100000},
        {u"VSCROLL", 0x200000}},
       With({{u"DEFAULT", 0x200}}, kEdgeTail),
       [](TPravekItem* item) {
         ControlDefaults(item, u"", 0x40000001);
         item->Z = 0x200;
       }},
  };
  return kinds;
}

const TForPravekItems* KindOf(TPravekItemType type) {
  for (const TForPravekItems& kind : Kinds()) {
    if (kind.t == type) return &kind;
  }
  return nullptr;
}

bool IsBlank(char16_t c) {
  return c >= 1 && c <= 32;
}

std::u16string Upper(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
  }
  return out;
}

// Splits at blanks, except inside a quoted stretch: a double quote starts
// one, and it ends at a double quote followed by a blank or by the end of the
// text; a doubled double quote inside it does not end it.
std::vector<std::u16string> SplitWords(const char16_t* text) {
  std::vector<std::u16string> words;
  const char16_t* p = text;
  while (*p) {
    while (IsBlank(*p)) ++p;
    if (*p == 0) break;
    std::u16string word;
    bool quoted = false;
    while (*p && (quoted || !IsBlank(*p))) {
      if (*p == u'"') {
        if (!quoted) {
          quoted = true;
        } else if (p[1] == 0 || IsBlank(p[1])) {
          quoted = false;
        } else if (p[1] == u'"') {
          word += *p++;
        }
      }
      word += *p++;
    }
    words.push_back(word);
  }
  return words;
}

// Integers are decimal and fit 32 bits, so that no number can be taken for
// one of the keyword values above that range.
bool ParseInteger(const std::u16string& text, int64_t low, int64_t high, int64_t* value) {
  size_t i = text.size() > 0 && (text[0] == u'-' || text[0] == u'+') ? 1 : 0;
  if (i == text.size()) return false;
  int64_t n = 0;
  for (size_t k = i; k < text.size(); ++k) {
    if (text[k] < u'0' || text[k] > u'9') return false;
    n = n * 10 + (text[k] - u'0');
    if (n > 0x1FFFFFFFF) return false;
  }
  if (text[0] == u'-') n = -n;
  if (n < low || n > high) return false;
  *value = n;
  return true;
}

bool ParseQuotedText(const std::u16string& value, std::u16string* text) {
  if (value.size() < 2 || value.front() != u'"' || value.back() != u'"') return false;
  text->clear();
  for (size_t i = 1; i + 1 < value.size(); ++i) {
    if (value[i] == u'"') {
      if (i + 2 >= value.size() || value[i + 1] != u'"') return false;
      ++i;
    }
    *text += value[i];
  }
  return true;
}

bool ParseStyles(const std::u16string& upper, const TKeywordTable& table, int64_t* value) {
  if (table.empty()) return false;
  int64_t styles = 0;
  size_t start = 0;
  while (true) {
    size_t comma = upper.find(u',', start);
    std::u16string name =
        upper.substr(start, comma == std::u16string::npos ? comma : comma - start);
    bool known = false;
    for (const TKeywordValue& entry : table) {
      if (name == entry.Keyword) {
        styles |= entry.Value;
        known = true;
        break;
      }
    }
    if (!known) return false;
    if (comma == std::u16string::npos) break;
    start = comma + 1;
  }
  *value = styles;
  return true;
}

class TDescriptionParser {
 public:
  TDescriptionParser(TPravekItemList* items, std::u16string* error)
      : items_(*items), error_(*error) {}

  bool Word(const std::u16string& word) {
    if (word.size() > 2 && word[1] == u'=') return Parameter(word);
    std::u16string upper = Upper(word);
    for (const TForPravekItems& kind : Kinds()) {
      if (upper == kind.cmd) return NewItem(kind);
    }
    return Fail(u"Неверный параметр: " + word);
  }

 private:
  bool Fail(const std::u16string& message) {
    error_ = message;
    return false;
  }

  bool Invalid(char16_t letter, const std::u16string& value) {
    return Fail(u"Invalid parameter " + std::u16string(1, letter) + u": «" + value + u"»");
  }

  bool NewItem(const TForPravekItems& kind) {
    if (items_.empty() && kind.t != prvkMain) {
      return Fail(u"Команда FORM должна быть первой в сценарии");
    }
    TPravekItem item;
    item.TypeID = kind.t;
    kind.ItemCreator(&item);
    items_.push_back(item);
    return true;
  }

  // The index of the earlier item of `type` whose identifier is `id`.
  int64_t FindById(TPravekItemType type, int64_t id) const {
    for (size_t k = 0; k < items_.size(); ++k) {
      if (items_[k].TypeID == type && items_[k].I == id) return int64_t(k);
    }
    return -1;
  }

  bool Parameter(const std::u16string& word) {
    if (items_.empty()) return Fail(u"Управляющих элементов нет. Параметр неприменим.");
    TPravekItem& item = items_.back();
    const TForPravekItems& kind = *KindOf(item.TypeID);
    char16_t letter = Upper(word.substr(0, 1))[0];
    if (std::u16string(kind.allowed).find(letter) == std::u16string::npos) {
      return Fail(u"Параметр не является допустимым для " + std::u16string(kind.cmd));
    }
    const std::u16string value = word.substr(2);
    const std::u16string upper = Upper(value);
    constexpr int64_t kMin = -0x80000000LL, kMax = 0x7FFFFFFF;
    int64_t n = 0;
    switch (letter) {
      case u'I':
        if (!ParseInteger(value, kMin, kMax, &n)) return Invalid(letter, value);
        for (size_t k = 0; k + 1 < items_.size(); ++k) {
          if (items_[k].I == n) {
            return Fail(u"Invalid parameter I: Нарушена уникальность идентификатора " + value);
          }
        }
        item.I = n;
        return true;
      case u'X':
      case u'Y':
        if (upper == u"CENTER") {
          n = kPravekCenter;
        } else if (upper == (letter == u'X' ? u"LEFT" : u"TOP")) {
          n = kPravekLeft;
        } else if (upper == (letter == u'X' ? u"RIGHT" : u"BOTTOM")) {
          n = kPravekRight;
        } else if (!ParseInteger(value, kMin, kMax, &n)) {
          return Invalid(letter, value);
        }
        (letter == u'X' ? item.X : item.Y) = n;
        return true;
      case u'W':
      case u'H':
        if (upper == u"AUTO") {
          n = kPravekAuto;
        } else if (!ParseInteger(value, kMin, kMax, &n)) {
          return Invalid(letter, value);
        }
        (letter == u'W' ? item.W : item.H) = n;
        return true;
      case u'P':
      case u'F': {
        if (!ParseInteger(value, kMin, kMax, &n)) return Invalid(letter, value);
        int64_t index = FindById(letter == u'P' ? prvkMain : prvkFont, n);
        if (index < 0) {
          return Fail(letter == u'P' ? u"Родительский элемент с ID=" + value + u" не найден"
                                     : u"Шрифт с ID=" + value + u" не найден");
        }
        (letter == u'P' ? item.P : item.F) = index;
        return true;
      }
      case u'V':
      case u'E':
      case u'R': {
        bool flag;
        if (upper == u"Y" || upper == u"YES" || upper == u"TRUE") {
          flag = true;
        } else if (upper == u"N" || upper == u"NO" || upper == u"FALSE") {
          flag = false;
        } else {
          return Invalid(letter, value);
        }
        (letter == u'V' ? item.V : letter == u'E' ? item.E : item.R) = flag;
        return true;
      }
      case u'C':
        if (upper == u"CHECKED") {
          item.C = 1;
        } else if (upper == u"UNCHECKED") {
          item.C = 0;
        } else if (upper == u"INDETERMINATE") {
          item.C = 2;
        } else {
          return Invalid(letter, value);
        }
        return true;
      case u'T':
        if (!ParseQuotedText(value, &item.T)) return Invalid(letter, value);
        return true;
      case u'S':
        if (!ParseStyles(upper, kind.Styles, &item.S)) return Invalid(letter, value);
        return true;
      case u'Z':
        if (!ParseStyles(upper, kind.ExStyles, &item.Z)) return Invalid(letter, value);
        return true;
      case u'#':
      case u'@': {
        int64_t slot = kPravekNotSet;
        if (upper != u"NO" && upper != u"NONE" && !ParseInteger(value, 0, 0xFFFFFFFF, &slot)) {
          return Fail(std::u16string(u"Invalid parameter ") +
                      (letter == u'#' ? u"#(слот)" : u"@(слот для хэндла)") + u": «" + value +
                      u"»");
        }
        (letter == u'#' ? item.SLOT : item.HandleSLOT) = slot;
        return true;
      }
    }
    return Invalid(letter, value);
  }

  TPravekItemList& items_;
  std::u16string& error_;
};

}  // namespace

const char16_t* PravekKeyword(TPravekItemType type) {
  const TForPravekItems* kind = KindOf(type);
  return kind ? kind->cmd : u"";
}

bool ParsePravekDescription(const char16_t* description, TPravekItemList* items,
                            std::u16string* error) {
  items->clear();
  error->clear();
  TDescriptionParser parser(items, error);
  for (const std::u16string& word : SplitWords(description ? description : u"")) {
    if (!parser.Word(word)) {
      items->clear();
      return false;
    }
  }
  return true;
}

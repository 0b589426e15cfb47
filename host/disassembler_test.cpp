// The disassembler's promise: its listing compiles back into the very image
// it was made from. Checked on every script of the test suite and the
// examples, and on one script that uses every literal form, sections, data
// and labels in awkward places.
#include "host/disassembler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "compiler/compilation.h"
#include "compiler/image_writer.h"
#include "compiler/source_reader.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::u16string Wide(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

class Disassembly : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string list = std::string(ZORVAT_COMMAND_LIST_DIR) + "/Commands.txt";
    ASSERT_EQ(InitializeCompilerTables(Wide(list).c_str()), 0) << list;
    std::string error;
    ASSERT_TRUE(ParseCommandNames(ReadFile(list), &commands_, &error)) << error;
  }

  // The image of a script file; empty when it does not compile.
  static std::vector<uint8_t> CompileFile(const fs::path& path) {
    TRawScript raw{};
    std::vector<uint8_t> image;
    if (CompileSourceFile(&raw, Wide(path.string()).c_str()) == 0) image = Build(raw);
    AfterCompiling(&raw);
    return image;
  }

  static std::vector<uint8_t> CompileText(const std::string& source, uint32_t* result) {
    TRawScript raw{};
    BeforeCompiling(&raw);
    std::string bytes = "\xEF\xBB\xBF" + source;
    AddScriptLines(&raw, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()),
                   kMainScriptModule);
    CompileScript(&raw);
    *result = raw.CompilingResult;
    std::vector<uint8_t> image = *result == 0 ? Build(raw) : std::vector<uint8_t>();
    AfterCompiling(&raw);
    return image;
  }

  static std::vector<uint8_t> Build(const TRawScript& raw) {
    TGrowArray<uint8_t> image{};
    EXPECT_TRUE(BuildCompiledImage(&raw, &image));
    std::vector<uint8_t> bytes(image.Items, image.Items + image.Count);
    GrowArrayFree(image);
    return bytes;
  }

  // Disassembles, compiles the listing and expects the same bytes; the
  // listing, for more checks.
  static std::string ExpectRoundTrip(const std::vector<uint8_t>& image, const std::string& what) {
    std::string listing, error;
    EXPECT_TRUE(Disassemble(image.data(), uint32_t(image.size()), commands_, TListingKeywords(),
                            &listing, &error))
        << what << ": " << error;
    uint32_t result = 0;
    std::vector<uint8_t> again = CompileText(listing, &result);
    EXPECT_EQ(result, 0u) << what << ": the listing does not compile\n" << listing;
    if (result == 0 && again != image) {
      size_t at = 0;
      while (at < image.size() && at < again.size() && image[at] == again[at]) ++at;
      ADD_FAILURE() << what << ": the listing compiles to other bytes, first at offset " << at
                    << " (" << image.size() << " vs " << again.size() << " bytes)\n"
                    << listing;
    }
    return listing;
  }

  static TCommandNames commands_;
};
TCommandNames Disassembly::commands_;

TEST_F(Disassembly, EveryTestScriptAndExampleRoundTrips) {
  int images = 0;
  for (const char* root : {"tests/scripts", "examples"}) {
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(ZORVAT_SOURCE_DIR) / root)) {
      if (entry.path().extension() != ".zvs") continue;
      std::vector<uint8_t> image = CompileFile(entry.path());
      if (image.empty()) continue;  // scripts that test compile errors
      ExpectRoundTrip(image, entry.path().string());
      ++images;
    }
  }
  EXPECT_GT(images, 50);
}

TEST_F(Disassembly, EveryLiteralFormAndLabelPlacement) {
  const std::string source =
      "GlobalsAlloc 4 .\n"
      "^top\n"
      "SetDWORD 0 70000\n"
      "SetDWORD 1 _5\n"
      "SetDWORD 1 $FFFFFFFF\n"
      "SetDWORD @2 -7\n"
      "SetDWORD @_3 ~~A\n"
      "SetDWORD 0 -300\n"
      "SetInt 0 %5\n"
      "SetInt 0 #1.2.2020,10:20:30.400\n"
      "SetInt 0 -5000000000\n"
      "SetFloat 0 0.1\n"
      "SetFloat 0 *-2.5e300\n"
      "SetFloat 0 3\n"
      "SetFloat 0 *4\n"
      "SetFloat 0 *1e-4000\n"
      "TextSet 0 \"quote \"\" hash ## unit #263A end\"\n"
      "TextSet 0 'eight-bit #41 and '' quote'\n"
      "TextSet 0 \"\"\n"
      "SetBlock 0 !00 01 FF!\n"
      "SetBlock 0 \"AB\"\n"
      "SetBlock 0 'plain'\n"
      "SetBlock 0 $\n"
      "Switch 0 ^top ^DATA1.inside ^DATA1.end_of_data ^OTHER.start .\n"
      "SetDWORD 0 ^.everywhere\n"
      "Exit 0\n"
      "SECTION DATA DATA1\n"
      "&DB 1 2 3\n"
      "^inside\n"
      "&DW 4 -1\n"
      "&DB \"text\"\n"
      "^end_of_data\n"
      "SECTION CODE OTHER\n"
      "^start\n"
      "^.everywhere\n"
      "Goto ^start\n";
  uint32_t result = 0;
  std::vector<uint8_t> image = CompileText(source, &result);
  ASSERT_EQ(result, 0u);
  std::string listing = ExpectRoundTrip(image, "literal forms");
  for (const char* form :
       {"SetDWORD 0 70000", "SetDWORD 1 _5", "SetDWORD 1 0xFFFFFFFF", "SetDWORD @2 -7",
        "SetDWORD @_3 ~~A", "SetInt 0 %5", "SetInt 0 -5000000000", "SetFloat 0 0.1",
        "SetFloat 0 *-2.5e+300", "SetFloat 0 4.0", "SetFloat 0 3 ", "#263A", "##",
        "SetBlock 0 !0001FF!", "SetBlock 0 $", "SECTION DATA DATA1", "&DB 0x01 0x02 0x03",
        "SECTION CODE OTHER", "Goto ^.L"}) {
    EXPECT_NE(listing.find(form), std::string::npos) << form << "\n" << listing;
  }
}

// A script that goes back to a section it left fills the constants and the
// label slots in an order that sections listed one after the other would not
// give back.
TEST_F(Disassembly, StatementsOfSectionsLeftAndReturnedTo) {
  const std::string source =
      "GlobalsAlloc 1 .\n"
      "TextSet 0 \"first\"\n"
      "GosubSection 'SUB'\n"
      "SECTION DATA TABLE\n"
      "&DB 1 2\n"
      "SECTION CODE SUB\n"
      "^sub\n"
      "TextSet 0 \"second\"\n"
      "Switch 0 0 ^sub ^GCS.back .\n"
      "Return\n"
      "SECTION CODE GCS\n"
      "^back\n"
      "TextSet 0 \"third\"\n"
      "TextSet 0 \"first\"\n"
      "Switch 0 0 ^back ^SUB.sub .\n"
      "Exit 0\n";
  uint32_t result = 0;
  std::vector<uint8_t> image = CompileText(source, &result);
  ASSERT_EQ(result, 0u);
  std::string listing = ExpectRoundTrip(image, "sections returned to");
  EXPECT_NE(listing.find("SECTION CODE GCS"), std::string::npos) << listing;
}

TEST_F(Disassembly, ImagesWithoutSourceFormAreRefused) {
  uint32_t result = 0;
  std::vector<uint8_t> image = CompileText("SetDWORD 0 70000\n", &result);
  ASSERT_EQ(result, 0u);
  std::string listing, error;
  // The DWORD 70000 turned into 5: a small DWORD that is no label slot.
  std::vector<uint8_t> small = image;
  for (size_t i = 0; i + 4 < small.size(); ++i) {
    if (small[i] == 0x70 && small[i + 1] == 0x11 && small[i + 2] == 0x01) {
      small[i] = 5, small[i + 1] = 0, small[i + 2] = 0;
      break;
    }
  }
  EXPECT_FALSE(Disassemble(small.data(), uint32_t(small.size()), commands_, TListingKeywords(),
                           &listing, &error));
  EXPECT_NE(error.find("label"), std::string::npos) << error;
  // A command code the list does not have: SetDWORD's code 4 before its
  // first parameter, a byte (kind 11), made 0xFFFF.
  std::vector<uint8_t> unknown = image;
  for (size_t i = 0; i + 4 < unknown.size(); ++i) {
    if (unknown[i] == 4 && unknown[i + 1] == 0 && unknown[i + 2] == 0 && unknown[i + 3] == 0 &&
        unknown[i + 4] == 11) {
      unknown[i] = 0xFF, unknown[i + 1] = 0xFF;
      break;
    }
  }
  EXPECT_FALSE(Disassemble(unknown.data(), uint32_t(unknown.size()), commands_, TListingKeywords(),
                           &listing, &error));
  EXPECT_NE(error.find("not in the command list"), std::string::npos) << error;
}

}  // namespace

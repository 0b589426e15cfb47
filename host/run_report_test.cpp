// The words of a run-time error report, from a line map and an image's
// bytes: the parts a user reads when a script stops.
#include "host/run_report.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// An image of 64 bytes whose instruction at 0x1C has command code `code`
// and whose trailer holds checksum 0x1122334455667788.
std::vector<uint8_t> Image(uint32_t code) {
  std::vector<uint8_t> image(64, 0);
  for (int i = 0; i < 4; ++i) image[0x1C + i] = uint8_t(code >> (8 * i));
  const uint64_t checksum = 0x1122334455667788ull;
  for (int i = 0; i < 8; ++i) image[52 + i] = uint8_t(checksum >> (8 * i));
  image[60] = 60;
  return image;
}

const char kMap[] =
    "zorvat line map 1\n"
    "image 64 1122334455667788\n"
    "module 0 C:\\scripts\\main.zvs\n"
    "module 1 C:\\scripts\\lib.zvs\n"
    "1C 1 7\n";

TCommandNames Names() {
  TCommandNames names;
  std::string error;
  EXPECT_TRUE(ParseCommandNames("15,1,1,Exit,40,#de[41]`0`\n33,10,0,Return,1\n", &names, &error));
  return names;
}

TEST(RunReport, NamesTheModuleLineCommandAndMeaning) {
  std::vector<uint8_t> image = Image(33);
  TLineMap map;
  ASSERT_TRUE(ParseLineMap(kMap, image.data(), 64, &map));
  TCommandNames names = Names();
  EXPECT_EQ(
      DescribeRunError(&map, &names, image.data(), 64, 1033, 0x1C, "x.zvb"),
      "C:\\scripts\\lib.zvs:7: Return failed with status 1033: return with an empty call stack");
  // Running off the end is not the last command's failure.
  EXPECT_EQ(DescribeRunError(&map, &names, image.data(), 64, 106, 0x1C, "x.zvb"),
            "C:\\scripts\\lib.zvs:7: stopped after Return with status 106: execution ran past the "
            "end of its code section");
  // A status of no known meaning, and no map: the offset stands in.
  EXPECT_EQ(DescribeRunError(nullptr, &names, image.data(), 64, 4242, 0x1C, "x.zvb"),
            "x.zvb: Return (offset 0x1C) failed with status 4242");
  // An offset outside the image names no command.
  EXPECT_EQ(DescribeRunError(nullptr, nullptr, image.data(), 64, 1011, 0x100, "x.zvb"),
            "x.zvb: the command (offset 0x100) failed with status 1011: index out of range, or an "
            "item asked of an empty array");
  // The script's own exit.
  std::vector<uint8_t> exit = Image(15);
  EXPECT_EQ(DescribeRunError(&map, &names, exit.data(), 64, 7, 0x1C, "x.zvb"),
            "C:\\scripts\\lib.zvs:7: the script exited with status 7");
}

TEST(RunReport, AMapOfAnotherImageOrMalformedIsRefused) {
  std::vector<uint8_t> image = Image(33);
  TLineMap map;
  image[52] ^= 1;  // another checksum
  EXPECT_FALSE(ParseLineMap(kMap, image.data(), 64, &map));
  image[52] ^= 1;
  EXPECT_FALSE(ParseLineMap(kMap, image.data(), 63, &map));  // another length
  EXPECT_FALSE(ParseLineMap("zorvat line map 1\nimage 64 1122334455667788\n1C 0 1\n", image.data(),
                            64, &map));  // a line of a module not listed
  EXPECT_FALSE(ParseLineMap("something else\n", image.data(), 64, &map));
}

}  // namespace

// Long data is stored once, at the first offset of "LDS" where its bytes
// already stand, wherever that is.
#include "compiler/long_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

#include "compiler/compile_codes.h"
#include "tests/support/test_harness.h"

namespace {

class LongData : public ::testing::Test {
 protected:
  void SetUp() override { UseTestCommandList(); }
};

uint32_t U32At(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

std::string Hex(const Bytes& bytes) {
  std::string s;
  for (uint8_t b : bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    s += kDigits[b >> 4];
    s += kDigits[b & 15];
  }
  return s;
}

// The item that stores a block (element size 1) or a text (2).
Bytes BlockItem(const Bytes& payload, uint32_t elemSize = 1) {
  uint32_t count = uint32_t(payload.size() + 2) / elemSize;
  Bytes item;
  for (uint32_t v : {elemSize, count, count, 0u}) {
    for (int i = 0; i < 4; ++i) item.push_back(uint8_t(v >> (8 * i)));
  }
  item.insert(item.end(), payload.begin(), payload.end());
  item.push_back(0);
  item.push_back(0);
  return item;
}

TEST_F(LongData, AnItemMayBeFoundInsideAnEarlierOne) {
  const Bytes ab = HexBytes("02000000 03000000 03000000 00000000 6100 6200 0000");
  Compiled c("PutBlock !" + Hex(ab) + "!\nPutText \"ab\"");
  ASSERT_EQ(c.Result(), kCompileOk);
  Bytes gcs = c.Section("GCS");
  EXPECT_EQ(U32At(gcs, 5), 0u);
  EXPECT_EQ(U32At(gcs, 14), 16u);  // inside the block's data
  EXPECT_EQ(c.Section("LDS").size(), 16u + ab.size() + 2);
}

TEST_F(LongData, AnItemMayBeFoundAcrossTwoEarlierOnes) {
  // Y = block AA BB 00 00 02 00: its header and AA BB stand at the end of the
  // first block's data, its 00 00 is that block's end, and its last four
  // bytes are the start of the text item of "Q" that follows.
  Compiled c(
      "PutBlock !01000000 08000000 08000000 00000000 AABB!\nPutText \"Q\"\n"
      "PutBlock !AABB00000200!\nPutBlock !AABB00000201!");
  ASSERT_EQ(c.Result(), kCompileOk);
  Bytes gcs = c.Section("GCS");
  EXPECT_EQ(U32At(gcs, 5), 0u);
  EXPECT_EQ(U32At(gcs, 14), 36u);
  EXPECT_EQ(U32At(gcs, 23), 16u);
  EXPECT_EQ(U32At(gcs, 32), 56u);  // one byte different: appended
  EXPECT_EQ(c.Section("LDS").size(), 56u + 24);
}

TEST_F(LongData, TextsAndBlocksOfTheSameBytesAreDifferentItems) {
  Compiled c("PutText \"ab\"\nPutAny \"ab\"\nPutBlock 'a'\nPutBlock !61!\nPutText \"ab\"");
  ASSERT_EQ(c.Result(), kCompileOk);
  Bytes gcs = c.Section("GCS");
  EXPECT_EQ(U32At(gcs, 5), 0u);
  EXPECT_EQ(U32At(gcs, 14), 22u);
  EXPECT_EQ(U32At(gcs, 23), 44u);
  EXPECT_EQ(U32At(gcs, 32), 44u);
  EXPECT_EQ(U32At(gcs, 41), 0u);
}

// Random blocks full of item-like bytes (fake headers, copies and pieces of
// earlier items) against a model that searches "LDS" byte by byte.
TEST_F(LongData, AgreesWithASearchAtEveryOffset) {
  std::mt19937 rng(7);
  int foundInside = 0;
  for (int round = 0; round < 20; ++round) {
    std::set<uint32_t> starts;
    Bytes model;
    std::string script;
    std::vector<uint32_t> expected;
    std::vector<Bytes> used;
    for (int n = 0; n < 150; ++n) {
      Bytes payload;
      switch (rng() % 6) {
        case 0:  // a fake header that claims the bytes after it
          for (uint32_t v : {uint32_t(1 + rng() % 2), uint32_t(rng() % 40), 0u, 0u}) {
            for (int i = 0; i < 4; ++i) payload.push_back(uint8_t(v >> (8 * i)));
          }
          payload[8] = payload[4];
          break;
        case 1:  // an earlier payload again
          if (!used.empty()) payload = used[rng() % used.size()];
          break;
        case 2: {  // the item of a payload that comes later, amid other bytes
          Bytes later;
          for (uint32_t i = rng() % 4; i > 0; --i) later.push_back(uint8_t(rng() % 3));
          Bytes item = BlockItem(later);
          payload.assign(rng() % 3, uint8_t(1));
          payload.insert(payload.end(), item.begin(), item.begin() + item.size() - rng() % 3);
          used.push_back(later);
          break;
        }
        case 3:  // a copy of a piece of "LDS", across item boundaries
          if (!model.empty()) {
            size_t from = rng() % model.size();
            size_t length = rng() % 48;
            for (size_t i = from; i < model.size() && i < from + length; ++i) {
              payload.push_back(model[i]);
            }
          }
          break;
        default:
          for (uint32_t i = rng() % 6; i > 0; --i) payload.push_back(uint8_t(rng() % 3));
      }
      used.push_back(payload);
      Bytes item = BlockItem(payload);
      auto found = std::search(model.begin(), model.end(), item.begin(), item.end());
      expected.push_back(uint32_t(found - model.begin()));
      if (found == model.end()) {
        starts.insert(uint32_t(model.size()));
        model.insert(model.end(), item.begin(), item.end());
      } else {
        foundInside += starts.count(expected.back()) == 0;
      }
      script += "PutBlock !" + Hex(payload) + "!\n";
    }
    Compiled c(script);
    ASSERT_EQ(c.Result(), kCompileOk);
    ASSERT_EQ(c.Section("LDS"), model) << round;
    Bytes gcs = c.Section("GCS");
    for (size_t k = 0; k < expected.size(); ++k) {
      ASSERT_EQ(U32At(gcs, 9 * k + 5), expected[k]) << round << " " << k;
    }
  }
  EXPECT_GT(foundInside, 20);  // the cases that a search of item starts would miss
}

// Texts of plain letters (whose bytes cannot start a header) with blocks
// that copy pieces of "LDS", hold whole items or start with fake headers,
// against the same byte-by-byte model: most texts are appended in one step
// and must still be found where they stand later, inside or across items.
TEST_F(LongData, TextsAppendedWholeAgreeWithASearchAtEveryOffset) {
  std::mt19937 rng(11);
  for (int round = 0; round < 20; ++round) {
    Bytes model;
    std::string script;
    std::vector<uint32_t> expected;
    std::vector<std::string> texts;
    for (int n = 0; n < 200; ++n) {
      Bytes payload;
      uint32_t elemSize = 1;
      std::string text;
      const uint32_t kind = rng() % 8;
      if (kind < 4) {  // a text, new or seen before
        if (kind == 0 && !texts.empty()) {
          text = texts[rng() % texts.size()];
        } else {
          for (uint32_t i = rng() % 12; i > 0; --i) text += char('a' + rng() % 3);
          texts.push_back(text);
        }
        for (char ch : text) payload.insert(payload.end(), {uint8_t(ch), 0});
        elemSize = 2;
      } else if (kind == 4 && !model.empty()) {  // a piece of "LDS"
        size_t from = rng() % model.size();
        for (size_t i = from; i < model.size() && i < from + rng() % 64; ++i) {
          payload.push_back(model[i]);
        }
      } else if (kind == 5 && !texts.empty()) {  // the item of a text, whole or cut short
        Bytes units;
        for (char ch : texts[rng() % texts.size()]) units.insert(units.end(), {uint8_t(ch), 0});
        Bytes item = BlockItem(units, 2);
        payload.assign(rng() % 2, uint8_t('a'));
        payload.insert(payload.end(), item.begin(), item.end() - rng() % 3);
      } else if (kind == 6) {  // a fake header claiming letters after it
        payload = HexBytes("02000000 05000000 05000000 00000000");
      } else {
        for (uint32_t i = rng() % 20; i > 0; --i) payload.push_back(uint8_t('a' + rng() % 3));
      }
      Bytes item = BlockItem(payload, elemSize);
      auto found = std::search(model.begin(), model.end(), item.begin(), item.end());
      expected.push_back(uint32_t(found - model.begin()));
      if (found == model.end()) model.insert(model.end(), item.begin(), item.end());
      script += elemSize == 2 ? "PutText \"" + text + "\"\n" : "PutBlock !" + Hex(payload) + "!\n";
    }
    Compiled c(script);
    ASSERT_EQ(c.Result(), kCompileOk);
    ASSERT_EQ(c.Section("LDS"), model) << round;
    Bytes gcs = c.Section("GCS");
    for (size_t k = 0; k < expected.size(); ++k) {
      ASSERT_EQ(U32At(gcs, 9 * k + 5), expected[k]) << round << " " << k;
    }
  }
}

}  // namespace

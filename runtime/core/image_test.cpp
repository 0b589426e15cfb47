#include "runtime/core/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/crc64.h"
#include "base/status.h"
#include "runtime/core/context.h"
#include "runtime/core/dispatch.h"
#include "tests/support/command_codes.h"
#include "tests/support/image_builder.h"

namespace {

// An image loaded into a context, released at the end of the test.
struct Loaded {
  Bytes image;
  TScriptContext context{};
  TStatus init = 0;

  explicit Loaded(Bytes bytes) : image(std::move(bytes)) {
    init = InitContext(&context, image.data(), uint32_t(image.size()));
  }
  ~Loaded() {
    FreePreparedImage(&context);
    std::free(context.SectionIndex);
  }
  TStatus Prepare() { return PrepareImage(&context); }
};

const uint8_t kSmallest[42] = {'_',  'Z',  'o',  'r',  'v',  'a',  't',  '_',  0x01, 0x00, 0x00,
                               0x00, 0x47, 0x43, 0x53, 0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x00,
                               0x00, 0x00, 0x0F, 0x00, 0x00, 0x00, 0x0B, 0x00, 0xFF, 0xFF, 0xFF,
                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x26, 0x00, 0x00, 0x00};

TEST(Image, SmallestImageLoadsAndPrepares) {
  Bytes bytes(kSmallest, kSmallest + sizeof kSmallest);
  EXPECT_EQ(SmallestImage(), bytes);
  EXPECT_EQ(ValidateImage(bytes.data(), 42), kStatusOk);
  Loaded l(bytes);
  ASSERT_EQ(l.init, kStatusOk);
  ASSERT_EQ(l.context.SectionCount, 1u);
  const TSection& gcs = l.context.SectionIndex[0];
  EXPECT_STREQ(gcs.Name, "GCS");
  EXPECT_EQ(gcs.SectionFlag, 1u);
  EXPECT_EQ(gcs.SectionLength, 6u);
  EXPECT_EQ(SectionOffset(&l.context, &gcs), 24u);
  EXPECT_EQ(l.context.LongDataSection, nullptr);
  EXPECT_EQ(FindImageSection(&l.context, "GCS"), &gcs);
  EXPECT_EQ(FindImageSection(&l.context, "gcs"), nullptr);
  ASSERT_EQ(l.Prepare(), kStatusOk);
  EXPECT_TRUE(IsInstructionStart(l.context.Prepared, 24));
  EXPECT_FALSE(IsInstructionStart(l.context.Prepared, 28));
  EXPECT_EQ(l.Prepare(), kStatusOk);  // a second call changes nothing
}

TEST(Image, InitialSettings) {
  Loaded l(SmallestImage());
  EXPECT_EQ(l.context.ActionAfterError, 1u);
  EXPECT_EQ(l.context.KeyPressTime, 50u);
  EXPECT_EQ(l.context.SendMsgTimeout, 500u);
  EXPECT_EQ(l.context.IgnoreSymlinks, 0u);
  EXPECT_EQ(l.context.FileDialogBufferSize, 32768u);
  EXPECT_FALSE(l.context.ExitFlag);
  EXPECT_EQ(l.context.ScriptStart, l.image.data());
  EXPECT_EQ(l.context.ScriptLength, 42u);
}

TEST(Image, ImageWithoutSectionsIsValid) {
  ImageBuilder b;
  Bytes image = b.Build(false);
  ASSERT_EQ(image.size(), 24u);
  EXPECT_EQ(ValidateImage(image.data(), 24), kStatusOk);
  Loaded l(image);
  EXPECT_EQ(l.init, kStatusOk);
  EXPECT_EQ(l.context.SectionCount, 0u);
  EXPECT_EQ(l.context.SectionIndex, nullptr);
  EXPECT_EQ(l.Prepare(), kStatusOk);
}

TEST(Image, FrameChecksInOrder) {
  Bytes image = SmallestImage();
  EXPECT_EQ(ValidateImage(image.data(), 23), kStatusMalformedImage);
  Bytes badMagic = image;
  badMagic[0] = 'z';
  EXPECT_EQ(ValidateImage(badMagic.data(), 42), kStatusMalformedImage);
  Bytes badLength = image;
  badLength[38] = 0x25;
  EXPECT_EQ(ValidateImage(badLength.data(), 42), kStatusMalformedImage);
}

TEST(Image, EveryFlippedByteBeforeTheChecksumIsCaught) {
  ImageBuilder b;
  Bytes& lds = b.Add("LDS", 0);
  uint32_t text = AddTextConstant(lds, u"hello");
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Constant(13, text);
  Bytes image = b.Build(true);
  ASSERT_EQ(ValidateImage(image.data(), uint32_t(image.size())), kStatusOk);
  const size_t covered = image.size() - 12;
  for (size_t i = 0; i < covered; ++i) {
    Bytes flipped = image;
    flipped[i] ^= 0x01;
    // The magic is checked before the checksum.
    TStatus expected = i < 8 ? kStatusMalformedImage : kStatusChecksumMismatch;
    EXPECT_EQ(ValidateImage(flipped.data(), uint32_t(flipped.size())), expected) << "byte " << i;
    // Without a checksum the same damage is found by the structure checks,
    // or the image is simply different; nothing is read past it.
    std::memset(flipped.data() + covered, 0xFF, 8);
    TStatus status = ValidateImage(flipped.data(), uint32_t(flipped.size()));
    EXPECT_TRUE(status == kStatusOk || status == kStatusMalformedImage) << "byte " << i;
  }
  std::memset(image.data() + covered, 0xFF, 8);
  EXPECT_EQ(ValidateImage(image.data(), uint32_t(image.size())), kStatusOk);
}

TEST(Image, EveryTruncationIsRejected) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Byte(0);
  b.Add("DATA1", 0).assign(20, 0xAB);
  Bytes image = b.Build(true);
  for (size_t n = 0; n < image.size(); ++n) {
    Bytes prefix(image.begin(), image.begin() + n);
    EXPECT_NE(ValidateImage(n ? prefix.data() : nullptr, uint32_t(n)), kStatusOk) << n;
    Loaded l(prefix);
    EXPECT_NE(l.init, kStatusOk) << n;
    EXPECT_EQ(l.context.SectionCount, 0u);
    EXPECT_EQ(l.Prepare(), kStatusMalformedImage) << n;
  }
}

TEST(Image, DirectoryMustFitTheImage) {
  Bytes image = SmallestImage();
  Bytes hugeCount = image;
  StoreU32(hugeCount.data() + 8, 0x10000000);
  EXPECT_EQ(ValidateImage(hugeCount.data(), 42), kStatusMalformedImage);
  Bytes twoEntries = image;
  StoreU32(twoEntries.data() + 8, 2);
  EXPECT_EQ(ValidateImage(twoEntries.data(), 42), kStatusMalformedImage);
  Bytes longSection = image;
  StoreU32(longSection.data() + 20, 7);
  EXPECT_EQ(ValidateImage(longSection.data(), 42), kStatusMalformedImage);
  Loaded l(longSection);
  EXPECT_EQ(l.init, kStatusMalformedImage);
  EXPECT_EQ(l.Prepare(), kStatusMalformedImage);
  // A name that runs into the checksum has no terminator in bounds.
  Bytes unterminated = SmallestImage();
  std::memset(unterminated.data() + 12, 'A', 18);
  EXPECT_EQ(ValidateImage(unterminated.data(), 42), kStatusMalformedImage);
}

TEST(Image, LoadsFromTheEndOfALargerFile) {
  Bytes image = SmallestImage();
  Bytes file(100000 + image.size(), 0x5A);
  std::copy(image.begin(), image.end(), file.begin() + 100000);
  std::string path = TempPath("appended.zvb");
  ASSERT_TRUE(WriteFileBytes(path, file));
  uint8_t* loaded = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(LoadImageFile(ToU16(path).c_str(), &loaded, &length), kStatusOk);
  ASSERT_EQ(length, 42u);
  EXPECT_EQ(std::memcmp(loaded, image.data(), 42), 0);
  FreeImage(loaded);
  std::remove(path.c_str());
}

TEST(Image, LoadFailuresGiveStatus1) {
  uint8_t* loaded = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(LoadImageFile(ToU16(TempPath("missing.zvb")).c_str(), &loaded, &length),
            kStatusNoImage);

  std::string path = TempPath("short.zvb");
  ASSERT_TRUE(WriteFileBytes(path, {1, 2, 3}));
  EXPECT_EQ(LoadImageFile(ToU16(path).c_str(), &loaded, &length), kStatusNoImage);

  // The trailing u32 claims one byte more than the file holds.
  Bytes tooLong(100, 0);
  StoreU32(tooLong.data() + 96, 97);
  ASSERT_TRUE(WriteFileBytes(path, tooLong));
  EXPECT_EQ(LoadImageFile(ToU16(path).c_str(), &loaded, &length), kStatusNoImage);
  StoreU32(tooLong.data() + 96, 96);
  ASSERT_TRUE(WriteFileBytes(path, tooLong));
  EXPECT_EQ(LoadImageFile(ToU16(path).c_str(), &loaded, &length), kStatusOk);
  EXPECT_EQ(length, 100u);
  FreeImage(loaded);

  StoreU32(tooLong.data() + 96, 0xFFFFFFFFu);  // length + 4 wraps in 32 bits
  ASSERT_TRUE(WriteFileBytes(path, tooLong));
  EXPECT_EQ(LoadImageFile(ToU16(path).c_str(), &loaded, &length), kStatusNoImage);
  EXPECT_EQ(loaded, nullptr);
  std::remove(path.c_str());
}

TEST(Image, CommandCodeOutsideTheTableGives21AtItsOffset) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kTextExpandEnvironment).Byte(1).Byte(2).Cmd(kCommandCount).End();
  Loaded l(b.Build());
  EXPECT_EQ(l.Prepare(), kStatusBadCommandCode);
  EXPECT_EQ(l.context.Error_At, b.OffsetOf("GCS") + 8);
  EXPECT_EQ(l.context.Prepared, nullptr);
}

TEST(Image, KindAbove14Gives22AtTheKindByte) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Raw(15);
  Loaded l(b.Build());
  EXPECT_EQ(l.Prepare(), kStatusBadParamKind);
  EXPECT_EQ(l.context.Error_At, b.OffsetOf("GCS") + 4);
}

TEST(Image, FirstFailingCodeSectionDecides) {
  ImageBuilder b;
  CodeWriter(b.Add("A", 1)).Cmd(kExit).Raw(200);
  CodeWriter(b.Add("B", 1)).Cmd(400);
  Loaded l(b.Build());
  EXPECT_EQ(l.Prepare(), kStatusBadParamKind);
  // Data sections are not walked as code.
  ImageBuilder d;
  PutU32(d.Add("D", 0), 400);
  CodeWriter(d.Add("GCS", 1)).Cmd(kExit).Byte(0);
  Loaded ld(d.Build());
  EXPECT_EQ(ld.Prepare(), kStatusOk);
}

TEST(Image, ShortParameterListEndsAtItsEndMarker) {
  // Code 37 takes three parameters; two and an end byte are enough.
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kMouseButtonsPressed).Byte(1).DWord(2).End().Cmd(kExit).Byte(0);
  Loaded l(b.Build());
  ASSERT_EQ(l.Prepare(), kStatusOk);
  uint32_t gcs = b.OffsetOf("GCS");
  EXPECT_TRUE(IsInstructionStart(l.context.Prepared, gcs));
  EXPECT_TRUE(IsInstructionStart(l.context.Prepared, gcs + 4 + 2 + 5 + 1));
  EXPECT_FALSE(IsInstructionStart(l.context.Prepared, gcs + 4));
}

TEST(Image, InstructionsMustEndInsideTheirSection) {
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Raw(7);  // DWORD kind without its payload
  b.Add("D", 0).assign(8, 0);
  Loaded l(b.Build());
  EXPECT_EQ(l.Prepare(), kStatusMalformedImage);

  ImageBuilder open;
  CodeWriter(open.Add("GCS", 1)).Cmd(kKeyStroke).Byte(65).Byte(66);  // open-ended, no end byte
  Loaded lo(open.Build());
  EXPECT_EQ(lo.Prepare(), kStatusMalformedImage);

  ImageBuilder partial;
  Bytes& gcs = partial.Add("GCS", 1);
  CodeWriter(gcs).Cmd(kExit).Byte(0);
  gcs.push_back(0x0F);  // three bytes of a command code
  gcs.push_back(0);
  gcs.push_back(0);
  Loaded lp(partial.Build());
  EXPECT_EQ(lp.Prepare(), kStatusMalformedImage);
  EXPECT_EQ(lp.context.Error_At, partial.OffsetOf("GCS") + 6);
}

// An image whose GCS jumps to a label: Goto (21) with a slot listed in JTS.
struct LabelImage {
  ImageBuilder b;
  uint32_t slotInGcs = 0;
  LabelImage() {
    PutU32(b.Add("JTS", 0), 0);
    CodeWriter w(b.Add("GCS", 1));
    w.Cmd(kGoto);
    slotInGcs = w.Here() + 1;
    w.DWord(0).Cmd(kExit).Byte(0);
  }
  uint32_t Gcs() const { return b.OffsetOf("GCS"); }
  // Lists `entry` in JTS and puts `target` into the Goto's slot.
  Bytes Build(uint32_t entry, uint32_t target) {
    StoreU32(b.Section("JTS").data(), entry);
    StoreU32(b.Section("GCS").data() + slotInGcs, target);
    return b.Build();
  }
};

TEST(Image, LabelSlotsKeepTheirImageOffsets) {
  LabelImage li;
  uint32_t gcs = li.Gcs();
  Loaded l(li.Build(gcs + li.slotInGcs, gcs + 9));
  ASSERT_EQ(l.Prepare(), kStatusOk);
  EXPECT_EQ(LoadU32(l.context.ScriptStart + gcs + li.slotInGcs), gcs + 9);
}

TEST(Image, JumpTableEntriesAreChecked) {
  auto prepare = [](uint32_t entryDelta, uint32_t targetDelta) {
    LabelImage li;
    uint32_t gcs = li.Gcs();
    Loaded l(li.Build(gcs + li.slotInGcs + entryDelta, gcs + targetDelta));
    TStatus status = l.Prepare();
    if (status != kStatusOk) {
      EXPECT_EQ(l.context.Error_At, li.b.OffsetOf("JTS"));
    }
    return status;
  };
  EXPECT_EQ(prepare(0, 9), kStatusOk);
  EXPECT_EQ(prepare(0, 0), kStatusOk);               // the Goto itself
  EXPECT_EQ(prepare(0, 15), kStatusOk);              // a label at the end of the section
  EXPECT_EQ(prepare(0, 16), kStatusMalformedImage);  // past the sections' bytes
  EXPECT_EQ(prepare(0, 0x7FFFFFFF), kStatusMalformedImage);
  EXPECT_EQ(prepare(1, 9), kStatusMalformedImage);             // not a slot
  EXPECT_EQ(prepare(uint32_t(-1), 9), kStatusMalformedImage);  // the kind byte
  EXPECT_EQ(prepare(0x7FFFFFF0, 9), kStatusMalformedImage);    // outside the image
}

TEST(Image, SlotsInDataSectionsNeedOnlyFitTheirSection) {
  ImageBuilder b;
  Bytes& jts = b.Add("JTS", 0);
  PutU32(jts, 0);
  PutU32(jts, 0);
  b.Add("DATA", 0).assign(8, 0);
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Byte(0);
  const uint32_t data = b.OffsetOf("DATA");
  StoreU32(b.Section("JTS").data(), data + 4);      // the last four bytes
  StoreU32(b.Section("JTS").data() + 4, data + 5);  // runs past the section
  StoreU32(b.Section("DATA").data() + 4, data);     // a label of the data itself
  Loaded bad(b.Build());
  EXPECT_EQ(bad.Prepare(), kStatusMalformedImage);
  EXPECT_EQ(bad.context.Error_At, b.OffsetOf("JTS") + 4);
  StoreU32(b.Section("JTS").data() + 4, data + 4);
  Loaded good(b.Build());
  EXPECT_EQ(good.Prepare(), kStatusOk);
}

TEST(Image, ConstantsArePooledAlignedAndStatic) {
  ImageBuilder b;
  Bytes& lds = b.Add("LDS", 0);
  uint32_t block = AddBlockConstant(lds, {1, 2, 3});  // 21 bytes: the text is misaligned
  uint32_t text = AddTextConstant(lds, u"ab");
  CodeWriter(b.Add("GCS", 1))
      .Cmd(kSetDWORD)
      .Constant(13, text)
      .Constant(5, block)
      .Cmd(kSetDWORD)
      .Constant(13, text)
      .Constant(5, block)
      .Cmd(kExit)
      .Byte(0);
  Loaded l(b.Build());
  ASSERT_EQ(l.Prepare(), kStatusOk);
  const TPreparedImage* p = l.context.Prepared;
  ASSERT_EQ(p->ConstantCount, 2u);
  uint32_t gcs = b.OffsetOf("GCS");
  uint32_t textIndex = LoadU32(l.context.ScriptStart + gcs + 5);
  EXPECT_EQ(LoadU32(l.context.ScriptStart + gcs + 19), textIndex);  // same offset, same constant
  PArrayHeader t = p->Constants[textIndex];
  EXPECT_EQ(reinterpret_cast<uintptr_t>(t) % 8, 0u);
  EXPECT_EQ(t->ElemSize, 2u);
  EXPECT_EQ(t->ElemCount, 3u);
  EXPECT_EQ(t->IsDynamic, 0u);
  EXPECT_EQ(LoadU16(UA_Data(t)), u'a');
  EXPECT_EQ(LoadU16(UA_Data(t) + 4), 0);
  PArrayHeader bl = p->Constants[LoadU32(l.context.ScriptStart + gcs + 10)];
  EXPECT_EQ(bl->ElemCount, 5u);
  EXPECT_EQ(UA_Data(bl)[2], 3);
}

TEST(Image, BadConstantsAreMalformed) {
  auto prepare = [](uint8_t kind, auto fill) {
    ImageBuilder b;
    Bytes& lds = b.Add("LDS", 0);
    uint32_t offset = fill(lds);
    CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Constant(kind, offset);
    Loaded l(b.Build());
    return l.Prepare();
  };
  auto text = [](Bytes& lds) { return AddTextConstant(lds, u"x"); };
  EXPECT_EQ(prepare(13, text), kStatusOk);
  EXPECT_EQ(prepare(5, text), kStatusMalformedImage);  // element size 2 is not a block
  EXPECT_EQ(prepare(13, [](Bytes& lds) { return AddTextConstant(lds, u"x") + 1; }),
            kStatusMalformedImage);
  EXPECT_EQ(prepare(13, [](Bytes& lds) { return uint32_t(lds.size()) + 100; }),
            kStatusMalformedImage);
  EXPECT_EQ(prepare(13,
                    [](Bytes& lds) {
                      return AddArrayConstant(lds, 2, 2, {'x', 0, 'y', 0});  // no terminator
                    }),
            kStatusMalformedImage);
  EXPECT_EQ(prepare(5,
                    [](Bytes& lds) {
                      return AddArrayConstant(lds, 1, 2, {0, 1});
                    }),
            kStatusMalformedImage);
  EXPECT_EQ(prepare(8,
                    [](Bytes& lds) {
                      return AddArrayConstant(lds, 4, 1000, {1, 2, 3, 4});
                    }),
            kStatusMalformedImage);
  EXPECT_EQ(prepare(14, [](Bytes& lds) { return AddArrayConstant(lds, 4, 0, {}); }), kStatusOk);
  EXPECT_EQ(prepare(14,
                    [](Bytes& lds) {
                      return AddArrayConstant(lds, 4, 1, {1, 2, 3, 4});
                    }),
            kStatusMalformedImage);
  // No "LDS" at all.
  ImageBuilder b;
  CodeWriter(b.Add("GCS", 1)).Cmd(kExit).Constant(13, 0);
  Loaded l(b.Build());
  EXPECT_EQ(l.Prepare(), kStatusMalformedImage);
}

TEST(Image, FailedPreparationLeavesTheImageAsItWas) {
  ImageBuilder b;
  Bytes& lds = b.Add("LDS", 0);
  uint32_t good = AddTextConstant(lds, u"ok");
  CodeWriter(b.Add("GCS", 1))
      .Cmd(kSetDWORD)
      .Constant(13, good)
      .Constant(13, 999)
      .Cmd(kExit)
      .Byte(0);
  Bytes image = b.Build();
  Loaded l(image);
  EXPECT_EQ(l.Prepare(), kStatusMalformedImage);
  EXPECT_EQ(l.image, image);
}

TEST(Image, CodeBoundsFindTheSectionOfAnOffset) {
  ImageBuilder b;
  CodeWriter(b.Add("A", 1)).Cmd(kExit).Byte(0);
  b.Add("D", 0).assign(4, 0);
  b.Add("E", 1);  // empty code sections hold nothing to run
  CodeWriter(b.Add("B", 1)).Cmd(kExit).Byte(1);
  Loaded l(b.Build());
  ASSERT_EQ(l.Prepare(), kStatusOk);
  uint32_t a = b.OffsetOf("A"), bo = b.OffsetOf("B");
  ASSERT_EQ(l.context.Prepared->CodeSectionCount, 2u);
  const TCodeBounds* found = FindCodeBounds(l.context.Prepared, a + 3);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Start, a);
  EXPECT_EQ(found->End, a + 6);
  EXPECT_EQ(FindCodeBounds(l.context.Prepared, a + 6), nullptr);  // the data section
  EXPECT_EQ(FindCodeBounds(l.context.Prepared, bo)->Start, bo);
  EXPECT_EQ(FindCodeBounds(l.context.Prepared, bo + 6), nullptr);
  EXPECT_EQ(FindCodeBounds(l.context.Prepared, 0), nullptr);
}

}  // namespace

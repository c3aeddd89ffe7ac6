#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "service/common/subrecord_record_response.h"
#include "service/subrecord_blocks.h"
#include "transport/result_codes.h"

using namespace EGTS;

namespace {

TEST(SubrecordBlocks, FreedBlocksServeTheirOwnSizeOnly) {
  void* small = TakeSubrecordBlock(40);
  ASSERT_NE(small, nullptr);
  std::memset(small, 0xAB, 40);
  GiveSubrecordBlock(small, 40);
  // A larger object never gets a smaller one's block.
  void* larger = TakeSubrecordBlock(100);
  ASSERT_NE(larger, nullptr);
  std::memset(larger, 0xCD, 100);
  EXPECT_NE(larger, small);
  // One of the same step of sizes does, where blocks are kept.
  void* again = TakeSubrecordBlock(48);
  if (kSubrecordBlocksKept) {
    EXPECT_EQ(again, small);
  }
  std::memset(again, 0xEF, 48);
  // Beyond the sizes kept: straight through.
  void* big = TakeSubrecordBlock(4096);
  ASSERT_NE(big, nullptr);
  std::memset(big, 0x11, 4096);
  GiveSubrecordBlock(big, 4096);
  GiveSubrecordBlock(again, 48);
  GiveSubrecordBlock(larger, 100);
  GiveSubrecordBlock(nullptr, 40);
}

// Objects made on one thread and freed on another, whose blocks then make
// objects there: each decodes its own values.
TEST(SubrecordBlocks, ObjectsFreedOnAnotherThreadServeIt) {
  std::vector<std::unique_ptr<Subrecord_RECORD_RESPONSE>> made;
  for (int i = 0; i < 100; ++i) made.push_back(std::make_unique<Subrecord_RECORD_RESPONSE>());
  std::thread other([&made] {
    made.clear();
    std::vector<std::unique_ptr<Subrecord_RECORD_RESPONSE>> again;
    for (uint8_t i = 0; i < 100; ++i) {
      again.push_back(std::make_unique<Subrecord_RECORD_RESPONSE>());
      const uint8_t srd[3] = {i, 0, static_cast<uint8_t>(i % 2 == 0 ? 0 : 139)};
      ASSERT_EQ(again.back()->Decode(srd, 3), EGTS_PC_OK);
    }
    for (uint8_t i = 0; i < 100; ++i) {
      EXPECT_EQ(again[i]->CRN(), i);
      EXPECT_EQ(again[i]->RST(), i % 2 == 0 ? 0 : 139);
    }
  });
  other.join();
}

}  // namespace

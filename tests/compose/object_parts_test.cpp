#include "compose/object_parts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "service/firmware/subrecord_service_part_data.h"
#include "transport/checksum.h"

namespace {

using EGTS::Subrecord_SERVICE_PART_DATA;

// The parts a unit receives decode to the object sent: the header on the
// first, the bytes in order, and a WOS that is the whole object's CRC.
TEST(ObjectParts, PartsDecodeToTheObjectSent) {
  std::vector<uint8_t> object(2500);
  for (std::size_t i = 0; i < object.size(); ++i) object[i] = static_cast<uint8_t>(i * 7);
  const ObjectHeader header{.configuration = true, .module = 1, .component = 5, .version = 0x0203};
  const uint32_t partSize = 1000;
  ASSERT_EQ(PartCount(object.size(), partSize), 3u);

  std::string received;
  for (std::size_t part = 0; part < 3; ++part) {
    const std::vector<uint8_t> srd = ObjectPartSrd(object, header, 0x4242, partSize, part, 1);
    Subrecord_SERVICE_PART_DATA decoded;
    ASSERT_EQ(decoded.Decode(srd.data(), static_cast<uint16_t>(srd.size())), 0) << "part " << part;
    EXPECT_TRUE(decoded.checks.empty()) << "part " << part << ": " << decoded.checks.front();
    EXPECT_EQ(decoded.ID(), 0x4242);
    EXPECT_EQ(decoded.PN(), part + 1);
    EXPECT_EQ(decoded.EPQ(), 3);
    EXPECT_EQ(decoded.HasHeader(), part == 0);
    if (part == 0) {
      using namespace EGTS::ObjectPlace;
      constexpr std::size_t kAt = Subrecord_SERVICE_PART_DATA::kObject;
      EXPECT_EQ(decoded.Value(kAt + kOA), 0x05u);  // OT 1 (configuration), MT 1
      EXPECT_EQ(decoded.Value(kAt + kCMI), 5u);
      EXPECT_EQ(decoded.Value(kAt + kVER), 0x0203u);
      EXPECT_EQ(decoded.WOS(), Crc16Update(0xFFFF, object.data(), object.size()));
      EXPECT_EQ(decoded.Text(kAt + kFN), "");
    }
    received += decoded.OD();
  }
  EXPECT_EQ(received, std::string(object.begin(), object.end()));
}

}  // namespace

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "server/packet_file.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Bytes = std::vector<uint8_t>;

std::string Header(const std::string& line1, const std::string& line2, const std::string& line3,
                   const std::string& line4 = "1700000000") {
  return line1 + "\r\n" + line2 + "\r\n" + line3 + "\r\n" + line4 + "\r\n";
}

std::optional<std::size_t> HeaderLength(const std::string& text) {
  return PacketFileHeaderLength(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// A file in the temporary directory, removed at the end.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& content) {
    static std::atomic<int> sequence{0};
    path_ = (fs::temp_directory_path() / ("korvane_packet_" + std::to_string(std::random_device{}()) +
                                          "_" + std::to_string(sequence++) + ".txt"))
                .string();
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~ScratchFile() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  const char* Path() const { return path_.c_str(); }

 private:
  std::string path_;
};

TEST(PacketFile, ReadsEveryByteAfterTheHeaderRaw) {
  // More than two chunks, with bytes that would be line ends or text ends.
  std::string packet = "\x01\x00\r\n\n\r\x1a\xff"s;
  for (int i = 0; packet.size() < 2600; ++i) packet += static_cast<char>(i * 37);
  const ScratchFile file(PacketFileHeader(2, "+79001234567", 1700000000) + packet);

  Bytes buffer{9, 9, 9};
  ASSERT_EQ(ReadPacketFile(file.Path(), buffer), packet.size());
  EXPECT_EQ(buffer, Bytes(packet.begin(), packet.end()));
}

TEST(PacketFile, UnusableFilesGiveZero) {
  Bytes buffer;
  EXPECT_EQ(ReadPacketFile(nullptr, buffer), 0u);
  EXPECT_EQ(ReadPacketFile("/nonexistent/korvane/packet.txt", buffer), 0u);
  EXPECT_EQ(ReadPacketFile(ScratchFile(Header("1", "2", "1 3") + "\x01\x02").Path(), buffer), 0u);
  // Valid header lines but no packet bytes, with and without the last line end.
  EXPECT_EQ(ReadPacketFile(ScratchFile(Header("1", "2", "1 4")).Path(), buffer), 0u);
  EXPECT_EQ(ReadPacketFile(ScratchFile("1\r\n2\r\n1 4\r\n17").Path(), buffer), 0u);
  EXPECT_EQ(HeaderLength("1\r\n2\r\n1 4\r\n17"), 13u);
  // Line 4 missing.
  EXPECT_EQ(HeaderLength("1\r\n2\r\n1 4\r\n"), std::nullopt);
  EXPECT_EQ(PacketFileHeaderLength(nullptr, 0), std::nullopt);
}

TEST(PacketFile, LineOneBeginsWithANumber) {
  EXPECT_EQ(HeaderLength(Header(" \t 000002", "", "1 4") + "P"), 30u);
  EXPECT_TRUE(HeaderLength(Header("123456789012345678901234567890 trailing", "", "1 4") + "P"));
  EXPECT_FALSE(HeaderLength(Header("", "", "1 4") + "P"));
  EXPECT_FALSE(HeaderLength(Header("n1", "", "1 4") + "P"));
  EXPECT_FALSE(HeaderLength(Header("-1", "", "1 4") + "P"));
}

TEST(PacketFile, LineThreeHoldsTwoNumbersTheSecond4Or2) {
  for (const char* good : {"1 4", "1 2", " 7\t\t0004 more", "99999999999999999999 2"}) {
    EXPECT_TRUE(HeaderLength(Header("1", "", good) + "P")) << good;
  }
  // 4294967300 is 4 once cut to 32 bits; it must not pass as 4.
  for (const char* bad : {"1 3", "1 42", "1 0", "1", "4", "1,4", "x 4", "1 x4", "1 4294967300"}) {
    EXPECT_FALSE(HeaderLength(Header("1", "", bad) + "P")) << bad;
  }
}

TEST(PacketFile, LinesLongerThan63BytesAreTakenInPieces) {
  // 61 characters and CR LF fill the 63 bytes; one more splits the line.
  EXPECT_TRUE(HeaderLength(Header("1", std::string(61, 'x'), "1 4") + "P"));
  EXPECT_FALSE(HeaderLength(Header("1", std::string(62, 'x'), "1 4") + "P"));
  EXPECT_FALSE(HeaderLength(Header("1", std::string(70, 'x'), "1 4") + "P"));

  // The rest of a long line 2 reads as line 3, and everything shifts by one.
  const std::string line2 = std::string(63, 'x') + "1 4";
  const ScratchFile file(Header("1", line2, "1 4", "1700000000") + "\x01\x02");
  Bytes buffer;
  ASSERT_EQ(ReadPacketFile(file.Path(), buffer), 14u);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "1700000000\r\n\x01\x02");
}

TEST(PacketFile, WritesHeaderAndName) {
  EXPECT_EQ(PacketFileHeader(2, "+79001234567", 1700000000),
            "000002\r\n+79001234567\r\n1 4\r\n1700000000\r\n");
  EXPECT_EQ(PacketFileHeader(1234567, "", 0), "1234567\r\n\r\n1 4\r\n0\r\n");

  const platform::SystemTime time{2024, 3, 5, 7, 8, 9, 123};
  EXPECT_EQ(OutgoingFileName(time, 2, "79001234567"), "202403050708092_79001234567.txt");
  EXPECT_EQ(OutgoingFileName(std::nullopt, 0, "1"), "000000000000000_1.txt");
}

}  // namespace

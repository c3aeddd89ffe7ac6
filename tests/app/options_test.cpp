#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"
#include "transport/transport_header.h"

namespace {

struct Parsed {
  StartupSettings settings;
  std::string messages;
  int binds = 0;
};

int bindCalls = 0;
void CountBind(std::string&) { ++bindCalls; }

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "/opt/korvane/bin/korvane");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  Parsed p;
  p.settings.WorkDirectory = DefaultWorkDirectory(argv[0]);
  bindCalls = 0;
  ParseOptions(static_cast<int>(argv.size()), argv.data(), p.settings, p.messages, &CountBind);
  p.binds = bindCalls;
  return p;
}

class OptionsTest : public ::testing::Test {
 protected:
  void TearDown() override { TPAddress = 0; }
};

TEST_F(OptionsTest, DefaultWorkDirectoryFromProgramPath) {
  EXPECT_EQ(DefaultWorkDirectory("/opt/korvane/bin/korvane"), "/opt/korvane/bin/WorkDir");
  EXPECT_EQ(DefaultWorkDirectory("./korvane"), "./WorkDir");
  EXPECT_EQ(DefaultWorkDirectory("korvane"), "");
  // Started through PATH: the executable's own path stands in.
  EXPECT_EQ(DefaultWorkDirectory("korvane", "/usr/local/bin/korvane"), "/usr/local/bin/WorkDir");
  EXPECT_EQ(DefaultWorkDirectory("./korvane", "/usr/local/bin/korvane"), "./WorkDir");
}

TEST_F(OptionsTest, PlatformAndConfirmationOptions) {
  auto p = Parse({"-r", "-s:127.0.0.1:9000"});
  EXPECT_TRUE(p.settings.Confirm);
  EXPECT_TRUE(p.settings.SendToPlatform);
  EXPECT_EQ(p.settings.PlatformAddress, "127.0.0.1");
  EXPECT_EQ(p.settings.PlatformPort, 9000);
  EXPECT_EQ(p.messages, "");
  EXPECT_EQ(p.binds, 0) << "-s: is no server address";
  for (const char* bad : {"-s", "-s:", "-s:127.0.0.1", "-s::9000"}) {
    p = Parse({bad});
    EXPECT_FALSE(p.settings.SendToPlatform) << bad;
    EXPECT_EQ(p.messages, "WARNING: incorrect format of parameter -s.\n") << bad;
  }
  for (const char* bad : {"-s:127.0.0.1:0", "-s:127.0.0.1:65536", "-s:127.0.0.1:x"}) {
    p = Parse({bad});
    EXPECT_FALSE(p.settings.SendToPlatform) << bad;
    EXPECT_EQ(p.messages, "ERROR: invalid port number for parameter -s.\n") << bad;
  }
}

TEST_F(OptionsTest, FileOptionForms) {
  auto p = Parse({"-f:packet.bin"});
  EXPECT_TRUE(p.settings.FileMode);
  EXPECT_EQ(p.settings.PacketFileName, "packet.bin");
  EXPECT_EQ(p.messages, "");

  for (const char* bad : {"-f:", "-f", "-fx"}) {
    p = Parse({bad});
    EXPECT_TRUE(p.settings.FatalOption) << bad;
    EXPECT_EQ(p.messages, "ERROR: No file name found for parameter -f:\n") << bad;
  }
  p = Parse({"-f:first.bin", "-f:"});
  EXPECT_FALSE(p.settings.FatalOption);
  EXPECT_EQ(p.settings.PacketFileName, "first.bin");
  EXPECT_EQ(p.messages, "");
}

TEST_F(OptionsTest, AddressOptionRangeAndForms) {
  const std::string range = "ERROR: EGTS TP address value must be in range between 0 and 65535\n";
  auto p = Parse({"-a:65535"});
  EXPECT_EQ(TPAddress, 65535);
  EXPECT_EQ(p.messages, "");
  p = Parse({"-a:12x"});
  EXPECT_EQ(TPAddress, 12);
  for (const char* bad : {"-a:0", "-a:65536", "-a:abc", "-a:", "-a:-1", "-a:99999999999"}) {
    p = Parse({bad});
    EXPECT_EQ(p.messages, range) << bad;
    EXPECT_EQ(TPAddress, 12) << bad << " must leave the address unchanged";
    EXPECT_FALSE(p.settings.FatalOption) << bad;
  }
  p = Parse({"-ax"});
  EXPECT_EQ(p.messages, "ERROR: No TP address found for parameter -a:\n");
  EXPECT_TRUE(p.settings.FatalOption);
}

TEST_F(OptionsTest, IncomingDirectoryWarnsAboutDefaultWorkDirectory) {
  auto p = Parse({"-n:/tmp/in"});
  EXPECT_TRUE(p.settings.IncomingMode);
  EXPECT_EQ(p.messages,
            "WARNING: Default path for WorkDirectory will be used '/opt/korvane/bin/WorkDir'\n");
  p = Parse({"-n:/tmp/in", "-w:/tmp/work"});
  EXPECT_EQ(p.messages, "");
  EXPECT_EQ(p.settings.WorkDirectory, "/tmp/work");
  p = Parse({"-n"});
  EXPECT_TRUE(p.settings.FatalOption);
  EXPECT_EQ(p.messages, "ERROR: No IncDirectory found for parameter -n:\n");
  p = Parse({"-n:/a", "-n:"});
  EXPECT_FALSE(p.settings.FatalOption);
}

TEST_F(OptionsTest, WorkAndOutputDirectoryForms) {
  auto p = Parse({"-w", "-o", "-w:", "-o:", "-o:/tmp/out"});
  EXPECT_EQ(p.messages,
            "WARNING: No WorkDirectory for parameter -w.\nWARNING: No OutDirectory for parameter -o.\n");
  EXPECT_FALSE(p.settings.WorkDirGiven);
  EXPECT_EQ(p.settings.OutDirectory, "/tmp/out");
}

TEST_F(OptionsTest, BindOptionForms) {
  auto p = Parse({"-b:127.0.0.1:7001"});
  EXPECT_EQ(p.settings.BindAddress, "127.0.0.1");
  EXPECT_EQ(p.settings.BindPort, 7001);
  EXPECT_EQ(p.binds, 1);

  p = Parse({"-b:127.0.0.1"});
  EXPECT_EQ(p.messages, "");
  EXPECT_EQ(p.binds, 0) << "no port colon: ignored";

  p = Parse({"-bx"});
  EXPECT_EQ(p.messages, "WARNING: incorrect format of parameter -b.\n");

  for (const char* bad : {"-b:127.0.0.1:x", "-b:127.0.0.1:70000", "-b:127.0.0.1:"}) {
    p = Parse({bad});
    EXPECT_EQ(p.messages, "ERROR: invalid port number for parameter -b.\n") << bad;
    EXPECT_EQ(p.binds, 0) << bad;
    EXPECT_EQ(p.settings.BindAddress, "127.0.0.1") << bad;
  }

  p = Parse({"-b:" + std::string(70, 'a') + ":1"});
  EXPECT_EQ(p.settings.BindAddress, std::string(64, 'a'));
}

TEST_F(OptionsTest, TrackOptionForms) {
  auto p = Parse({"-g:tracks.geojson"});
  EXPECT_TRUE(p.settings.TrackMode);
  EXPECT_EQ(p.settings.TrackFile, "tracks.geojson");
  EXPECT_EQ(p.settings.TrackSpeedBound, 300u);
  EXPECT_EQ(p.messages, "");

  p = Parse({"-g:C:\\runs\\a.gpx:160"});
  EXPECT_EQ(p.settings.TrackFile, "C:\\runs\\a.gpx");
  EXPECT_EQ(p.settings.TrackSpeedBound, 160u);

  for (const char* bad : {"-g:a.gpx:0", "-g:a.gpx:65536"}) {
    p = Parse({bad});
    EXPECT_EQ(p.messages, "ERROR: invalid speed bound for parameter -g.\n") << bad;
    EXPECT_FALSE(p.settings.TrackMode) << bad;
  }
  for (const char* missing : {"-g", "-g:", "-g::200"}) {
    p = Parse({missing});
    EXPECT_EQ(p.messages, "ERROR: No track file found for parameter -g:\n") << missing;
    EXPECT_FALSE(p.settings.TrackMode) << missing;
  }
}

TEST_F(OptionsTest, UsageComesLastAndUnknownArgumentsAreIgnored) {
  auto p = Parse({"x", "-z", "-h", "-", "-ax"});
  EXPECT_EQ(p.messages, std::string("ERROR: No TP address found for parameter -a:\n") + kUsageText);
  EXPECT_EQ(std::string(kUsageText).substr(0, 36), "Usage:  -h showing this information\n");
}

}  // namespace

namespace {

TEST_F(OptionsTest, UnitsAndPacingOptionForms) {
  auto p = Parse({"-e:C:\\units\\p.json:10000:2000", "-d:2.5:now"});
  EXPECT_TRUE(p.settings.UnitsMode);
  EXPECT_EQ(p.settings.UnitProfile, "C:\\units\\p.json");
  EXPECT_EQ(p.settings.UnitCount, 10000u);
  EXPECT_EQ(p.settings.UnitsPerSecond, 2000u);
  EXPECT_DOUBLE_EQ(p.settings.ReplayFactor, 2.5);
  EXPECT_TRUE(p.settings.ReplayTimesNow);
  p = Parse({"-e:p.json:7", "-d:confirmed"});
  EXPECT_EQ(p.settings.UnitCount, 7u);
  EXPECT_EQ(p.settings.UnitsPerSecond, 0u);
  EXPECT_TRUE(p.settings.ReplayConfirmed);
  EXPECT_FALSE(p.settings.ReplayTimesNow);
  p = Parse({"-e:p.json:0"});
  EXPECT_FALSE(p.settings.UnitsMode);
  EXPECT_EQ(p.messages, "ERROR: invalid unit count or rate for parameter -e.\n");
  p = Parse({"-e:"});
  EXPECT_EQ(p.messages, "ERROR: No unit profile found for parameter -e:\n");
  p = Parse({"-d:fast"});
  EXPECT_EQ(p.messages, "ERROR: invalid pacing for parameter -d.\n");
  EXPECT_TRUE(p.settings.FatalOption);
}

}  // namespace

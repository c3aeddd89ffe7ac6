// Windows only: Windows error numbers become the errno values callers test,
// compare equal to std::errc, and keep a text of their own.
#include <gtest/gtest.h>

#include <string>
#include <system_error>

#include "platform/windows_api.h"
#include "platform/windows_error.h"

namespace {

TEST(ErrorWin32, TranslatedErrorsCompareAsErrcAndCarryWindowsTexts) {
  struct Case {
    unsigned long windows;
    std::errc expected;
  };
  const Case cases[] = {
      {ERROR_SHARING_VIOLATION, std::errc::device_or_resource_busy},
      {ERROR_FILE_EXISTS, std::errc::file_exists},
      {ERROR_ALREADY_EXISTS, std::errc::file_exists},
      {ERROR_PATH_NOT_FOUND, std::errc::no_such_file_or_directory},
      {WSAEWOULDBLOCK, std::errc::resource_unavailable_try_again},
      {WSAECONNREFUSED, std::errc::connection_refused},
      {WSAEADDRINUSE, std::errc::address_in_use},
  };
  for (const Case& c : cases) {
    const std::error_code error = platform::WindowsError(c.windows);
    EXPECT_EQ(error.value(), static_cast<int>(c.expected)) << "Windows error " << c.windows;
    EXPECT_TRUE(error == c.expected) << "Windows error " << c.windows;
    const std::string text = error.message();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find("Unknown"), std::string::npos) << text;
    EXPECT_NE(text.back(), '\n') << text;
  }

  // Without a translation the Windows number stays, and equals no errno.
  const std::error_code untranslated = platform::WindowsError(ERROR_DISK_FULL);
  EXPECT_EQ(untranslated.value(), static_cast<int>(ERROR_DISK_FULL));
  EXPECT_FALSE(untranslated == std::errc::no_space_on_device);
  EXPECT_FALSE(untranslated.message().empty());
}

}  // namespace

// A stamp holds 64-bit times and sizes on every target, 32-bit ones too:
// files dated after January 2038 or before 1970, or larger than 4 GiB, are
// read and found unchanged like any other.
#include "driver/file_access/file_stamp.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <limits>

#include "driver/file_access/program_file_reading.h"
#include "tests/test_support.h"

namespace orvalen {
namespace {

TEST(FileStamps, TimesAndSizesPastThirtyTwoBitsSurviveTheOpen) {
  struct Case {
    std::int64_t seconds;
    long nanoseconds;
    std::int64_t size;
    std::int64_t modified_ns;  // what the stamp must hold
  };
  const Case cases[] = {
      {2147483648, 5, 0, 2147483648000000005},                   // 2038-01-19T03:14:08Z
      {4102444800, 999999999, 4294967303, 4102444800999999999},  // 2100-01-01, 4 GiB + 7
      {-1, 0, 2147483648, -1000000000},                          // 1969-12-31T23:59:59Z
  };
  const testing::ScratchFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    const std::string path = folder / "part.nc";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ftruncate(fd, c.size));
    close(fd);
    const timespec times[2] = {{c.seconds, c.nanoseconds}, {c.seconds, c.nanoseconds}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), times, 0));
    ProgramFileReader reader;
    ASSERT_EQ(0, reader.Open(path, std::numeric_limits<std::uint64_t>::max()));
    HeldFile held;
    reader.Keep(held);
    EXPECT_EQ(c.modified_ns, held.stamp.modified_ns);
    EXPECT_EQ(c.size, held.stamp.size);
    EXPECT_EQ(0, DifferenceFrom(held));
  }
}

}  // namespace
}  // namespace orvalen

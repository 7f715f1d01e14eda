// libmii.so's first access opens its socket. A program of its own, so
// that the process has not opened it yet whichever way the tests are run.
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

#include "mdio/mdio.h"
#include "mii_fake.h"

constexpr uint16_t VALUE_BEFORE = 0x5A5A;

TEST(MiiLinuxOpen, FailedOpenIsTheStatusAndIsTriedAgain) {
  ASSERT_EQ(fake.socket_calls, 0) << "needs a process that has made no access yet";
  // Out of descriptors for the process or the system, refused by a security policy, out of memory.
  int tries = 0;
  for (int refusal : {EMFILE, ENFILE, EACCES, ENOBUFS}) {
    SCOPED_TRACE(std::strerror(refusal));
    fake.socket_fail_errno = refusal;
    uint16_t value = VALUE_BEFORE;
    errno = 0;
    EXPECT_EQ(mdio_read("eth0", 7, 16, &value), refusal);
    EXPECT_EQ(errno, refusal);
    EXPECT_EQ(value, VALUE_BEFORE);
    errno = 0;
    EXPECT_EQ(mdio_write("eth0", 7, 16, 0), refusal);
    EXPECT_EQ(errno, refusal);
    tries += 2;
    EXPECT_EQ(fake.socket_calls, tries);
  }
  EXPECT_EQ(fake.ioctl_calls, 0);

  fake.socket_fail_errno = 0;
  fake.ioctl_val_out = 0x0800;
  uint16_t value = 0;
  EXPECT_EQ(mdio_read("eth0", 0, 19, &value), 0);
  EXPECT_EQ(value, 0x0800);
  EXPECT_EQ(mdio_write("eth0", 0, 19, 0x0800), 0);
  EXPECT_EQ(fake.socket_calls, tries + 1);
  EXPECT_EQ(fake.sockets_opened, 1);
  EXPECT_EQ(fake.ioctl_calls, 2);
  EXPECT_EQ(fake.ioctl_fd, fake.socket_fd);
}

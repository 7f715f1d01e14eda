// libmii.so's requests to the kernel and its statuses, with socket, ioctl
// and close replaced by the recording stand-ins of mii_fake.cpp.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/sockios.h>
#include <sys/socket.h>

#include "mdio/mdio.h"
#include "mii_fake.h"

// Left in errno before a call that must leave errno alone.
constexpr int ERRNO_BEFORE = EXDEV;
// In the caller's variable before a read that must not store.
constexpr uint16_t VALUE_BEFORE = 0x5A5A;

constexpr const char *NAME_15 = "abcdefghijklmno"; // longest name that fits with its terminator
constexpr const char *NAME_16 = "abcdefghijklmnop";

static void fake_answer(int fail_errno, uint16_t val_out) {
  fake.ioctl_fail_errno = fail_errno;
  fake.ioctl_val_out = val_out;
}

// The interface name as the kernel will read it: up to its terminator,
// which must be inside ifr_name.
static std::string requested_name() {
  const char *name = fake.ioctl_ifr.ifr_name;
  EXPECT_NE(std::memchr(name, '\0', IFNAMSIZ), nullptr) << "ifr_name is not terminated";
  return std::string(name, strnlen(name, IFNAMSIZ));
}

struct access_case {
  const char *nic;
  int reg;
  uint16_t phy;
  uint16_t value; // read: what the driver answers; write: what is written
};

constexpr access_case ACCESS_CASES[] = {
    // interface, register, PHY address, value
    {"eth0", 16, 7, 0xBEEF}, // the switch's lookup control register
    {"lo", 0, 0, 0x0000},    {"eth1", 1, 1, 0x8001}, {NAME_15, 31, 31, 0xFFFF}, {"e", 19, 8, 0x0800},
};

// Checks the last request: one more ioctl than `calls`, `request` for the
// register of `c` on its interface.
static void expect_request(const access_case &c, unsigned long request, int calls) {
  EXPECT_EQ(fake.ioctl_calls - calls, 1);
  EXPECT_EQ(fake.ioctl_request, request);
  EXPECT_EQ(requested_name(), c.nic);
  mii_ioctl_data mii = fake_mii_request();
  EXPECT_EQ(mii.phy_id, c.phy);
  EXPECT_EQ(mii.reg_num, c.reg);
}

TEST(MiiLinuxAccess, EachAccessIsOneRequestForItsRegister) {
  for (const access_case &c : ACCESS_CASES) {
    SCOPED_TRACE(testing::Message() << c.nic << " phy " << c.phy << " reg " << c.reg);
    fake_answer(0, c.value);
    int calls = fake.ioctl_calls;
    uint16_t value = VALUE_BEFORE;
    errno = ERRNO_BEFORE;
    EXPECT_EQ(mdio_read(c.nic, c.phy, c.reg, &value), 0);
    EXPECT_EQ(errno, ERRNO_BEFORE);
    EXPECT_EQ(value, c.value);
    expect_request(c, SIOCGMIIREG, calls);

    fake_answer(0, 0);
    calls = fake.ioctl_calls;
    EXPECT_EQ(mdio_write(c.nic, c.phy, c.reg, c.value), 0);
    EXPECT_EQ(errno, ERRNO_BEFORE);
    expect_request(c, SIOCSMIIREG, calls);
    EXPECT_EQ(fake_mii_request().val_in, c.value);
  }
}

TEST(MiiLinuxSocket, OneSocketServesEveryAccessAndStaysOpen) {
  fake_answer(0, 0x1234);
  constexpr int ACCESSES = 100;
  int calls = fake.ioctl_calls;
  for (int i = 0; i < ACCESSES; i++) {
    uint16_t value = 0;
    ASSERT_EQ(i % 2 == 0 ? mdio_read("eth0", 7, i % 32, &value) : mdio_write("eth0", 7, i % 32, 0), 0);
    EXPECT_EQ(fake.ioctl_fd, fake.socket_fd);
  }
  EXPECT_EQ(fake.ioctl_calls - calls, ACCESSES);
  EXPECT_EQ(fake.sockets_opened, 1); // in this whole process, whatever ran before
  EXPECT_EQ(fake.socket_calls, 1);
  EXPECT_EQ(fake.socket_closes, 0);
  EXPECT_EQ(fake.socket_domain, AF_INET);
  EXPECT_EQ(fake.socket_type & ~SOCK_CLOEXEC, SOCK_DGRAM);
  // Programs the tool's caller starts must not inherit it.
  EXPECT_NE(fcntl(fake.socket_fd, F_GETFD) & FD_CLOEXEC, 0);
}

TEST(MiiLinuxErrors, DriverRefusalIsTheStatusAndErrno) {
  // No MII access in the driver, no CAP_NET_ADMIN, no such interface, bus fault.
  for (int refusal : {EOPNOTSUPP, EPERM, ENODEV, EIO}) {
    SCOPED_TRACE(std::strerror(refusal));
    fake_answer(refusal, 0);
    int calls = fake.ioctl_calls;
    uint16_t value = VALUE_BEFORE;
    errno = 0;
    EXPECT_EQ(mdio_read("eth0", 7, 16, &value), refusal);
    EXPECT_EQ(errno, refusal);
    EXPECT_EQ(value, VALUE_BEFORE);
    errno = 0;
    EXPECT_EQ(mdio_write("eth0", 7, 16, 0xFFFF), refusal);
    EXPECT_EQ(errno, refusal);
    EXPECT_EQ(fake.ioctl_calls - calls, 2);
  }
}

struct refused_case {
  const char *why;
  const char *nic;
  uint16_t phy;
  int reg;
  int status;
};

constexpr refused_case REFUSED_CASES[] = {
    {"16-character name", NAME_16, 7, 16, ENODEV},
    {"longer name", "eth0-but-much-longer-than-the-kernel-takes", 7, 16, ENODEV},
    {"empty name", "", 7, 16, ENODEV},
    {"no name", nullptr, 7, 16, ENODEV},
    {"PHY address 32", "eth0", 32, 16, EINVAL},
    {"PHY address 0xFFFF", "eth0", 0xFFFF, 0, EINVAL},
    {"register 32", "eth0", 7, 32, EINVAL},
    {"register -1", "eth0", 7, -1, EINVAL},
    {"register INT_MIN", "eth0", 7, INT32_MIN, EINVAL},
};

TEST(MiiLinuxErrors, BadArgumentsAreRefusedWithoutSystemCall) {
  fake_answer(0, 0x1234);
  for (const refused_case &c : REFUSED_CASES) {
    SCOPED_TRACE(c.why);
    int sockets = fake.socket_calls;
    int calls = fake.ioctl_calls;
    uint16_t value = VALUE_BEFORE;
    errno = 0;
    EXPECT_EQ(mdio_read(c.nic, c.phy, c.reg, &value), c.status);
    EXPECT_EQ(errno, c.status);
    EXPECT_EQ(value, VALUE_BEFORE);
    errno = 0;
    EXPECT_EQ(mdio_write(c.nic, c.phy, c.reg, 0), c.status);
    EXPECT_EQ(errno, c.status);
    EXPECT_EQ(fake.socket_calls, sockets);
    EXPECT_EQ(fake.ioctl_calls, calls);
  }
  SCOPED_TRACE("no place for the result");
  int sockets = fake.socket_calls;
  int calls = fake.ioctl_calls;
  errno = 0;
  EXPECT_EQ(mdio_read("eth0", 7, 16, nullptr), EINVAL);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(fake.socket_calls, sockets);
  EXPECT_EQ(fake.ioctl_calls, calls);
}

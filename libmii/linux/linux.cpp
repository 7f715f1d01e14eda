// SPDX-FileCopyrightText: 2026 The miictl authors
// SPDX-License-Identifier: MIT
// libmii.so for boards whose Ethernet driver exposes its management bus
// through the kernel's MII ioctls: every register access is one
// SIOCGMIIREG or SIOCSMIIREG request on the interface the caller names.
// The PHY address travels with the request, so the driver's bus reaches
// the switch and every PHY on it, not only the interface's own PHY. Each
// request is made under the machine's bus lock (lock.cpp).
#include <cerrno>
#include <cstring>
#include <linux/mii.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "libmii/fd.h"
#include "libmii/linux/lock.h"
#include "mdio/mdio.h"

#define MII_EXPORT __attribute__((visibility("default")))

constexpr int MII_ADDR_MAX = 31; // clause 22: 5-bit PHY address and register number
constexpr int MII_NO_SOCKET = -1;

static_assert(sizeof(mii_ioctl_data) <= sizeof(ifreq::ifr_ifru), "MII request must fit the ifreq");

// The socket the requests go through, opened on first use and kept for the
// life of the process: any socket will do, the driver is found by name. It
// is kept off the standard streams, so that a stream the caller closed
// stays closed and nothing the caller writes there reaches the socket.
static int mii_socket_fd = MII_NO_SOCKET;

// Stores the process's socket in `fd`, opening it if need be. Returns 0 or
// the errno of the failed open; a later call tries again.
static int mii_socket(int *fd) {
  int kept = __atomic_load_n(&mii_socket_fd, __ATOMIC_ACQUIRE);
  if (kept == MII_NO_SOCKET) {
    int fresh = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fresh < 0) {
      return errno;
    }
    fresh = fd_above_stdio(fresh);
    if (fresh < 0) {
      return errno;
    }
    // Two threads may race to the first access: one socket is kept.
    if (__atomic_compare_exchange_n(&mii_socket_fd, &kept, fresh, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
      kept = fresh;
    } else {
      close(fresh);
    }
  }
  *fd = kept;
  return 0;
}

// Whether `nic` is a name the kernel can look up: not empty and short
// enough for ifr_name with its terminator. A longer name is refused, never
// cut down to what may be another interface's name.
static bool mii_name_fits(const char *nic) {
  return nic != nullptr && nic[0] != '\0' && strnlen(nic, IFNAMSIZ) < IFNAMSIZ;
}

// Status for refusing an access before it reaches the kernel, or 0.
static int mii_check(const char *nic, uint16_t phy, int reg) {
  if (!mii_name_fits(nic)) {
    return ENODEV;
  }
  if (phy > MII_ADDR_MAX || reg < 0 || reg > MII_ADDR_MAX) {
    return EINVAL;
  }
  return 0;
}

// A failed access: `status` is returned and left in errno, as callers
// report it with perror.
static int mii_fail(int status) {
  errno = status;
  return status;
}

// Sends `mii` to the driver behind `nic` as one ioctl, under the bus lock;
// on 0 the driver's answer is back in `mii`, otherwise the errno is
// returned. errno is left as it was on success.
static int mii_request(const char *nic, unsigned long request, mii_ioctl_data *mii) {
  int saved_errno = errno;
  int fd = MII_NO_SOCKET;
  int status = mii_lock();
  if (status == 0) {
    status = mii_socket(&fd);
  }
  if (status != 0) {
    return status;
  }
  ifreq ifr;
  std::memset(&ifr, 0, sizeof ifr);
  std::memcpy(ifr.ifr_name, nic, std::strlen(nic)); // fits with its terminator: checked
  std::memcpy(&ifr.ifr_ifru, mii, sizeof *mii);
  if (ioctl(fd, request, &ifr) < 0) {
    return errno;
  }
  std::memcpy(mii, &ifr.ifr_ifru, sizeof *mii);
  errno = saved_errno;
  return 0;
}

extern "C" MII_EXPORT int mdio_read(const char *nic, uint16_t phy, int reg, uint16_t *value) {
  int status = mii_check(nic, phy, reg);
  if (status == 0 && value == nullptr) {
    status = EINVAL;
  }
  if (status != 0) {
    return mii_fail(status);
  }
  mii_ioctl_data mii = {phy, static_cast<uint16_t>(reg), 0, 0};
  status = mii_request(nic, SIOCGMIIREG, &mii);
  if (status != 0) {
    return mii_fail(status);
  }
  *value = mii.val_out;
  return 0;
}

extern "C" MII_EXPORT int mdio_write(const char *nic, uint16_t phy, int reg, uint16_t value) {
  int status = mii_check(nic, phy, reg);
  if (status != 0) {
    return mii_fail(status);
  }
  mii_ioctl_data mii = {phy, static_cast<uint16_t>(reg), value, 0};
  status = mii_request(nic, SIOCSMIIREG, &mii);
  return status != 0 ? mii_fail(status) : 0;
}

#include "mii_fake.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

mii_fake fake = {};

// The C library's own functions, reached through the names --wrap gives them.
extern "C" int __real_socket(int domain, int type, int protocol); // NOLINT(bugprone-reserved-identifier)
extern "C" int __real_close(int fd);                              // NOLINT(bugprone-reserved-identifier)

mii_ioctl_data fake_mii_request() {
  mii_ioctl_data mii;
  std::memcpy(&mii, &fake.ioctl_ifr.ifr_ifru, sizeof mii);
  return mii;
}

extern "C" int __wrap_socket(int domain, int type, int protocol) { // NOLINT(bugprone-reserved-identifier)
  fake.socket_calls++;
  fake.socket_domain = domain;
  fake.socket_type = type;
  fake.socket_protocol = protocol;
  if (fake.socket_fail_errno != 0) {
    errno = fake.socket_fail_errno;
    return -1;
  }
  int fd = __real_socket(domain, type, protocol);
  if (fd >= 0) {
    fake.sockets_opened++;
    fake.socket_fd = fd;
  }
  return fd;
}

// Records the request and answers it the way a driver would.
static int fake_ioctl(int fd, unsigned long request, ifreq *ifr) {
  fake.ioctl_calls++;
  fake.ioctl_fd = fd;
  fake.ioctl_request = request;
  std::memcpy(&fake.ioctl_ifr, ifr, sizeof *ifr);
  mii_ioctl_data mii = fake_mii_request();
  mii.val_out = fake.ioctl_fail_errno != 0 ? FAKE_VAL_OUT_ON_FAILURE : fake.ioctl_val_out;
  std::memcpy(&ifr->ifr_ifru, &mii, sizeof mii);
  errno = fake.ioctl_fail_errno != 0 ? fake.ioctl_fail_errno : FAKE_ERRNO_ON_SUCCESS;
  return fake.ioctl_fail_errno != 0 ? -1 : 0;
}

extern "C" int __wrap_ioctl(int fd, unsigned long request, ...) { // NOLINT(bugprone-reserved-identifier)
  va_list args;
  va_start(args, request);
  auto *ifr = va_arg(args, ifreq *);
  va_end(args);
  return fake_ioctl(fd, request, ifr);
}

// A 32-bit C library built for 64-bit time names ioctl so.
extern "C" int __wrap___ioctl_time64(int fd, unsigned long request, ...) { // NOLINT(bugprone-reserved-identifier)
  va_list args;
  va_start(args, request);
  auto *ifr = va_arg(args, ifreq *);
  va_end(args);
  return fake_ioctl(fd, request, ifr);
}

extern "C" int __wrap_close(int fd) { // NOLINT(bugprone-reserved-identifier)
  if (fake.sockets_opened > 0 && fd == fake.socket_fd) {
    fake.socket_closes++;
  }
  return __real_close(fd);
}

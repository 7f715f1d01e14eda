// Stand-ins for the system calls libmii.so makes, linked in place of the C
// library's with -Wl,--wrap: socket opens a real socket unless told to
// fail, ioctl records the request and answers as told without reaching a
// driver, close is counted and passed on. Counts cover the whole process,
// as the library keeps its socket for the whole process.
#pragma once

#include <cerrno>
#include <cstdint>
#include <linux/mii.h>
#include <net/if.h>

// What the C library would set errno to on a successful ioctl: it may
// change errno even when a call succeeds.
constexpr int FAKE_ERRNO_ON_SUCCESS = ESRCH;

// What a failed ioctl leaves in the reply, which the caller must not see.
constexpr uint16_t FAKE_VAL_OUT_ON_FAILURE = 0xDEAD;

struct mii_fake {
  int socket_calls;   // all calls, failed ones included
  int sockets_opened; // calls that returned a socket
  int socket_fd;      // the last socket returned
  int socket_domain;  // the last call's arguments
  int socket_type;
  int socket_protocol;
  int socket_fail_errno; // nonzero: calls fail with it until cleared

  int ioctl_calls;
  int ioctl_fd; // the last call's arguments
  unsigned long ioctl_request;
  ifreq ioctl_ifr;        // copied as the call found it
  int ioctl_fail_errno;   // nonzero: calls fail with it until cleared
  uint16_t ioctl_val_out; // what a successful call answers in val_out

  int socket_closes; // closes of a socket the fake returned
};

extern mii_fake fake;

// The MII data of the last ioctl's request.
mii_ioctl_data fake_mii_request();

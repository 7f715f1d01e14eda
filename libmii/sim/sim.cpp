// Placeholder until the simulated board lands.
#include <cerrno>

#include "mdio/mdio.h"

#define SIM_EXPORT __attribute__((visibility("default")))

extern "C" SIM_EXPORT int mdio_read(const char *, uint16_t, int, uint16_t *) {
  errno = ENODEV;
  return ENODEV;
}
extern "C" SIM_EXPORT int mdio_write(const char *, uint16_t, int, uint16_t) {
  errno = ENODEV;
  return ENODEV;
}

################################################################################
#
# miictl
#
################################################################################

# SPDX-FileCopyrightText: 2026 The miictl authors
# SPDX-License-Identifier: MIT
# Builds the checkout this tree is in (site method local: Buildroot copies
# it, without the build trees, into its build directory), with the
# project's own CMake, as the project's release is built. The version is
# the project's, read from its top CMakeLists.txt.
MIICTL_SITE = $(BR2_EXTERNAL_MIICTL_PATH)/../..
MIICTL_SITE_METHOD = local
MIICTL_VERSION = $(shell sed -n 's/^project.miictl VERSION \([0-9.]*\).*/\1/p' $(MIICTL_SITE)/CMakeLists.txt)
MIICTL_OVERRIDE_SRCDIR_RSYNC_EXCLUSIONS = --exclude='/build*'
MIICTL_SUPPORTS_IN_SOURCE_BUILD = NO

# What is built and installed is MIT. The checkout also holds the virtual
# board's kernel driver (GPL-2.0-only) and the board model it shares with
# the simulated board (GPL-2.0-only OR MIT): neither is built here, and
# their texts are in LICENSES/ in the source that legal-info saves.
MIICTL_LICENSE = MIT
MIICTL_LICENSE_FILES = LICENSE

# The project's tests need an emulator on the build machine; the
# cmake-package infrastructure already passes BUILD_TESTING=OFF.
MIICTL_CONF_OPTS = \
	-DMIICTL_INSTALL_LIBMII=$(if $(BR2_PACKAGE_MIICTL_LIBMII),ON,OFF) \
	-DMIICTL_INSTALL_TRACE=$(if $(BR2_PACKAGE_MIICTL_TRACE),ON,OFF) \
	-DMIICTL_MAX_PAGE_SIZE=$(call qstrip,$(BR2_PACKAGE_MIICTL_MAX_PAGE_SIZE))

$(eval $(cmake-package))

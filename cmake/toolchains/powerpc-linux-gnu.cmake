# SPDX-FileCopyrightText: 2026 The miictl authors
# SPDX-License-Identifier: MIT
# The board: 32-bit big-endian PowerPC Linux, built with Debian's cross
# compiler (g++-powerpc-linux-gnu), whose target libraries and headers live
# in /usr/powerpc-linux-gnu beside the compiler's own prefix. Target
# programs run on this machine through qemu-ppc (package qemu-user).
#
#   cmake -S . -B build-ppc -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/powerpc-linux-gnu.cmake
#
# Board build systems (Buildroot, Yocto) bring toolchain files of their own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

set(MIICTL_TARGET_TRIPLET powerpc-linux-gnu)
set(CMAKE_C_COMPILER ${MIICTL_TARGET_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${MIICTL_TARGET_TRIPLET}-g++)

# The compiler finds the target tree relative to its own prefix
# (<prefix>/bin/powerpc-linux-gnu-gcc -> <prefix>/powerpc-linux-gnu);
# searches for libraries, headers and packages look only there.
find_program(MIICTL_TARGET_CC ${CMAKE_C_COMPILER})
if(MIICTL_TARGET_CC)
  get_filename_component(MIICTL_TARGET_ROOT "${MIICTL_TARGET_CC}" DIRECTORY)
  get_filename_component(MIICTL_TARGET_ROOT "${MIICTL_TARGET_ROOT}/../${MIICTL_TARGET_TRIPLET}" ABSOLUTE)
  set(CMAKE_FIND_ROOT_PATH "${MIICTL_TARGET_ROOT}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Runs target programs (tests, test discovery) on this machine. The list
# must name the emulator by absolute path: the end-to-end tests execve it.
find_program(MIICTL_QEMU_PPC NAMES qemu-ppc qemu-ppc-static)
if(MIICTL_QEMU_PPC AND MIICTL_TARGET_ROOT)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${MIICTL_QEMU_PPC};-L;${MIICTL_TARGET_ROOT}")
endif()

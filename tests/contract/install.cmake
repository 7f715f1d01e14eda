# The installed tree as a package build makes it: DESTDIR from the
# environment, prefix /usr. Exactly the program in sbin and its man page in
# section 8; the program has no RUNPATH. When the project has the Linux
# backend, a build with MIICTL_INSTALL_LIBMII=ON also installs it as the
# board's libmii.so, and nothing else.
#   cmake -DREADELF=... -DBUILD_DIR=... -DWORK_DIR=... -DSBINDIR=... -DMANDIR=...
#         -DMAN_PAGE=... [-DWITH_LIBMII_OPTION=ON + build_project variables] -P install.cmake
include(${CMAKE_CURRENT_LIST_DIR}/elf.cmake)

# Checks the tree in `root` for prefix /usr; ARGN: files expected besides
# the program and its man page.
function(check_tree root sbindir mandir)
  install_path(program usr "${sbindir}")
  install_path(man usr "${mandir}")
  set(expected "${program}/miictl" "${man}/man8/miictl.8" ${ARGN})
  list(SORT expected)
  tree_files(files "${root}")
  if(NOT files STREQUAL expected)
    string(REPLACE ";" "\n  " files "${files}")
    string(REPLACE ";" "\n  " expected "${expected}")
    contract_fail("${root}: installed\n  ${files}\nexpected exactly\n  ${expected}")
  endif()
  check_program("${root}/${program}/miictl" "")
  if(EXISTS "${root}/${man}/man8/miictl.8")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${MAN_PAGE}" "${root}/${man}/man8/miictl.8"
                    RESULT_VARIABLE differ)
    if(differ)
      contract_fail("${root}/${man}/man8/miictl.8 differs from ${MAN_PAGE}")
    endif()
  endif()
endfunction()

# The build under test, installed as it was configured.
install_project("${BUILD_DIR}" "${WORK_DIR}/default" --prefix /usr)
check_tree("${WORK_DIR}/default" "${SBINDIR}" "${MANDIR}")
message(STATUS "default tree: ok")

if(WITH_LIBMII_OPTION)
  # Configured for /usr and installed with DESTDIR alone, as Buildroot and
  # Yocto do. The library directory is whatever GNUInstallDirs chose for
  # /usr (lib/<multiarch> on Debian); sbin and the man pages do not move.
  build_project("${WORK_DIR}/libmii-build" -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF -DMIICTL_INSTALL_LIBMII=ON)
  install_project("${WORK_DIR}/libmii-build" "${WORK_DIR}/libmii")
  load_cache("${WORK_DIR}/libmii-build" READ_WITH_PREFIX option_ CMAKE_INSTALL_LIBDIR)
  install_path(lib usr "${option_CMAKE_INSTALL_LIBDIR}")
  check_tree("${WORK_DIR}/libmii" "${SBINDIR}" "${MANDIR}" "${lib}/libmii.so")
  check_library("${WORK_DIR}/libmii/${lib}/libmii.so")
  message(STATUS "MIICTL_INSTALL_LIBMII=ON tree: ok")
endif()
contract_finish()

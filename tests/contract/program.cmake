# The build tree's miictl: the board's ABI, and a RUNPATH that is exactly
# the stand-in library's directory (no empty element, which would mean the
# current directory).
#   cmake -DREADELF=... -DPROGRAM=... -DRUNPATH=... -P program.cmake
include(${CMAKE_CURRENT_LIST_DIR}/elf.cmake)

check_program("${PROGRAM}" "${RUNPATH}")
contract_finish()

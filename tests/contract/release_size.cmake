# The program as shipped: built afresh like the build under test but with
# release flags (MinSizeRel: -Os) and without tests, installed stripped;
# its text+data+bss must stay within LIMIT bytes.
#   cmake -DREADELF=... -DSIZE=... -DLIMIT=... -DWORK_DIR=... -DSBINDIR=... [build_project variables]
#         -P release_size.cmake
include(${CMAKE_CURRENT_LIST_DIR}/elf.cmake)

build_project("${WORK_DIR}/build" -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF)
install_project("${WORK_DIR}/build" "${WORK_DIR}/root" --prefix /usr --strip)
install_path(sbin usr "${SBINDIR}")
set(program "${WORK_DIR}/root/${sbin}/miictl")
check_program("${program}" "")

# Berkeley format: "text data bss dec hex filename" over one line of figures.
execute_process(COMMAND "${SIZE}" -B "${program}" OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out MATCHES "\n *([0-9]+)[ \t]+([0-9]+)[ \t]+([0-9]+)[ \t]+([0-9]+)")
  message(FATAL_ERROR "${SIZE} -B ${program} failed (${rc}): ${out}${err}")
endif()
set(total ${CMAKE_MATCH_4})
message("miictl (release, stripped): text ${CMAKE_MATCH_1} data ${CMAKE_MATCH_2} bss ${CMAKE_MATCH_3} "
        "total ${total} bytes, limit ${LIMIT}")
if(total GREATER LIMIT)
  contract_fail("miictl takes ${total} bytes, over the limit of ${LIMIT}")
endif()
contract_finish()

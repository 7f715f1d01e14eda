# Checks of ELF files through readelf (READELF), shared by the contract
# scripts. Each failure is reported with what was found; the script ends
# with an error after all checks ran.

function(contract_fail text)
  message(SEND_ERROR "${text}")
  set_property(GLOBAL APPEND PROPERTY contract_failures "${text}")
endfunction()

# Ends the script with an error if any check failed.
function(contract_finish)
  get_property(failures GLOBAL PROPERTY contract_failures)
  list(LENGTH failures count)
  if(count GREATER 0)
    message(FATAL_ERROR "${count} check(s) failed")
  endif()
endfunction()

function(elf_readelf out file)
  execute_process(COMMAND "${READELF}" -W ${ARGN} "${file}"
                  OUTPUT_VARIABLE text ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
    message(FATAL_ERROR "${READELF} ${ARGN} ${file} failed (${rc}): ${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The [values] of the dynamic section's entries of one tag (NEEDED, RUNPATH, ...).
function(elf_dynamic out file tag)
  elf_readelf(text "${file}" -d)
  string(REGEX MATCHALL "\\(${tag}\\)[^\n]*\\[[^\n]*\\]" lines "${text}")
  set(values "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[^[]*\\[(.*)\\]$" "\\1" value "${line}")
    list(APPEND values "${value}")
  endforeach()
  set(${out} "${values}" PARENT_SCOPE)
endfunction()

# The lines of the dynamic symbol table whose name mentions `name` (mangled
# and versioned forms included), reduced to "TYPE BIND VIS NDX NAME".
function(elf_dynsym_lines out file name)
  elf_readelf(text "${file}" --dyn-syms)
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(found "")
  foreach(line IN LISTS lines)
    if(line MATCHES "${name}")
      string(REGEX REPLACE "^ *[0-9]+: +[0-9a-fA-F]+ +(0x)?[0-9a-fA-F]+ +" "" line "${line}")
      string(REGEX REPLACE " +" " " line "${line}")
      list(APPEND found "${line}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# mdio_read and mdio_write each appear once among the dynamic symbols of
# `file`, by their plain C names with no symbol version, in the section
# `section` (a regex: UND for an import); `what` names it in the message.
function(check_mdio_symbols file section what)
  foreach(symbol mdio_read mdio_write)
    elf_dynsym_lines(lines "${file}" ${symbol})
    if(NOT lines MATCHES "^FUNC GLOBAL DEFAULT ${section} ${symbol}$")
      contract_fail("${file}: dynamic symbols for ${symbol} are [${lines}], expected one ${what}, "
                    "unversioned, unmangled FUNC GLOBAL DEFAULT ${symbol}")
    endif()
  endforeach()
endfunction()

# The program's side of the board's ABI: it needs libmii.so and the C library
# and nothing else, imports mdio_read and mdio_write by their plain C names
# with no symbol version, has no RPATH, and has a RUNPATH exactly
# `runpath` (none if empty).
function(check_program file runpath)
  if(NOT EXISTS "${file}")
    contract_fail("${file}: missing")
    return()
  endif()
  elf_dynamic(needed "${file}" NEEDED)
  list(SORT needed)
  if(NOT needed STREQUAL "libc.so.6;libmii.so")
    contract_fail("${file}: NEEDED is [${needed}], expected exactly libmii.so and libc.so.6")
  endif()
  check_mdio_symbols("${file}" "UND" "undefined")
  elf_dynamic(rpath "${file}" RPATH)
  if(NOT rpath STREQUAL "")
    contract_fail("${file}: has RPATH [${rpath}]")
  endif()
  elf_dynamic(found "${file}" RUNPATH)
  if(NOT found STREQUAL runpath)
    if(runpath STREQUAL "")
      contract_fail("${file}: has RUNPATH [${found}], expected none")
    else()
      contract_fail("${file}: RUNPATH is [${found}], expected exactly [${runpath}]")
    endif()
  endif()
endfunction()

# The board library's side: SONAME libmii.so, mdio_read and mdio_write
# exported by their plain C names with no symbol version.
function(check_library file)
  if(NOT EXISTS "${file}")
    contract_fail("${file}: missing")
    return()
  endif()
  elf_dynamic(soname "${file}" SONAME)
  if(NOT soname STREQUAL "libmii.so")
    contract_fail("${file}: SONAME is [${soname}], expected libmii.so")
  endif()
  check_mdio_symbols("${file}" "[0-9]+" "defined")
endfunction()

# The installed files under `root`, relative to it, sorted.
function(tree_files out root)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
  list(SORT files)
  set(${out} "${files}" PARENT_SCOPE)
endfunction()

# `dir` (an install directory variable's value) below `prefix` as a relative path.
function(install_path out prefix dir)
  if(NOT IS_ABSOLUTE "${dir}")
    set(dir "${prefix}/${dir}")
  endif()
  string(REGEX REPLACE "^/+" "" dir "${dir}")
  set(${out} "${dir}" PARENT_SCOPE)
endfunction()

# Runs a command, ending the script with its output if it fails.
function(run_step)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command} failed (${rc}):\n${out}")
  endif()
endfunction()

# Configures and builds the project afresh in `dir` the way the build under
# test was configured (generator, toolchain or compilers, flags), plus the
# cache settings in ARGN. Variables: SOURCE_DIR, GENERATOR, MAKE_PROGRAM,
# TOOLCHAIN_FILE, C_COMPILER, CXX_COMPILER, C_FLAGS, CXX_FLAGS, LINKER_FLAGS.
function(build_project dir)
  file(REMOVE_RECURSE "${dir}")
  set(args -S "${SOURCE_DIR}" -B "${dir}" -G "${GENERATOR}" "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}"
      "-DCMAKE_C_FLAGS=${C_FLAGS}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
  if(TOOLCHAIN_FILE)
    list(APPEND args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}")
  else()
    list(APPEND args "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
  endif()
  run_step("${CMAKE_COMMAND}" ${args} ${ARGN})
  run_step("${CMAKE_COMMAND}" --build "${dir}")
endfunction()

# Installs the build in `build` into `destdir` as a package build does
# (DESTDIR in the environment), with `cmake --install` options in ARGN.
function(install_project build destdir)
  file(REMOVE_RECURSE "${destdir}")
  run_step("${CMAKE_COMMAND}" -E env "DESTDIR=${destdir}" "${CMAKE_COMMAND}" --install "${build}" ${ARGN})
endfunction()

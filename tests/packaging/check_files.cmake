# SPDX-License-Identifier: MIT
# Checks what `cmake --install` and `cpack -G DEB` make of a build.
# Run as: cmake -DMODE=install|deb|lintian -DBUILD=<build dir> -DWORK=<scratch dir>
#   [-DEXPECTED=<;-list of paths relative to the prefix>] [-DDEPENDS=<;-list>] [-DABSENT=<;-list>]
#   [-DVERSION=<version>] [-DLINTIAN=<lintian>] -P check_files.cmake
# install: every EXPECTED path is installed.
# deb: the package holds every EXPECTED path; its Depends names every DEPENDS package and none of
#   ABSENT; its Version is VERSION; its Description is wrapped to 80 columns and holds no list
#   separator; two packings give the same bytes.
# lintian: lintian -i -EvIL +pedantic reports no error and no warning.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(pack dir out_var)
  execute_process(COMMAND cpack -G DEB -B ${dir} --config ${BUILD}/CPackConfig.cmake
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cpack failed: ${out}${err}")
  endif()
  # With the Python module the build also packs python3-accelspec; that one is checked by
  # python/tests/check_python_deb.cmake.
  file(GLOB debs ${dir}/accelspec_*.deb)
  list(LENGTH debs count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package, found: ${debs}")
  endif()
  set(${out_var} ${debs} PARENT_SCOPE)
endfunction()

function(control_field deb field out_var)
  execute_process(COMMAND dpkg-deb -f ${deb} ${field} OUTPUT_VARIABLE value
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${out_var} "${value}" PARENT_SCOPE)
endfunction()

if(MODE STREQUAL "install")
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/usr
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${err}")
  endif()
  file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${WORK} ${WORK}/*)
  set(listing "")
  foreach(f IN LISTS found)
    string(APPEND listing "./${f}\n")
  endforeach()
elseif(MODE STREQUAL "lintian")
  pack(${WORK} deb)
  execute_process(COMMAND ${LINTIAN} -i -EvIL +pedantic ${deb}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message(STATUS "lintian:\n${out}${err}")
  string(REGEX MATCHALL "(^|\n)[EW]: [^\n]*" faults "${out}")
  if(faults)
    message(FATAL_ERROR "lintian reports errors or warnings:${faults}")
  endif()
  return()
else()
  pack(${WORK}/a deb)
  pack(${WORK}/b again)
  file(SHA256 ${deb} first)
  file(SHA256 ${again} second)
  if(NOT first STREQUAL second)
    message(FATAL_ERROR "two packings of one build differ: ${deb} ${again}")
  endif()
  execute_process(COMMAND dpkg-deb -c ${deb} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
  message(STATUS "dpkg-deb -c:\n${listing}")
  control_field(${deb} Depends depends)
  message(STATUS "Depends: ${depends}")
  foreach(dep IN LISTS DEPENDS)
    string(FIND "${depends}" "${dep}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "the package does not depend on ${dep}: ${depends}")
    endif()
  endforeach()
  control_field(${deb} Recommends recommends)
  foreach(dep IN LISTS ABSENT)
    if("${depends}, ${recommends}" MATCHES "(^|, )${dep}( |,|$)")
      message(FATAL_ERROR "the package names ${dep}: ${depends}; ${recommends}")
    endif()
  endforeach()
  # A package both depended on and recommended is named once.
  string(REPLACE ", " ";" recommended "${recommends}")
  foreach(dep IN LISTS recommended)
    string(REGEX REPLACE " .*" "" name "${dep}")
    if(depends MATCHES "(^|, )${name}( |,|$)")
      message(FATAL_ERROR "${name} is both in Depends and in Recommends")
    endif()
  endforeach()
  control_field(${deb} Version version)
  if(NOT version STREQUAL VERSION)
    message(FATAL_ERROR "the package's version is ${version}, not ${VERSION}")
  endif()
  control_field(${deb} Description description)
  string(FIND "${description}" ";" semicolon)
  if(NOT semicolon EQUAL -1)
    message(FATAL_ERROR "the description holds a ';':\n${description}")
  endif()
  # Columns, not bytes: the description names the analysis window in Cyrillic.
  file(WRITE ${WORK}/description.txt "${description}\n")
  execute_process(COMMAND env LC_ALL=C.UTF-8 wc -L ${WORK}/description.txt
                  OUTPUT_VARIABLE widest OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE " .*" "" widest "${widest}")
  if(widest GREATER 80 OR widest LESS 40)
    message(FATAL_ERROR "the description's widest line has ${widest} columns:\n${description}")
  endif()
endif()
foreach(path IN LISTS EXPECTED)
  string(REGEX MATCH "\\./${path}\n|\\./${path}$| \\./${path}\n" hit "${listing}")
  if(NOT hit)
    message(FATAL_ERROR "${path} is missing from:\n${listing}")
  endif()
endforeach()

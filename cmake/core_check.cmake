# SPDX-License-Identifier: MIT
# Fails with FATAL_ERROR when the core file `path` of core folder `folder` includes Qt, the window
# (app/) or the command line (cli/), or a core folder that comes after `folder` in `order`.
# Also runs as a script: cmake -D FILE=... -D FOLDER=... -D ORDER="a;b;c" -P core_check.cmake
function(accelspec_check_core_file path folder order)
  list(FIND order ${folder} rank)
  file(STRINGS ${path} qt_lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Q")
  if(qt_lines)
    message(FATAL_ERROR "The core must not use Qt: ${path}")
  endif()
  file(STRINGS ${path} include_lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][A-Za-z0-9_]+/")
  foreach(line IN LISTS include_lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([A-Za-z0-9_]+)/.*" "\\1" used "${line}")
    if(used STREQUAL "app" OR used STREQUAL "cli")
      message(FATAL_ERROR "The core must not use the window or the command line (${used}/): ${path}")
    endif()
    list(FIND order ${used} used_rank)
    if(used_rank GREATER rank)
      message(FATAL_ERROR "The core folder ${folder}/ must not use ${used}/, which comes after it "
                          "in ACCELSPEC_CORE_FOLDERS: ${path}")
    endif()
  endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED FILE)
  accelspec_check_core_file(${FILE} ${FOLDER} "${ORDER}")
endif()

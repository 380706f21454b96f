# SPDX-License-Identifier: MIT
# Checks the package python3-accelspec that `cpack -G DEB` makes beside accelspec: it holds the
# module and nothing of the program, depends on python3 and python3-numpy, passes lintian, and
# the module it unpacks is imported by the system's python3 and computes.
# Run as: cmake -DBUILD=<build dir> -DWORK=<scratch dir> -DPYTHON=<python3> -DLINTIAN=<lintian>
#   -P check_python_deb.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND cpack -G DEB -B ${WORK} --config ${BUILD}/CPackConfig.cmake
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed: ${out}${err}")
endif()
file(GLOB debs ${WORK}/python3-accelspec_*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one python3-accelspec package, found: ${debs}")
endif()

execute_process(COMMAND dpkg-deb -c ${debs} OUTPUT_VARIABLE listing)
message(STATUS "dpkg-deb -c:\n${listing}")
foreach(path __init__.py __init__.pyi py.typed)
  if(NOT listing MATCHES "dist-packages/accelspec/${path}\n")
    message(FATAL_ERROR "accelspec/${path} is missing")
  endif()
endforeach()
if(NOT listing MATCHES "dist-packages/accelspec/_core\\.cpython-[^\n]*\\.so\n")
  message(FATAL_ERROR "the compiled module is missing")
endif()
if(listing MATCHES "/usr/bin/")
  message(FATAL_ERROR "the package holds the program")
endif()

execute_process(COMMAND dpkg-deb -f ${debs} Depends OUTPUT_VARIABLE depends
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT depends MATCHES "python3 \\(>= 3\\.[0-9]+\\)" OR NOT depends MATCHES "python3-numpy")
  message(FATAL_ERROR "Depends: ${depends}")
endif()

execute_process(COMMAND ${LINTIAN} -i -EvIL +pedantic ${debs} OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "lintian:\n${out}${err}")
string(REGEX MATCHALL "(^|\n)[EW]: [^\n]*" faults "${out}")
if(faults)
  message(FATAL_ERROR "lintian reports errors or warnings:${faults}")
endif()

execute_process(COMMAND dpkg-deb -x ${debs} ${WORK}/root RESULT_VARIABLE rc)
file(GLOB_RECURSE init ${WORK}/root/__init__.py)
list(FILTER init INCLUDE REGEX "/usr/lib/python3/dist-packages/accelspec/__init__.py$")
if(NOT init)
  message(FATAL_ERROR "no accelspec/__init__.py in /usr/lib/python3/dist-packages")
endif()
get_filename_component(package ${init} DIRECTORY)
get_filename_component(site ${package} DIRECTORY)
execute_process(
  COMMAND env PYTHONPATH=${site} ${PYTHON} -c
          "import accelspec; print(accelspec.__file__); print(accelspec.measures([0, 1, 0, -1, 0], 0.01)['pga'])"
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "^${site}/accelspec/__init__.py\n1.0\n$")
  message(FATAL_ERROR "the packaged module does not work: ${out}${err}")
endif()

# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Run as a test: cmake -DROOT=<source dir> -P CheckSpdx.cmake
# Fails if a source file (C++, CMake, shell or Python, outside the test data and the examples)
# does not carry its licence in an SPDX line among its first lines.
if(NOT IS_DIRECTORY "${ROOT}/src")
    message(FATAL_ERROR "ROOT must name the source directory")
endif()
file(GLOB_RECURSE files
     ${ROOT}/src/*.cpp ${ROOT}/src/*.h ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h ${ROOT}/tests/*.sh
     ${ROOT}/tests/*.cmake ${ROOT}/tests/*CMakeLists.txt ${ROOT}/src/*CMakeLists.txt
     ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h ${ROOT}/bench/*.sh ${ROOT}/bench/CMakeLists.txt
     ${ROOT}/scripts/* ${ROOT}/cmake/*.cmake ${ROOT}/data/CMakeLists.txt ${ROOT}/data/icons/*.sh)
list(APPEND files ${ROOT}/CMakeLists.txt ${ROOT}/test.sh ${ROOT}/run.sh)
set(missing "")
foreach(file IN LISTS files)
    file(STRINGS ${file} head LIMIT_COUNT 4)
    if(NOT head MATCHES "SPDX-License-Identifier: GPL-3.0-or-later")
        file(RELATIVE_PATH name ${ROOT} ${file})
        list(APPEND missing ${name})
    endif()
endforeach()
if(missing)
    list(JOIN missing "\n  " text)
    message(FATAL_ERROR "Without an SPDX-License-Identifier line in their first lines:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "${count} source files, each with its licence")

# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Run as a test: cmake -DROOT=<source dir> -P CheckNoQtIncludes.cmake
# Fails if a source of the Qt-free core (or the camera) includes a Qt header.
if(NOT IS_DIRECTORY "${ROOT}/src")
    message(FATAL_ERROR "ROOT must name the source directory")
endif()
set(folders model text description physics solver calculators session report)
set(patterns ${ROOT}/src/view/camera.*)
foreach(folder IN LISTS folders)
    list(APPEND patterns ${ROOT}/src/${folder}/*.h ${ROOT}/src/${folder}/*.cpp)
endforeach()
file(GLOB_RECURSE files ${patterns})

set(found "")
foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*<Q")
    if(lines)
        file(RELATIVE_PATH name ${ROOT} ${file})
        list(APPEND found "${name}: ${lines}")
    endif()
endforeach()
if(found)
    list(JOIN found "\n  " text)
    message(FATAL_ERROR "Qt headers in the Qt-free core:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "${count} core files, none includes a Qt header")

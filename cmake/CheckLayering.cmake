# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Run by the build before the layers above the core: cmake -DROOT=<source dir> -P CheckLayering.cmake
# The core's layering is checked by its include folders (ambrel_core_module); above it every
# module sees src/ whole, so this script reads the includes of view/, ui/ and app/ and fails when
# one names a module its layer may not use: the window works through the session and the
# commands, never the evaluation itself (ui/ without physics/), and nothing below app/ reaches up.
cmake_minimum_required(VERSION 3.25)
if(NOT IS_DIRECTORY "${ROOT}/src")
    message(FATAL_ERROR "ROOT must name the source directory")
endif()
set(uses_view model results session text view)
set(uses_ui calculators description model report results session solver text ui view)
set(uses_app app calculators description model physics report results session solver text ui view)
set(broken "")
foreach(layer view ui app)
    file(GLOB_RECURSE files ${ROOT}/src/${layer}/*.cpp ${ROOT}/src/${layer}/*.h)
    foreach(file IN LISTS files)
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
        foreach(line IN LISTS includes)
            string(REGEX MATCH "\"([a-z_]+)/" found "${line}")
            if(NOT CMAKE_MATCH_1 IN_LIST uses_${layer})
                file(RELATIVE_PATH name ${ROOT} ${file})
                string(STRIP "${line}" line)
                list(JOIN uses_${layer} ", " allowed)
                list(APPEND broken "${name}: ${line} (${layer}/ uses ${allowed})")
            endif()
        endforeach()
    endforeach()
endforeach()
if(broken)
    list(JOIN broken "\n  " text)
    message(FATAL_ERROR "Includes across the layering of docs/architecture.md:\n  ${text}")
endif()

# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# ambrel_find_openblas_openmp(<variable>)
# Finds the OpenMP build of OpenBLAS and sets <variable> to the library. It must be that build:
# Ambrel's own parallel loops run on the OpenMP runtime, and OpenBLAS's pthread build would bring a
# second thread pool that fights the first for the cores.
#
# Debian installs its builds of OpenBLAS side by side, each in a folder of its own
# (/usr/lib/<multiarch>/openblas-openmp, openblas-pthread, openblas-serial), and the alternatives
# system chooses which one the common names (libopenblas.so, libopenblas.so.0) point to. Ambrel
# links the OpenMP build in its own folder and carries that folder as its run path, so the choice
# of the alternatives, made for other programs, does not matter, and nothing has to be removed.
# The check builds and runs a small program linked the same way, so it sees the library the
# programs will load.
function(ambrel_find_openblas_openmp variable)
    set(folders)
    if(CMAKE_LIBRARY_ARCHITECTURE)
        list(APPEND folders /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/openblas-openmp)
    endif()
    list(APPEND folders /usr/lib/openblas-openmp)
    find_library(AMBREL_OPENBLAS_OPENMP_LIBRARY NAMES openblas PATHS ${folders} NO_DEFAULT_PATH)
    if(NOT AMBREL_OPENBLAS_OPENMP_LIBRARY)
        # Not laid out as Debian does: the OpenBLAS the linker finds, if it is the OpenMP build.
        find_library(AMBREL_OPENBLAS_OPENMP_LIBRARY NAMES openblas REQUIRED)
    endif()
    set(library ${AMBREL_OPENBLAS_OPENMP_LIBRARY})
    get_filename_component(folder ${library} DIRECTORY)
    set(run_path)
    set(link_options)
    if(NOT folder IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
        set(run_path ${folder})
        set(link_options "-Wl,-rpath,${run_path}")
    endif()

    try_run(run_result compile_result
        SOURCE_FROM_CONTENT openblas_parallel.cpp [[
            extern "C" int openblas_get_parallel();
            int main() { return openblas_get_parallel(); }
        ]]
        LINK_LIBRARIES ${library}
        LINK_OPTIONS ${link_options}
        COMPILE_OUTPUT_VARIABLE compile_output)
    if(NOT compile_result)
        message(FATAL_ERROR "Cannot link a program against ${library}:\n${compile_output}")
    endif()
    # openblas_get_parallel(): 0 serial build, 1 pthread build, 2 OpenMP build.
    if(NOT run_result STREQUAL "2")
        if(run_result STREQUAL "1")
            set(build "the pthread build")
        elseif(run_result STREQUAL "0")
            set(build "the serial build")
        else()
            set(build "a build that cannot say how it runs in parallel (${run_result})")
        endif()
        file(REAL_PATH ${library} resolved)
        message(FATAL_ERROR
            "OpenBLAS at ${library} (${resolved}) is ${build}; Ambrel needs the OpenMP build, "
            "which shares the OpenMP thread pool of Ambrel's own parallel loops. On Debian, "
            "scripts/install-deps.sh installs libopenblas-openmp-dev.")
    endif()
    message(STATUS "OpenBLAS: ${library} (OpenMP build)")
    set(${variable} ${library} PARENT_SCOPE)
    # The programs find it through their run path, in the build tree as once installed: the
    # same run path both times (left to itself, CMake pads the build tree's with an empty entry,
    # which the loader reads as the current folder).
    if(run_path)
        message(STATUS "OpenBLAS: run path ${run_path}")
        set(CMAKE_INSTALL_RPATH ${run_path} PARENT_SCOPE)
        set(CMAKE_BUILD_WITH_INSTALL_RPATH ON PARENT_SCOPE)
    endif()
endfunction()

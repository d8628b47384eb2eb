# ambrel_find_openblas_openmp(<variable>)
# Finds OpenBLAS and sets <variable> to the library. It must be the OpenMP build: Ambrel's own
# parallel loops run on the OpenMP runtime, and OpenBLAS's pthread build would bring a second
# thread pool that fights the first for the cores. The check builds and runs a small program,
# so it sees the library the loader picks at run time (Debian chooses between its builds with
# the alternatives system), and it runs on every configuration, as the choice can change.
function(ambrel_find_openblas_openmp variable)
    find_library(OPENBLAS_LIBRARY NAMES openblas REQUIRED)
    try_run(run_result compile_result
        SOURCE_FROM_CONTENT openblas_parallel.cpp [[
            extern "C" int openblas_get_parallel();
            int main() { return openblas_get_parallel(); }
        ]]
        LINK_LIBRARIES ${OPENBLAS_LIBRARY}
        COMPILE_OUTPUT_VARIABLE compile_output)
    if(NOT compile_result)
        message(FATAL_ERROR "Cannot link a program against ${OPENBLAS_LIBRARY}:\n${compile_output}")
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
        file(REAL_PATH ${OPENBLAS_LIBRARY} resolved)
        message(FATAL_ERROR
            "OpenBLAS at ${OPENBLAS_LIBRARY} (${resolved}) is ${build}; Ambrel needs the OpenMP build, "
            "which shares the OpenMP thread pool of Ambrel's own parallel loops. On Debian, "
            "scripts/install-deps.sh installs libopenblas-openmp-dev and removes the other builds.")
    endif()
    message(STATUS "OpenBLAS: ${OPENBLAS_LIBRARY} (OpenMP build)")
    set(${variable} ${OPENBLAS_LIBRARY} PARENT_SCOPE)
endfunction()

# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers that declare Ambrel's targets; each module's CMakeLists.txt lists its own sources.

# ambrel_core_module(<module> <source>... [USES <module>...])
# One Qt-free core module: a static library ambrel_<module> (alias ambrel::<module>) linked PUBLIC
# to the modules below it that it USES, and to nothing else. Its headers are seen as
# "<module>/<file>.h" through a folder of the build that holds that module alone, and a module
# sees the folders of what it uses, so an include of a module above it, or of one it does not
# declare, fails to compile: the layering of docs/architecture.md is checked by the build.
# Consumers above the core link ambrel::core, all the modules. A module of headers alone (no
# source) is an INTERFACE library with the same include folder and uses. A module that needs a
# library besides (OpenMP, OpenBLAS) links it in its own CMakeLists.txt.
function(ambrel_core_module module)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES")
    if(arg_UNPARSED_ARGUMENTS)
        add_library(ambrel_${module} STATIC ${arg_UNPARSED_ARGUMENTS})
        set(scope PUBLIC)
    else()
        add_library(ambrel_${module} INTERFACE)
        set(scope INTERFACE)
    endif()
    add_library(ambrel::${module} ALIAS ambrel_${module})
    set(root ${PROJECT_BINARY_DIR}/module_headers/${module})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${module} ${root}/${module} SYMBOLIC)
    target_include_directories(ambrel_${module} ${scope} ${root})
    foreach(used IN LISTS arg_USES)
        target_link_libraries(ambrel_${module} ${scope} ambrel_${used})
    endforeach()
    if(scope STREQUAL PUBLIC) # what it compiles; a header-only module compiles nothing
        target_link_libraries(ambrel_${module} PRIVATE ambrel_warnings)
    endif()
    set_property(GLOBAL APPEND PROPERTY AMBREL_CORE_MODULE_TARGETS ambrel_${module})
endfunction()

# ambrel_library(<name> [QT] SOURCES <source>... [LINK <library>...])
# A static library ambrel_<name> (alias ambrel::<name>) outside the core; QT runs moc on its sources.
function(ambrel_library name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "QT" "" "SOURCES;LINK")
    add_library(ambrel_${name} STATIC ${arg_SOURCES})
    add_library(ambrel::${name} ALIAS ambrel_${name})
    target_include_directories(ambrel_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(ambrel_${name} PUBLIC ${arg_LINK} PRIVATE ambrel_warnings)
    set_target_properties(ambrel_${name} PROPERTIES AUTOMOC ${arg_QT})
endfunction()

# ambrel_executable(<name> [QT] SOURCES <source>... [LINK <library>...])
# A program, written to bin/ of the build directory.
function(ambrel_executable name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "QT" "" "SOURCES;LINK")
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE ${arg_LINK} ambrel_warnings)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${AMBREL_BIN_DIR} AUTOMOC ${arg_QT})
endfunction()

# ambrel_test(<name> [QT] SOURCES <source>... LINK <library>...)
# The test executable test_<name>; each of its test cases becomes the ctest entry <name>.<Suite>.<Case>.
function(ambrel_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "QT" "" "SOURCES;LINK")
    add_executable(test_${name} ${arg_SOURCES})
    # The tests' own code is little more than calls into the optimised libraries and the test
    # framework's macros: it is compiled with light optimisation, in unity batches of up to four
    # files (the headers of GoogleTest and Qt are read once a batch), which makes the build of the
    # tests several times quicker.
    set_target_properties(test_${name} PROPERTIES AUTOMOC ${arg_QT} UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 4)
    target_compile_options(test_${name} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O1>)
    target_link_libraries(test_${name} PRIVATE ${arg_LINK} GTest::gtest GTest::gmock GTest::gtest_main
                                               ambrel_warnings)
    target_compile_definitions(test_${name} PRIVATE AMBREL_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
                                                    AMBREL_BATCH_EXE="${AMBREL_BIN_DIR}/ambrel-batch")
    gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST TEST_PREFIX "${name}." PROPERTIES TIMEOUT 600)
endfunction()

# ambrel_add_folders(<parent> <folder>...)
# add_subdirectory(<parent>/<folder>) for each folder that has a CMakeLists.txt, so that a module
# or test folder can be listed before it exists.
function(ambrel_add_folders parent)
    foreach(folder IN LISTS ARGN)
        set(dir ${PROJECT_SOURCE_DIR}/${parent}/${folder})
        if(EXISTS ${dir}/CMakeLists.txt)
            add_subdirectory(${dir} ${PROJECT_BINARY_DIR}/${parent}/${folder})
        elseif(IS_DIRECTORY ${dir})
            file(GLOB sources ${dir}/*.cpp)
            if(sources)
                message(WARNING "${parent}/${folder} has sources but no CMakeLists.txt: they are not built")
            endif()
        endif()
    endforeach()
endfunction()

# ambrel_check_no_qt(<target>...)
# Fails the configuration if one of the targets links a Qt library, directly or through what it links.
function(ambrel_check_no_qt)
    foreach(root IN LISTS ARGN)
        set(pending ${root})
        set(seen "")
        while(pending)
            list(POP_FRONT pending item)
            # $<LINK_ONLY:x> and similar wrappers: look at what they wrap.
            string(REGEX REPLACE "^\\$<[A-Z_]+:(.*)>$" "\\1" item "${item}")
            if(item MATCHES "^Qt[0-9]*::|(^|/)libQt[0-9]")
                message(FATAL_ERROR "${root} must build without Qt but links ${item}")
            endif()
            if(NOT TARGET ${item} OR item IN_LIST seen)
                continue()
            endif()
            list(APPEND seen ${item})
            get_target_property(aliased ${item} ALIASED_TARGET)
            if(aliased)
                list(APPEND pending ${aliased})
                continue()
            endif()
            set(properties INTERFACE_LINK_LIBRARIES)
            get_target_property(imported ${item} IMPORTED)
            if(NOT imported)
                list(APPEND properties LINK_LIBRARIES)
            endif()
            foreach(property IN LISTS properties)
                get_target_property(links ${item} ${property})
                if(links)
                    list(APPEND pending ${links})
                endif()
            endforeach()
        endwhile()
    endforeach()
endfunction()

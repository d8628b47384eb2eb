# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a MIME database from the installed package file alone (-DTOOL -DPACKAGE_FILE; -DWORK is a
# folder named mime) and
# checks that *.bal names Ambrel's description type, a kind of plain text.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/packages)
file(COPY ${PACKAGE_FILE} DESTINATION ${WORK}/packages)
# The folder is a "mime" folder of a data directory in the search path, so that the tool has
# nothing to say about the search path: any word from it is a complaint about the package file.
get_filename_component(data_dir ${WORK} DIRECTORY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_DATA_HOME=${data_dir} XDG_DATA_DIRS=${data_dir} ${TOOL} ${WORK}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "update-mime-database (${result}):\n${output}")
endif()
file(READ ${WORK}/globs2 globs)
if(NOT globs MATCHES "\n[0-9]+:text/x-ambrel-description:\\*\\.bal\n")
    message(FATAL_ERROR "*.bal is not text/x-ambrel-description in globs2:\n${globs}")
endif()
file(READ ${WORK}/subclasses subclasses)
if(NOT subclasses MATCHES "text/x-ambrel-description text/plain")
    message(FATAL_ERROR "text/x-ambrel-description is no kind of text/plain:\n${subclasses}")
endif()

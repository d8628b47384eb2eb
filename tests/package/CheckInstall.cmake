# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into STAGE and checks the layout of the installed tree.
# -DBUILD_DIR -DSTAGE -DSOURCE_DIR -DAPP_ID -DICON_SIZES -DDATADIR -DBINDIR -DMANDIR
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(expected
    ${BINDIR}/ambrel
    ${BINDIR}/ambrel-batch
    ${DATADIR}/applications/${APP_ID}.desktop
    ${DATADIR}/metainfo/${APP_ID}.metainfo.xml
    ${DATADIR}/mime/packages/${APP_ID}.xml
    ${DATADIR}/icons/hicolor/scalable/apps/${APP_ID}.svg
    ${MANDIR}/man1/ambrel.1.gz
    ${MANDIR}/man1/ambrel-batch.1.gz
    ${DATADIR}/doc/ambrel/copyright
    ${DATADIR}/doc/ambrel/changelog.gz)
foreach(size IN LISTS ICON_SIZES)
    list(APPEND expected ${DATADIR}/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
endforeach()
set(failures "")
foreach(file IN LISTS expected)
    if(NOT EXISTS ${STAGE}/${file})
        string(APPEND failures "missing: ${file}\n")
    endif()
endforeach()
foreach(program ambrel ambrel-batch)
    if(EXISTS ${STAGE}/${BINDIR}/${program} AND NOT IS_DIRECTORY ${STAGE}/${BINDIR}/${program})
        file(READ ${STAGE}/${BINDIR}/${program} head LIMIT 4 HEX)
        if(NOT head STREQUAL "7f454c46")
            string(APPEND failures "not a program: ${BINDIR}/${program}\n")
        endif()
    endif()
endforeach()

# A PNG's header holds its size: width and height as 4-byte big-endian numbers at bytes 16 and 20.
foreach(size IN LISTS ICON_SIZES)
    set(png ${STAGE}/${DATADIR}/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
    if(EXISTS ${png})
        file(READ ${png} header OFFSET 16 LIMIT 8 HEX)
        string(SUBSTRING ${header} 0 8 w)
        string(SUBSTRING ${header} 8 8 h)
        math(EXPR width "0x${w}")
        math(EXPR height "0x${h}")
        if(NOT width EQUAL size OR NOT height EQUAL size)
            string(APPEND failures "${size}x${size} icon is ${width}x${height}\n")
        endif()
    endif()
endforeach()

# Every example of the source tree, and nothing else.
file(GLOB_RECURSE source_examples RELATIVE ${SOURCE_DIR}/examples ${SOURCE_DIR}/examples/*)
file(GLOB_RECURSE installed_examples RELATIVE ${STAGE}/${DATADIR}/ambrel/examples
     ${STAGE}/${DATADIR}/ambrel/examples/*)
list(SORT source_examples)
list(SORT installed_examples)
if(NOT source_examples)
    string(APPEND failures "no examples in the source tree\n")
elseif(NOT source_examples STREQUAL installed_examples)
    string(APPEND failures "examples: installed [${installed_examples}], in the source tree [${source_examples}]\n")
endif()

# The installed text names the installed examples, not the build tree.
file(READ ${BUILD_DIR}/data/ambrel-batch.1 man)
if(man MATCHES "@[A-Z_]+@")
    string(APPEND failures "ambrel-batch.1 has an unconfigured ${CMAKE_MATCH_0}\n")
endif()

if(failures)
    message(FATAL_ERROR "The installed tree in ${STAGE} is not complete:\n${failures}")
endif()
message(STATUS "Installed tree complete: ${STAGE}")

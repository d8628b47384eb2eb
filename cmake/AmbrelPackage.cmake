# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package of the programs, built with CPack from the install rules:
#   cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
#   cmake --build build-deb && (cd build-deb && cpack -G DEB)
# gives ambrel_<version>_<arch>.deb. The package installs under /usr; configure with that prefix
# so that the paths written into the programs and the manual pages are the installed ones.
# The desktop database, the MIME database and the icon cache are refreshed by the triggers of
# the packages that own them, so the package needs no maintainer scripts.

set(CPACK_PACKAGE_NAME ambrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Ambrel developers")
set(CPACK_PACKAGE_CONTACT "The Ambrel developers <ambrel@ambrel.invalid>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${AMBREL_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulator of electrostatics for charged bodies hanging from strings")
# The long description of the package, in lines of the width Debian asks for.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Ambrel simulates small charged bodies that hang from strings: the pith\n"
    "balls of the classic experiments, and conductors of many shapes built\n"
    "from small spheres. A system is described in a small text language;\n"
    "Ambrel computes capacitances, charges and forces, relaxes the strings\n"
    "to equilibrium, judges its stability and draws the system in a 3D view\n"
    "coloured by charge. It includes closed-form calculators of the pith-ball\n"
    "electroscope and the command-line tool ambrel-batch for scripted\n"
    "parameter studies.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${AMBREL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The shared libraries the programs link give most of the dependencies (dpkg-shlibdeps). Two are
# added by hand: the OpenMP build of OpenBLAS, which the programs need (the libopenblas0 that
# the libraries give would let apt pick the pthread build), and the font the view labels with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libopenblas0-openmp, fonts-dejavu-core")

if(NOT CMAKE_INSTALL_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
    message(STATUS "Package: the programs are built for ${CMAKE_INSTALL_PREFIX}, the package installs "
                   "in ${CPACK_PACKAGING_INSTALL_PREFIX}; configure with -DCMAKE_INSTALL_PREFIX=/usr "
                   "to build the package")
endif()

include(CPack)

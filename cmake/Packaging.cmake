# SPDX-License-Identifier: MIT
# What an installed Marlo carries besides the program, and the Debian package made of it:
#   cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build-package
#   cd build-package && cpack -G DEB
# scripts/package.sh does this with Debian's hardening flags and checks the result with lintian.

# The AppStream ID; the desktop entry and the metainfo file are named after it.
set(MARLO_APP_ID io.github.marlo_editor.marlo)

install(FILES resources/${MARLO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian keeps manual pages and changelogs compressed; -n leaves out the time stamp, so the same
# sources always give the same package.
function(marlo_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9n < ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()
# A package is built against one release's Qt, so its version names that release: 0.20~deb12 on
# Debian 12, 0.20~deb13 on Debian 13 (the tilde sorts it before a plain 0.20), 0.20~ubuntu24.04 on
# Ubuntu. Elsewhere, or on a release without a number (testing, sid), the version stays plain.
cmake_host_system_information(RESULT distribution_id QUERY DISTRIB_ID)
cmake_host_system_information(RESULT distribution_version QUERY DISTRIB_VERSION_ID)
set(MARLO_PACKAGE_VERSION ${PROJECT_VERSION})
if(distribution_id STREQUAL "debian" AND distribution_version MATCHES "^[0-9]+$")
  set(MARLO_PACKAGE_VERSION ${PROJECT_VERSION}~deb${distribution_version})
elseif(distribution_id MATCHES "^[a-z]+$" AND distribution_version MATCHES "^[0-9.]+$")
  set(MARLO_PACKAGE_VERSION ${PROJECT_VERSION}~${distribution_id}${distribution_version})
endif()

# The changelog's newest entry names the version of the package that carries it.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog)
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog changelog)
string(REGEX REPLACE "^marlo \\([^)]*\\)" "marlo (${MARLO_PACKAGE_VERSION})" changelog "${changelog}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/changelog.new "${changelog}")
configure_file(${CMAKE_CURRENT_BINARY_DIR}/changelog.new ${CMAKE_CURRENT_BINARY_DIR}/changelog COPYONLY)

marlo_gzip(${CMAKE_CURRENT_SOURCE_DIR}/docs/marlo.1 ${CMAKE_CURRENT_BINARY_DIR}/marlo.1.gz)
marlo_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_target(marlo_docs ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/marlo.1.gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/marlo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/marlo)

# A stripped install (cmake --install --strip, and CPack) also drops the sections that only name
# the compiler and the build, as Debian's own packages do.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/marlo\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()")

set(CPACK_PACKAGE_NAME marlo)
set(CPACK_PACKAGE_VENDOR "The Marlo developers")
set(CPACK_PACKAGE_CONTACT "The Marlo developers <developers@marlo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for small tiles painted pixel by pixel")
set(CPACK_PACKAGE_DESCRIPTION [[Marlo edits chips: raster tiles of at most 256 by 256 pixels that are laid
side by side, as in the tile sets of games. It paints pixel by pixel at 1 to
16 times magnification with an opacity, moves the whole picture or a selected
block, wraps strokes and moves around the edges so that tiles join without a
seam, previews the chip as a tiled surface, exchanges pictures through the
clipboard and reads and writes BMP files.

The interface is in Japanese.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_VERSION ${MARLO_PACKAGE_VERSION})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Qt loads its platform plugins at run time, so the libraries the binary links do not name them.
# Debian 12 ships the X11 plugin in libqt6gui6, which only recommends qt6-qpa-plugins with the
# others; naming it keeps them where recommends are not installed. Without a CJK font every text
# of the interface is a row of boxes. Wayland is needed only where there is no XWayland, and Qt's
# Japanese texts only for the buttons of its dialogs, so those two are recommended.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")

include(CPack)

if(MARLO_TESTS AND NOT WIN32)
  # Builds a Release copy of its own: a package made from the sanitizer build would depend on
  # the sanitizer runtimes. One compiler at a time leaves the other core to the test running beside.
  add_test(NAME package_deb
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/package_deb.sh ${CMAKE_CURRENT_BINARY_DIR}/package ${PROJECT_VERSION} ${MARLO_PACKAGE_VERSION})
  set_tests_properties(package_deb PROPERTIES TIMEOUT 1200 SKIP_RETURN_CODE 77 ENVIRONMENT CMAKE_BUILD_PARALLEL_LEVEL=1)
endif()

# Packages through CPack: `cpack` in a build directory (or `bash tools/build-packages.sh`, which builds
# first). Each platform chooses its own generators below; what the packages hold comes from the install
# rules (cmake/Install.cmake) and their components.

set(CPACK_PACKAGE_NAME frostmark)
set(CPACK_PACKAGE_VENDOR Kelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${FROSTMARK_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${FROSTMARK_HOMEPAGE})
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_OUTPUT_FILE_PREFIX packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
# The packages hold what `cmake --install` would put under the configured prefix, so that the paths
# written into the manual pages are the installed ones.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_COMPONENTS_ALL cli desktop)
set(CPACK_COMPONENT_CLI_DISPLAY_NAME "frostmark-cli")
set(CPACK_COMPONENT_DESKTOP_DISPLAY_NAME "Frostmark desktop program")
set(CPACK_COMPONENT_DESKTOP_DEPENDS cli)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # Two Debian packages, and the whole install tree as one .tar.gz.
  set(CPACK_GENERATOR DEB TGZ)
  if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    message(STATUS "Packages install under ${CMAKE_INSTALL_PREFIX}; Debian packages belong under /usr "
                   "(-DCMAKE_INSTALL_PREFIX=/usr, as tools/build-packages.sh configures)")
  endif()
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  # The first line of each component's description is its package's synopsis.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SOURCE frostmark)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

  # Both packages' long descriptions begin with what Frostmark does, then say what the package holds.
  set(frostmark_about "Frostmark picks the scenery that never moves out of a Tavrel game server's
world file (by attribute bits, TYPE, art IDs and map rectangles), writes it
into a compact freeze patch file grouped by 8 x 8 map blocks, and writes a
copy of the world file without it, so the server loads faster.")

  set(CPACK_DEBIAN_CLI_PACKAGE_NAME frostmark-cli)
  set(CPACK_COMPONENT_CLI_DESCRIPTION
      "freezes the static scenery of a Tavrel world file (command line)
${frostmark_about}

This package holds frostmark-cli, the command-line program for headless
hosts: analyze, patch, clean and freeze a world, check patch files, list a
script set and draw the radar map as a PNG image. It needs no graphical
toolkit. A sample shard is in /usr/share/doc/frostmark-cli/samples.")

  set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME frostmark)
  set(CPACK_COMPONENT_DESKTOP_DESCRIPTION
      "freezes the static scenery of a Tavrel world file (desktop program)
${frostmark_about}

This package holds the desktop program: one dialog with the paths, the
options and a radar map of the world, built from the game client's files,
on which the areas to freeze are dragged.")
endif()

if(WIN32)
  # One .zip of the install tree (cmake/Install.cmake), unpacked into a folder of its own name:
  # `bash tools/build-windows-zip.sh`, or `cpack` in a Windows build directory.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGING_INSTALL_PREFIX /)
  set(CPACK_PACKAGE_FILE_NAME frostmark-${PROJECT_VERSION}-windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
endif()

include(CPack)

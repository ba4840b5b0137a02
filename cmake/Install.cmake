# What `cmake --install` puts where (the standard install directories), in two components that become
# the two Debian packages: `cli` (frostmark-cli, no Qt) and `desktop` (frostmark and its desktop files).

if(WIN32)
  # Windows: one folder to unpack anywhere (the .zip of cmake/Packaging.cmake), with the programs, the
  # generators, the README and the sample shard side by side. Manual pages and shell completion have no
  # place there.
  install(TARGETS frostmark-cli frostmark-worldgen frostmark-scriptgen frostmark-mapgen
          RUNTIME DESTINATION . COMPONENT cli)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION .
          COMPONENT cli)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/samples/ DESTINATION samples COMPONENT cli)
  if(TARGET frostmark)
    install(TARGETS frostmark RUNTIME DESTINATION . COMPONENT desktop)
  endif()
  return()
endif()

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Each package's documentation directory bears its name; the README and the sample shard go with the
# command line, which every installation has.
set(FROSTMARK_CLI_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/frostmark-cli)
set(FROSTMARK_DESKTOP_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/frostmark)
set(FROSTMARK_GENERATED ${CMAKE_BINARY_DIR}/install-files)

# Manual pages (compressed, as installed man pages are) and the package changelog carry the version.
find_program(FROSTMARK_GZIP gzip)
function(frostmark_gzip_file source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${FROSTMARK_GZIP} -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()
set(frostmark_compressed)
# Paths in the pages are typed by users: roff's minus sign, not its hyphen, copies as "-".
string(REPLACE "-" "\\-" DOCDIR "${CMAKE_INSTALL_PREFIX}/${FROSTMARK_CLI_DOCDIR}")
foreach(page frostmark-cli.1 frostmark.1)
  configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page}.in ${FROSTMARK_GENERATED}/${page} @ONLY)
  frostmark_gzip_file(${FROSTMARK_GENERATED}/${page} ${FROSTMARK_GENERATED}/${page}.gz)
  list(APPEND frostmark_compressed ${FROSTMARK_GENERATED}/${page}.gz)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${FROSTMARK_GENERATED}/changelog @ONLY)
frostmark_gzip_file(${FROSTMARK_GENERATED}/changelog ${FROSTMARK_GENERATED}/changelog.gz)
list(APPEND frostmark_compressed ${FROSTMARK_GENERATED}/changelog.gz)
add_custom_target(frostmark_install_files ALL DEPENDS ${frostmark_compressed})

# ---------------------------------------------------------------- cli
if(TARGET frostmark-cli)
  install(TARGETS frostmark-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
endif()
install(FILES ${FROSTMARK_GENERATED}/frostmark-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/frostmark-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME frostmark-cli COMPONENT cli)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
              ${FROSTMARK_GENERATED}/changelog.gz
        DESTINATION ${FROSTMARK_CLI_DOCDIR} COMPONENT cli)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/samples/ DESTINATION ${FROSTMARK_CLI_DOCDIR}/samples COMPONENT cli
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# ---------------------------------------------------------------- desktop
if(TARGET frostmark)
  install(TARGETS frostmark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
  install(FILES ${FROSTMARK_GENERATED}/frostmark.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT desktop)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/${FROSTMARK_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/${FROSTMARK_APP_ID}.metainfo.xml.in
                 ${FROSTMARK_GENERATED}/${FROSTMARK_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${FROSTMARK_GENERATED}/${FROSTMARK_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT desktop)
  if(FROSTMARK_ICON_DIR)
    install(DIRECTORY ${FROSTMARK_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
            COMPONENT desktop)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${FROSTMARK_GENERATED}/changelog.gz
          DESTINATION ${FROSTMARK_DESKTOP_DOCDIR} COMPONENT desktop)
endif()

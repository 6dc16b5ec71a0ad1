# What a user downloads, as `cmake --install` lays it out and CPack packs it,
# named with the version of project(VERSION ...):
#   Windows build: quillfen.exe, quillfen-cli.exe, patches.ini, README.txt and
#                  patches-ini.txt side by side in dist/quillfen-<version>-win64.zip
#   Linux build:   the command-line tool, its manual pages, its shell completions
#                  and the example definitions in dist/quillfen-cli_<version>_amd64.deb,
#                  or, with QUILLFEN_PORTABLE_ARCHIVE (the release-static preset:
#                  a statically linked tool for any x86-64 Linux), the same with
#                  a short README in dist/quillfen-cli-<version>-linux-x86_64.tar.gz,
#                  laid out to be unpacked into a prefix such as ~/.local
# Executables are stripped when packed (and by `cmake --install --strip`).

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)
set(QUILLFEN_PACKAGE_MAINTAINER "Tesk <quillfen@example.org>"
    CACHE STRING "Maintainer of the Debian package: name <address>")

if(WIN32)
  # One folder, no installer: the window program reads patches.ini beside it.
  install(TARGETS quillfen quillfen-cli RUNTIME DESTINATION .)
  configure_file(${packaging_dir}/README.txt.in ${packaging_out}/README.txt @ONLY NEWLINE_STYLE CRLF)
  # The definition file's reference, as text with Windows line ends.
  configure_file(${PROJECT_SOURCE_DIR}/docs/patches-ini.md ${packaging_out}/patches-ini.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/patches.ini ${packaging_out}/README.txt
                ${packaging_out}/patches-ini.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quillfen-${PROJECT_VERSION}-win64)
  # The files lie at the top of the archive, so that "Extract All" gives one folder.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  option(QUILLFEN_PORTABLE_ARCHIVE
    "Pack a .tar.gz to unpack into a prefix such as ~/.local, instead of a .deb" OFF)
  include(GNUInstallDirs)
  set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quillfen-cli)
  # An installed quillfen-cli reads share/quillfen/patches.ini when it is given no --ini.
  install(TARGETS quillfen-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/examples/patches.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/quillfen)

  # The manual page and the package's changelog, compressed as Debian keeps
  # them (no name or time stamp in the gzip header, so rebuilds are identical).
  # The changelog's date and the copyright's year are those of the time of
  # configuring, or of SOURCE_DATE_EPOCH (scripts/release: the last commit).
  string(TIMESTAMP QUILLFEN_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  string(TIMESTAMP QUILLFEN_COPYRIGHT_YEAR "%Y" UTC)
  configure_file(${packaging_dir}/quillfen-cli.1.in ${packaging_out}/quillfen-cli.1 @ONLY)
  configure_file(${packaging_dir}/changelog.in ${packaging_out}/changelog @ONLY)
  configure_file(${packaging_dir}/copyright.in ${packaging_out}/copyright @ONLY)
  # The definition file's manual page, made from its one source,
  # docs/patches-ini.md, when the tool is built.
  find_program(QUILLFEN_AWK NAMES awk mawk gawk REQUIRED)
  set(format_page ${packaging_out}/quillfen-patches.ini.5)
  add_custom_command(
    OUTPUT ${format_page}
    COMMAND ${QUILLFEN_AWK} -v name=quillfen-patches.ini -v section=5
            "-v" "summary=the definition file of the games Quillfen can patch"
            "-v" "footer=quillfen ${PROJECT_VERSION}"
            -f ${PROJECT_SOURCE_DIR}/cmake/markdown-man.awk
            ${PROJECT_SOURCE_DIR}/docs/patches-ini.md > ${format_page}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/markdown-man.awk ${PROJECT_SOURCE_DIR}/docs/patches-ini.md
    VERBATIM)
  find_program(QUILLFEN_GZIP gzip)
  if(QUILLFEN_GZIP)
    add_custom_command(
      OUTPUT ${packaging_out}/quillfen-cli.1.gz ${format_page}.gz ${packaging_out}/changelog.gz
      COMMAND ${QUILLFEN_GZIP} -9nkf ${packaging_out}/quillfen-cli.1 ${format_page}
              ${packaging_out}/changelog
      DEPENDS ${packaging_out}/quillfen-cli.1 ${format_page} ${packaging_out}/changelog
      VERBATIM)
    add_custom_target(quillfen_packaging_docs ALL
      DEPENDS ${packaging_out}/quillfen-cli.1.gz ${format_page}.gz ${packaging_out}/changelog.gz)
    set(man_page ${packaging_out}/quillfen-cli.1.gz)
    set(format_page ${format_page}.gz)
    set(changelog ${packaging_out}/changelog.gz)
  else()
    # Without gzip the pages are installed as they are; man reads them so too.
    add_custom_target(quillfen_packaging_docs ALL DEPENDS ${format_page})
    set(man_page ${packaging_out}/quillfen-cli.1)
    set(changelog ${packaging_out}/changelog)
  endif()
  # Built with the tool, so that `cmake --install` works after building it alone.
  add_dependencies(quillfen-cli quillfen_packaging_docs)
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${format_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)

  # Completions of the commands, options and game names, where bash
  # (bash-completion), zsh and fish look for those of installed programs.
  set(completions ${packaging_dir}/completions)
  install(FILES ${completions}/quillfen-cli.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quillfen-cli)
  install(FILES ${completions}/_quillfen-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
  install(FILES ${completions}/quillfen-cli.fish
          DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

  if(QUILLFEN_PORTABLE_ARCHIVE)
    configure_file(${packaging_dir}/README.linux.in ${packaging_out}/README @ONLY)
    install(FILES ${packaging_out}/README ${packaging_out}/copyright DESTINATION ${doc_dir})
    set(CPACK_GENERATOR TGZ)
    set(CPACK_PACKAGE_FILE_NAME quillfen-cli-${PROJECT_VERSION}-linux-x86_64)
    # bin/ and share/ at the top, so that unpacking into a prefix installs the tool.
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  else()
    install(FILES ${packaging_out}/copyright ${changelog} DESTINATION ${doc_dir})
  endif()

  if(NOT QUILLFEN_PORTABLE_ARCHIVE)
    set(CPACK_GENERATOR DEB)
  endif()
  set(CPACK_DEBIAN_PACKAGE_NAME quillfen-cli)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLFEN_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "change the screen resolution a game is hard-wired to use")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
Quillfen finds the bytes that hold a PC game's screen width and height
inside the game's files, by a byte signature with wildcards, overwrites
them in place with the values given, and leaves an undo record beside each
file it changes so that the old values can be restored.
.
This package holds quillfen-cli, the command-line tool, for Windows games
run through Wine or Proton, and an example definition file. It keeps the
same undo records as the Windows program, and checks definition files for
the people who write them.]])
endif()

set(CPACK_PACKAGE_NAME quillfen)
set(CPACK_PACKAGE_VENDOR Tesk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The packages go to dist/; CPack stages them in the build folder.
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)

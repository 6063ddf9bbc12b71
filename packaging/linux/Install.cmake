# Installed on Linux beside the program and its script: the desktop entry, the icons, the AppStream metadata,
# the manual pages, brindlexctl's bash completion, and the copyright and changelog files that a Debian package
# carries (cpack -G DEB packs what these rules install, under /usr).
include(GNUInstallDirs)
set(here ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${here}/brindlex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
file(GLOB BRINDLEX_ICON_PNGS ${CMAKE_SOURCE_DIR}/resources/icons/brindlex-*.png)
foreach(png ${BRINDLEX_ICON_PNGS})
  string(REGEX MATCH "brindlex-([0-9]+)\\.png$" _ ${png})
  if(CMAKE_MATCH_1)
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${CMAKE_MATCH_1}x${CMAKE_MATCH_1}/apps RENAME brindlex.png)
  endif()
endforeach()
install(FILES ${here}/org.brindlex.BrindleX.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Where bash-completion loads a command's completion from the first time the command is completed.
install(FILES ${here}/brindlexctl.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME brindlexctl)

# The manual pages and the changelog, compressed as Debian keeps them (gzip -9n: no name or time inside, so the
# same source gives the same file). brindlexctl's page is written from its own --help and --version whenever the
# program is built again, so the page never tells another command line than the program's.
find_program(BRINDLEX_HELP2MAN help2man)
if(NOT BRINDLEX_HELP2MAN)
  message(FATAL_ERROR "help2man is missing: it writes brindlexctl's manual page from its --help "
                      "(apt-get install help2man)")
endif()
find_program(BRINDLEX_GZIP gzip REQUIRED)
set(doc ${CMAKE_BINARY_DIR}/doc)
add_custom_command(OUTPUT ${doc}/brindlexctl.1.gz
  COMMAND ${BRINDLEX_HELP2MAN} --no-info --section=1 --include=${here}/brindlexctl.h2m
          --output=${doc}/brindlexctl.1 $<TARGET_FILE:brindlexctl>
  COMMAND ${BRINDLEX_GZIP} -9nf ${doc}/brindlexctl.1
  DEPENDS brindlexctl ${here}/brindlexctl.h2m
  COMMENT "Writing brindlexctl's manual page from its --help"
  VERBATIM)
foreach(name BrindleX.1 changelog)
  add_custom_command(OUTPUT ${doc}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${here}/${name} ${doc}/${name}
    COMMAND ${BRINDLEX_GZIP} -9nf ${doc}/${name}
    DEPENDS ${here}/${name}
    VERBATIM)
endforeach()
add_custom_target(brindlex_docs ALL DEPENDS ${doc}/brindlexctl.1.gz ${doc}/BrindleX.1.gz ${doc}/changelog.gz)
install(FILES ${doc}/BrindleX.1.gz ${doc}/brindlexctl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Named after the package, as Debian wants them (not CMAKE_INSTALL_DOCDIR, which is named after the project).
install(FILES ${here}/copyright ${doc}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/brindlex)

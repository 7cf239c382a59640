# cmake --install: the programs in bin/, the libraries they load in lib/sorvane/ (found through
# the programs' RPATH, also by the encoder's dlopen), the help in share/sorvane/help/, and the
# desktop entry with its icon.
include(GNUInstallDirs)

set(SORVANE_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/sorvane)
file(RELATIVE_PATH _sorvane_bin_to_lib
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${SORVANE_PRIVATE_LIBDIR})
set_target_properties(sorvane sorvane-cli PROPERTIES INSTALL_RPATH "$ORIGIN/${_sorvane_bin_to_lib}")

install(TARGETS sorvane sorvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS lame_enc sorvane_keyhook LIBRARY DESTINATION ${SORVANE_PRIVATE_LIBDIR})
install(DIRECTORY resources/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/sorvane/help)
install(FILES resources/desktop/sorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
if(EXISTS ${PROJECT_SOURCE_DIR}/resources/icon/128.png)
  install(FILES resources/icon/128.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps
    RENAME sorvane.png)
endif()
# sorvane-cli's manual page (written from its help by the build) and its bash completion.
install(FILES ${SORVANE_CLI_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/completion/sorvane-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

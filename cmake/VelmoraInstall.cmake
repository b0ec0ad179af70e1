# Installation in the usual folders and the Debian package (cpack -G DEB):
#   bin/                                  velmora, velmora-cli, velmora-sim
#   share/velmora/DATA                    the shipped DATA (the programs find it from ../share/velmora)
#   share/applications, share/metainfo    the desktop entry and its AppStream description
#   share/icons/hicolor/scalable/apps     the icon
#   share/man/man1                        velmora-cli.1 (generated from the tool's tables), velmora-sim.1
#   share/bash-completion/completions     velmora-cli
#   lib/udev/rules.d                      access to FTDI cables for the user at the seat
include(GNUInstallDirs)

set(VELMORA_APP_ID org.velmora.Velmora)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(generated ${PROJECT_BINARY_DIR}/packaging)

# The man page's commands and options come from velmora-cli itself.
add_custom_command(OUTPUT ${generated}/velmora-cli.1
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:velmora-cli> -DTEMPLATE=${packaging}/velmora-cli.1.in
            -DOUTPUT=${generated}/velmora-cli.1 -DVERSION=${PROJECT_VERSION}
            -P ${PROJECT_SOURCE_DIR}/cmake/GenerateManPage.cmake
    DEPENDS velmora-cli ${packaging}/velmora-cli.1.in ${PROJECT_SOURCE_DIR}/cmake/GenerateManPage.cmake
    COMMENT "Generating the velmora-cli man page")
add_custom_target(velmora_man ALL DEPENDS ${generated}/velmora-cli.1)
configure_file(${packaging}/${VELMORA_APP_ID}.metainfo.xml ${generated}/${VELMORA_APP_ID}.metainfo.xml @ONLY)

set(installed velmora-cli velmora-sim)
if(TARGET velmora)
    list(APPEND installed velmora)
endif()
install(TARGETS ${installed} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/DATA DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora)
install(FILES ${packaging}/${VELMORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/${VELMORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/velmora.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${generated}/velmora-cli.1 ${packaging}/velmora-sim.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/velmora-cli.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME velmora-cli)
install(FILES ${packaging}/60-velmora-ftdi.rules DESTINATION lib/udev/rules.d)

# The Debian package; its library dependencies are computed by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}) # the one version: --version, the version box, the metainfo
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_CONTACT "Velmora developers <velmora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "diagnostics for 1990s Mercedes-Benz engine electronics")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora reads live values and the fault memory of HFM, PMS, LH and EZ engine units over the K-line, "
    "through a KKL cable, an FTDI cable, a CarSoft 7.4 interface or an ELM327 (serial or WiFi). "
    "Includes the window program, the command-line tool velmora-cli and the simulator velmora-sim.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_GENERATOR DEB)
include(CPack)

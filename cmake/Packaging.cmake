# Installation layout and the Debian package.
include(GNUInstallDirs)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/dmm-interface.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/dmm-interface.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
file(GLOB DMM_UDEV_RULES ${PROJECT_SOURCE_DIR}/udev/*.rules)
if(DMM_UDEV_RULES)
  # udev reads /lib/udev/rules.d whatever the prefix; a package installs there.
  install(FILES ${DMM_UDEV_RULES} DESTINATION lib/udev/rules.d)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dmm-interface)
set(CPACK_PACKAGE_VENDOR "dmm-interface developers")
set(CPACK_PACKAGE_CONTACT "dmm-interface developers <dmm@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Interface program for a handheld digital multimeter (RS-232 and USB HID)")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dseg, fonts-liberation, fonts-dejavu-core")
include(CPack)

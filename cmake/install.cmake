# Install rules and packages. Linux: the two programs as an XScreenSaver hack, the hack's config file, a
# desktop entry for the settings dialog and the documents, packed as a .deb. Windows: a zip with the two
# programs and a README at its top.
include(GNUInstallDirs)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)

set(CPACK_PACKAGE_NAME papyrant)
set(CPACK_PACKAGE_VENDOR "Papyrant developers")
set(CPACK_PACKAGE_CONTACT "Papyrant developers <maintainers@papyrant.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screensaver that shreds the picture of the desktop")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://papyrant.example/")
set(CPACK_STRIP_FILES ON)
# Packages land in the build tree, whatever the directory cpack is run from.
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})

if(WIN32)
  # Both programs must lie in one folder; the settings file is written beside them.
  install(TARGETS papyrant_saver_exe papyrant_renderer_exe RUNTIME DESTINATION .)
  # A plain text file for Notepad: CRLF line ends.
  file(READ ${CMAKE_SOURCE_DIR}/packaging/windows/README.txt readme)
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${CMAKE_BINARY_DIR}/packaging/README.txt "${readme}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/windows/README.txt)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGE_FILE_NAME "Papyrant-${PROJECT_VERSION}-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  # The saver starts the renderer from its own directory, which it takes from /proc/self/exe, so the link
  # that gives the hack its lower-case name may point at it.
  set(hack_dir ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
  install(TARGETS papyrant_saver_exe papyrant_renderer_exe RUNTIME DESTINATION ${hack_dir})
  file(CREATE_LINK Papyrant.scr ${CMAKE_BINARY_DIR}/packaging/papyrant SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/papyrant DESTINATION ${hack_dir})

  install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/papyrant.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
  # The desktop entry names the installed hack by its full path, known only when installing.
  set(desktop_in ${CMAKE_SOURCE_DIR}/packaging/linux/papyrant-settings.desktop.in)
  set(desktop_out ${CMAKE_BINARY_DIR}/packaging/papyrant-settings.desktop)
  install(CODE "
    set(PAPYRANT_HACK_DIR \"\${CMAKE_INSTALL_PREFIX}/${hack_dir}\")
    configure_file(\"${desktop_in}\" \"${desktop_out}\" @ONLY)
    file(INSTALL \"${desktop_out}\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")")

  # Debian wants the copyright file and a changelog compressed without a time stamp beside the README.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/linux/changelog.in)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/linux/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
  execute_process(COMMAND gzip -n -9 -c ${CMAKE_BINARY_DIR}/packaging/changelog
                  OUTPUT_FILE ${CMAKE_BINARY_DIR}/packaging/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/linux/copyright
                ${CMAKE_BINARY_DIR}/packaging/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/papyrant)

  set(CPACK_GENERATOR DEB)
  # Installed with DESTDIR under the prefix /usr, so that the install rules see the package's own prefix.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION x11)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xscreensaver)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver-data)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Papyrant copies the screen, shows it through OpenGL as a textured grid and
every two seconds breaks it into 49 x 49 tiles that drift and fall away.
It runs as an XScreenSaver hack; its settings dialog chooses background
music from an audio CD or a music file.")
endif()

include(CPack)

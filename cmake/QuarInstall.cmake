# What `cmake --install` lays out, Debian's way, and the Debian package made from it:
#   bin/quarget                      the command-line client
#   sbin/quarsetup                   the installer of a site
#   lib/<arch>/libQuarInet.so.*      the client library (with its platform-library layer and
#                                    window host beside it, where it loads them from)
#   include/QuarInet.h               its public header; pkg-config and CMake package files
#   lib/quar/                        the three CGI programs, copied into a site by quarsetup
#   share/quar/site/                 pages, message catalogue, images
#   share/man/, share/doc/quar/      manual pages, README, copyright
include(GNUInstallDirs)

set(QUAR_INSTALL_PROGRAMS lib/quar)
set(QUAR_INSTALL_SITE ${CMAKE_INSTALL_DATADIR}/quar/site)

# The client library's ABI version: raise SOVERSION when an export changes incompatibly.
set_target_properties(QuarInet PROPERTIES VERSION 1.0.0 SOVERSION 1)
target_include_directories(QuarInet INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS QuarInet EXPORT QuarInetTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT client)
install(FILES ${CMAKE_SOURCE_DIR}/include/QuarInet.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT client)
# Modules the library opens by name at run time: unversioned, beside it.
foreach(module quarwininet quarinetgtk)
  if(TARGET ${module})
    install(TARGETS ${module} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP
      COMPONENT client)
  endif()
endforeach()
if(TARGET quarget)
  install(TARGETS quarget RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)
  install(FILES ${CMAKE_SOURCE_DIR}/man/quarget.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT client)
endif()

# QuarInet for other projects: pkg-config and find_package(QuarInet).
file(RELATIVE_PATH QUAR_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/quarinet.pc.in ${CMAKE_BINARY_DIR}/quarinet.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/quarinet.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT client)
include(CMakePackageConfigHelpers)
set(QUAR_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QuarInet)
install(EXPORT QuarInetTargets NAMESPACE QuarInet:: DESTINATION ${QUAR_CMAKE_PACKAGE_DIR}
  COMPONENT client)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/QuarInetConfig.cmake.in
  ${CMAKE_BINARY_DIR}/QuarInetConfig.cmake INSTALL_DESTINATION ${QUAR_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/QuarInetConfigVersion.cmake
  VERSION 1.0.0 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/QuarInetConfig.cmake ${CMAKE_BINARY_DIR}/QuarInetConfigVersion.cmake
  DESTINATION ${QUAR_CMAKE_PACKAGE_DIR} COMPONENT client)

# The server side: programs, site data and the installer that lays out a site from them.
install(TARGETS quarnbxadmin quarnbx quarnbxpic RUNTIME DESTINATION ${QUAR_INSTALL_PROGRAMS}
  COMPONENT server)
install(TARGETS quarsetup RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR} COMPONENT server)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/site/ DESTINATION ${QUAR_INSTALL_SITE} COMPONENT server
  FILES_MATCHING PATTERN "*.htx" PATTERN "*.def" PATTERN "*.gif" PATTERN "*.css")
install(FILES ${CMAKE_SOURCE_DIR}/man/quarsetup.8
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT server)
set(QUAR_INSTALL_DOC ${CMAKE_INSTALL_DATADIR}/doc/quar)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${QUAR_INSTALL_DOC} COMPONENT server)
install(FILES ${CMAKE_SOURCE_DIR}/COPYRIGHT DESTINATION ${QUAR_INSTALL_DOC} RENAME copyright
  COMPONENT server)

# cpack -G DEB: one package with everything above.
set(CPACK_PACKAGE_NAME quar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quar maintainers <maintainers@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Pellmora administration, request and image CGI programs, and the QuarInet HTTP client library")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
# The CGI programs are static; the library needs zlib, its platform-library layer libcurl.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), zlib1g (>= 1:1.2), libcurl4 (>= 7.74)")
# The library's dialogs show through GTK 3 when a display is there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgtk-3-0")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "lighttpd | apache2")
include(CPack)

# What `cmake --install` lays out (debian/ splits it into packages):
#   bin/quarget                      the command-line client
#   sbin/quarsetup                   the installer of a site
#   lib/<arch>/libQuarInet.so.*      the client library
#   lib/<arch>/quarinet/             the modules it opens by name: the platform internet library
#                                    layer and the dialogs' window host (not for linking)
#   include/QuarInet.h               its public header; pkg-config and CMake package files
#   lib/quar/                        the three CGI programs, copied into a site by quarsetup
#   share/quar/site/                 pages, message catalogue, images
#   share/man/, share/doc/quar/      manual pages, README, copyright
include(GNUInstallDirs)

# Installed programs find the library of their own prefix, wherever it was installed to
# (Debian's build passes -DCMAKE_SKIP_INSTALL_RPATH=ON: there it lies on the loader's path).
file(RELATIVE_PATH QUAR_BIN_TO_LIBDIR /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBDIR})
if(TARGET quarget)
  set_target_properties(quarget PROPERTIES INSTALL_RPATH "$ORIGIN/${QUAR_BIN_TO_LIBDIR}")
endif()

set(QUAR_INSTALL_PROGRAMS lib/quar)
set(QUAR_INSTALL_SITE ${CMAKE_INSTALL_DATADIR}/quar/site)

# The client library's ABI version: raise SOVERSION when an export changes incompatibly.
set_target_properties(QuarInet PROPERTIES VERSION 1.0.0 SOVERSION 1)
target_include_directories(QuarInet INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS QuarInet EXPORT QuarInetTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT client)
install(FILES ${CMAKE_SOURCE_DIR}/include/QuarInet.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT client)
# Modules the library opens by name at run time: unversioned, in its private folder.
foreach(module quarwininet quarinetgtk)
  if(TARGET ${module})
    install(TARGETS ${module} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/quarinet NAMELINK_SKIP
      COMPONENT client)
  endif()
endforeach()
if(TARGET quarget)
  install(TARGETS quarget RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)
  install(FILES ${CMAKE_SOURCE_DIR}/man/quarget.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT client)
endif()

# QuarInet for other projects: pkg-config and find_package(QuarInet).
# The prefix written into quarinet.pc is the one installed to (`cmake --install --prefix`), so
# that pkg-config prints plain paths, and none under /usr (a blank in it escaped, as pkg-config
# reads it).
install(CODE "
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  string(REPLACE \" \" \"\\\\ \" QUAR_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${CMAKE_SOURCE_DIR}/cmake/quarinet.pc.in\" \"${CMAKE_BINARY_DIR}/quarinet.pc\" @ONLY)"
  COMPONENT client)
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

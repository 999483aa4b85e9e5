# Install rules and Debian packages of the library, its headers and the tool.
#
# Components: runtime (the shared library with its soname), development
# (headers, the .so link, pkg-config file, CMake package config) and tool
# (zerir2-settings and its manual page). CPack turns each into one .deb.
# GNUInstallDirs picks Debian's multiarch library directory only for native
# builds; the i386 build (a toolchain file, so "cross") gets it here too.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_CROSSCOMPILING AND CMAKE_LIBRARY_ARCHITECTURE
   AND CMAKE_INSTALL_PREFIX MATCHES "^/usr/?$" AND EXISTS /etc/debian_version)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (lib)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(Z2_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zerir2settings)

install(TARGETS zerir2settings EXPORT zerir2settingsTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
                COMPONENT runtime
                NAMELINK_COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/zerir2
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT development
        FILES_MATCHING PATTERN "*.h")

# pkg-config: the prefix is written once so a sysroot or a moved tree only
# needs PKG_CONFIG_SYSROOT_DIR.
configure_file(${CMAKE_SOURCE_DIR}/cmake/zerir2settings.pc.in
               ${CMAKE_BINARY_DIR}/zerir2settings.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zerir2settings.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)

# CMake package: find_package(zerir2settings) gives zerir2settings::zerir2settings.
install(EXPORT zerir2settingsTargets
        NAMESPACE zerir2settings::
        DESTINATION ${Z2_CMAKE_DIR}
        COMPONENT development)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/zerir2settingsConfig.cmake.in
        ${CMAKE_BINARY_DIR}/zerir2settingsConfig.cmake
        INSTALL_DESTINATION ${Z2_CMAKE_DIR})
# Same major version, same soname: anything newer within 1.x will do.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/zerir2settingsConfigVersion.cmake
        VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/zerir2settingsConfig.cmake
              ${CMAKE_BINARY_DIR}/zerir2settingsConfigVersion.cmake
        DESTINATION ${Z2_CMAKE_DIR}
        COMPONENT development)

install(TARGETS zerir2-settings RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
# Debian keeps manual pages compressed; gzip -n leaves no time stamp, so
# rebuilding gives the same bytes.
find_program(Z2_GZIP gzip)
if(Z2_GZIP)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/zerir2-settings.1.gz
    COMMAND ${Z2_GZIP} -9nc ${CMAKE_SOURCE_DIR}/tools/zerir2-settings.1 > ${CMAKE_BINARY_DIR}/zerir2-settings.1.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/zerir2-settings.1 VERBATIM)
  add_custom_target(zerir2-settings-man ALL DEPENDS ${CMAKE_BINARY_DIR}/zerir2-settings.1.gz)
  install(FILES ${CMAKE_BINARY_DIR}/zerir2-settings.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
else()
  install(FILES ${CMAKE_SOURCE_DIR}/tools/zerir2-settings.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
endif()

include(${CMAKE_SOURCE_DIR}/cmake/package.cmake)

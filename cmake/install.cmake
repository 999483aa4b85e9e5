# SPDX-License-Identifier: MIT
# Install rules of the shipped library, its headers, the tool and the sample
# files. Only the shipped targets are installed: the test library and the tool
# built on it stay in the build tree. debian/ splits the result into packages.
#
# GNUInstallDirs picks Debian's multiarch library directory only for native
# builds; the i386 build (a toolchain file, so "cross") gets it here too.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_CROSSCOMPILING AND CMAKE_LIBRARY_ARCHITECTURE
   AND CMAKE_INSTALL_PREFIX MATCHES "^/usr/?$" AND EXISTS /etc/debian_version)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (lib)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(Z2_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zerir2settings)

# The installed tool finds the library beside it under any prefix; Debian
# packages (where the library is in the system's search path) turn this off.
option(ZERIR2_RELATIVE_RPATH "Let the installed tool find the library relative to itself" ON)
if(ZERIR2_RELATIVE_RPATH AND NOT IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  file(RELATIVE_PATH z2_bin_to_lib /z2/${CMAKE_INSTALL_BINDIR} /z2/${CMAKE_INSTALL_LIBDIR})
  set_target_properties(zerir2-settings PROPERTIES INSTALL_RPATH "$ORIGIN/${z2_bin_to_lib}")
endif()

install(TARGETS zerir2settings EXPORT zerir2settingsTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
                COMPONENT runtime
                NAMELINK_COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/zerir2
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT development
        FILES_MATCHING PATTERN "*.h")

# pkg-config: every path is relative to the .pc file's own folder, so the file
# is right under whatever prefix the tree is installed (or unpacked, or moved).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "zerir2settings: CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR must be relative "
                      "to the prefix (the pkg-config file and the CMake package are relocatable)")
endif()
file(RELATIVE_PATH Z2_PC_TO_PREFIX /z2/${CMAKE_INSTALL_LIBDIR}/pkgconfig /z2)
string(REGEX REPLACE "/$" "" Z2_PC_TO_PREFIX "${Z2_PC_TO_PREFIX}")
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
# The manual page is compressed when it is installed (gzip -n: no time stamp,
# so the bytes are the same every time), whatever targets the build made.
find_program(Z2_GZIP gzip)
if(Z2_GZIP)
  install(CODE "execute_process(COMMAND \"${Z2_GZIP}\" -9nc \"${CMAKE_SOURCE_DIR}/tools/zerir2-settings.1\"
                                OUTPUT_FILE \"${CMAKE_BINARY_DIR}/zerir2-settings.1.gz\" RESULT_VARIABLE rc)
                if(NOT rc EQUAL 0)
                  message(FATAL_ERROR \"gzip of the manual page failed\")
                endif()" COMPONENT tool)
  install(FILES ${CMAKE_BINARY_DIR}/zerir2-settings.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
else()
  install(FILES ${CMAKE_SOURCE_DIR}/tools/zerir2-settings.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
endif()

# The sample default style and profiles. Nothing is installed under /opt or
# /var/opt: the administrator puts the default style in place (README, manual).
install(FILES ${CMAKE_SOURCE_DIR}/examples/orvi17.sty ${CMAKE_SOURCE_DIR}/examples/zerir2.ven
              ${CMAKE_SOURCE_DIR}/examples/minimal.ven ${CMAKE_SOURCE_DIR}/examples/style1.sty
              ${CMAKE_SOURCE_DIR}/examples/style2.sty
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zerir2settings COMPONENT tool)

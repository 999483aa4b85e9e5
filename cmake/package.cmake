# Debian packages (CPack, DEB generator), one per install component:
#   libzerir2settings1     runtime    the shared library
#   libzerir2settings-dev  development headers, .so link, pkg-config, CMake package
#   zerir2-settings        tool       the command-line tool and its manual page
# The first line of each description is the summary; an empty line starts a
# paragraph.
# Packages are only for the shipped build: no test hooks, no redirected paths.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zerir2settings)
set(CPACK_PACKAGE_VENDOR "zerir2settings maintainers")
set(CPACK_PACKAGE_CONTACT "zerir2settings maintainers <maintainers@users.noreply.c-seed-2f024ee0.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

set(CPACK_COMPONENTS_ALL runtime development tool)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://c-seed-2f024ee0.example/zerir2settings")
set(CPACK_STRIP_FILES ON)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
else()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
endif()

# dpkg-shlibdeps only knows the host's libraries here (there is no i386 dpkg
# database) and cannot resolve the tool's use of the sibling runtime package,
# so the dependencies are written out: the C and C++ runtimes at least at the
# versions this machine builds against (the same source packages serve amd64
# and i386), which is never lower than what the binaries need.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
function(z2_build_version pkg fallback out)
  execute_process(COMMAND dpkg-query -W -f=\${Version} ${pkg}
                  OUTPUT_VARIABLE v ERROR_QUIET RESULT_VARIABLE rc)
  string(REGEX REPLACE "^([0-9][0-9.]*).*$" "\\1" v "${v}")
  if(NOT rc EQUAL 0 OR NOT v MATCHES "^[0-9][0-9.]*$")
    set(v ${fallback})
  endif()
  set(${out} ${v} PARENT_SCOPE)
endfunction()
z2_build_version(libc6 2.36 Z2_LIBC_VERSION)
z2_build_version(libstdc++6 12 Z2_LIBSTDCXX_VERSION)
z2_build_version(libgcc-s1 12 Z2_LIBGCC_VERSION)
set(Z2_LIB_DEPENDS "libc6 (>= ${Z2_LIBC_VERSION}), libstdc++6 (>= ${Z2_LIBSTDCXX_VERSION})")
set(Z2_TOOL_DEPENDS "${Z2_LIB_DEPENDS}, libgcc-s1 (>= ${Z2_LIBGCC_VERSION})")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzerir2settings1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "${Z2_LIB_DEPENDS}")
# A shlibs file lets dpkg-shlibdeps of programs built on the library find it;
# CPack also adds the ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"settings library of the zerir2 Japanese input-method engine
libzerir2settings keeps the settings of a Japanese input-method conversion
engine: it loads a user's profile into the engine's open-parameter record,
reads and saves palette settings, decodes the current style, reads and writes
raw keys under an inter-process file lock, creates style files and converts
text between EUC-JP, Shift_JIS, UTF-8 and UTF-16.

This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzerir2settings-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libzerir2settings1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
"settings library of the zerir2 input-method engine (development files)
libzerir2settings keeps the settings of a Japanese input-method conversion
engine.

This package holds the headers, the link to the shared library, the
pkg-config file zerir2settings.pc and the CMake package zerir2settings.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME zerir2-settings)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "libzerir2settings1 (= ${PROJECT_VERSION}), ${Z2_TOOL_DEPENDS}")
set(CPACK_DEBIAN_TOOL_DESCRIPTION
"command-line tool for zerir2 input-method settings
zerir2-settings shows every setting of a profile as text, gets, lists and
sets raw keys, shows the current style, creates a style file from others and
converts text between EUC-JP, Shift_JIS, UTF-8 and UTF-16.")

# cpack refuses to package a test or redirected build (checked when it runs).
if(ZERIR2_FAULT_HOOKS OR ZERIR2_SANITIZE OR NOT "${ZERIR2_ROOT_PREFIX}" STREQUAL "")
  set(CPACK_ZERIR2_SHIPPABLE OFF)
else()
  set(CPACK_ZERIR2_SHIPPABLE ON)
endif()
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/cpack-project.cmake)

include(CPack)

# SPDX-License-Identifier: MIT
# The root prefix of the test library: the directory put in front of the three
# fixed paths in every build that can run tests (tests, fuzz targets,
# benchmarks, the demo). It must be an absolute directory of its own: not "/",
# not an ancestor of the real paths (the prefixed paths would then be the real
# ones, or lie inside them) and not inside the real roots, which the test
# library refuses to open.
#
# Script mode checks one value, for the test of this rule:
#   cmake -DZ2_PREFIX=VALUE -P cmake/root_prefix.cmake    (exit status 0 = accepted)

function(z2_check_root_prefix value out)
  set(why "")
  if(value STREQUAL "")
    set(why "it is empty")
  elseif(NOT value MATCHES "^/")
    set(why "it is not an absolute path")
  elseif(value MATCHES "[\"\\\\\n$;]")
    set(why "it holds a quote, backslash, dollar sign, semicolon or line break")
  elseif(value MATCHES "(^|/)\\.\\.?(/|$)")
    set(why "it has a \".\" or \"..\" component")
  endif()
  string(REGEX REPLACE "//+" "/" p "${value}")
  string(REGEX REPLACE "/$" "" p "${p}")
  if(why STREQUAL "" AND p STREQUAL "")
    set(why "it is the root directory")
  endif()
  if(why STREQUAL "")
    foreach(real /var/opt/zerir2/users/ /opt/zerir2/share/for_guest/ /opt/zerir2/share/original/orvi17.sty)
      string(FIND "${real}" "${p}/" at)
      if(at EQUAL 0)
        set(why "it is an ancestor of the real path ${real}")
        break()
      endif()
    endforeach()
  endif()
  if(why STREQUAL "")
    foreach(root /var/opt/zerir2/ /opt/zerir2/)
      string(FIND "${p}/" "${root}" at)
      if(at EQUAL 0)
        set(why "it lies in the real root ${root}, which the test library refuses")
        break()
      endif()
    endforeach()
  endif()
  if(NOT why STREQUAL "")
    set(${out} "" PARENT_SCOPE)
    message(FATAL_ERROR "ZERIR2_ROOT_PREFIX \"${value}\" cannot be used: ${why}. "
                        "Leave it empty for a folder of the build tree, or give another absolute directory.")
  endif()
  set(${out} "${p}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  z2_check_root_prefix("${Z2_PREFIX}" checked)
  message(STATUS "accepted: ${checked}")
endif()

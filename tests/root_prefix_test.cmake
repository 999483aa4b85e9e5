# SPDX-License-Identifier: MIT
# Which root prefixes of the test library configure accepts: run as
#   cmake -DZ2_SOURCE_DIR=<source tree> -P tests/root_prefix_test.cmake
# Each row: the value, then 1 if it is accepted (and what it becomes) or 0.
cmake_minimum_required(VERSION 3.20)
set(rows
  "/tmp/z2-root|1|/tmp/z2-root"
  "/tmp//z2-root/|1|/tmp/z2-root"
  "/opt/zerir2x|1|/opt/zerir2x"
  "/srv/opt/zerir2|1|/srv/opt/zerir2"
  "|0" "/|0" "//|0" "relative/root|0" "/var|0" "/var/opt/|0" "/opt|0" "/opt/zerir2|0"
  "/opt/zerir2/share|0" "/opt/zerir2/share/original|0" "/var/opt/zerir2/users|0"
  "/opt/zerir2/build/root|0" "/var/opt/zerir2/users/me|0" "/tmp/../opt|0" "/tmp/./x|0" "/tmp/a\"b|0")
set(failures 0)
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" f "${row}")
  list(GET f 0 value)
  list(GET f 1 accepted)
  execute_process(COMMAND ${CMAKE_COMMAND} "-DZ2_PREFIX=${value}" -P ${Z2_SOURCE_DIR}/cmake/root_prefix.cmake
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(accepted)
    list(GET f 2 want)
    if(NOT rc EQUAL 0 OR NOT out MATCHES "accepted: ${want}\n")
      message(SEND_ERROR "\"${value}\" should be accepted as ${want}: ${out}${err}")
      math(EXPR failures "${failures} + 1")
    endif()
  elseif(rc EQUAL 0 OR NOT err MATCHES "cannot be used")
    message(SEND_ERROR "\"${value}\" should be refused: ${out}${err}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
list(LENGTH rows n)
message(STATUS "${n} prefixes checked, ${failures} wrong")

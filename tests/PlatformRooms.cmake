cmake_minimum_required(VERSION 3.20)
# Run with cmake -P from the source tree's root. platform/ is one set of
# calls over two systems: what both build, directly in platform/; the Linux
# slice in rooms under linux/; the Windows crossing in windows/. A file may
# include platform headers of its own room and of rooms on a lower floor
# only, and the program's code (app, sound, stroke, files) only what both
# systems build. The libraries under the Linux slice are its own.
set(floors
  "platform=0" "platform/windows=1"
  "platform/linux/kernel=1" "platform/linux/profile=2" "platform/linux/media=2" "platform/linux/keyboard=2"
  "platform/linux/ui=3" "platform/linux=4")
# The API header gives the real one on Windows, by way of the crossing.
set(allowed "platform/Win32.h>platform/windows/WindowsApi.h")
set(linux_libraries "^(Q[A-Za-z]*|qpa/.*|xcb/.*|wayland-.*|xkbcommon/.*|alsa/.*)(\\.h)?$")

function(room_of path out)
  get_filename_component(folder ${path} DIRECTORY)
  set(${out} ${folder} PARENT_SCOPE)
endfunction()
function(floor_of room out)
  foreach(entry ${floors})
    string(REPLACE "=" ";" pair ${entry})
    list(GET pair 0 name)
    list(GET pair 1 floor)
    if(name STREQUAL room)
      set(${out} ${floor} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

set(faults 0)
file(GLOB_RECURSE sources RELATIVE ${CMAKE_CURRENT_LIST_DIR}/..
  ${CMAKE_CURRENT_LIST_DIR}/../platform/*.h ${CMAKE_CURRENT_LIST_DIR}/../platform/*.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../app/*.h ${CMAKE_CURRENT_LIST_DIR}/../app/*.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../sound/*.h ${CMAKE_CURRENT_LIST_DIR}/../sound/*.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../stroke/*.h ${CMAKE_CURRENT_LIST_DIR}/../stroke/*.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../files/*.h ${CMAKE_CURRENT_LIST_DIR}/../files/*.cpp)
foreach(source ${sources})
  room_of(${source} room)
  floor_of(${room} floor)
  string(FIND "${room}" "platform" in_platform)
  if(NOT in_platform EQUAL 0)
    set(floor 1)  # the program's code sees what both systems build
  elseif(floor STREQUAL "")
    message(SEND_ERROR "${source}: platform/ has no room ${room}")
    math(EXPR faults "${faults} + 1")
    continue()
  endif()
  string(FIND "${room}" "platform/linux" in_linux)
  file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../${source} includes REGEX "^#include [<\"]")
  foreach(line ${includes})
    string(REGEX REPLACE "^#include [<\"]([^>\"]*)[>\"].*" "\\1" header "${line}")
    if(header MATCHES "^platform/")
      room_of(${header} header_room)
      floor_of(${header_room} header_floor)
      if("${source}>${header}" IN_LIST allowed OR header_room STREQUAL room)
        continue()
      endif()
      set(slices_cross FALSE)
      if((room MATCHES "^platform/linux" AND header_room MATCHES "^platform/windows")
         OR (room MATCHES "^platform/windows" AND header_room MATCHES "^platform/linux"))
        set(slices_cross TRUE)
      endif()
      if(header_floor STREQUAL "" OR NOT header_floor LESS floor OR slices_cross)
        message(SEND_ERROR "${source} includes ${header}, which is not on a floor below it")
        math(EXPR faults "${faults} + 1")
      endif()
    elseif(header MATCHES "${linux_libraries}" AND NOT in_linux EQUAL 0)
      message(SEND_ERROR "${source} includes <${header}>, which only the Linux slice may")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()
if(faults GREATER 0)
  message(FATAL_ERROR "${faults} includes across the platform's floors")
endif()

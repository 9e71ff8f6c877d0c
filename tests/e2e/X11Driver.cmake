# The driver of the built program on a private X server: processes, the
# server, its windows and a copy of the program in a folder of its own. The
# end-to-end tests and app_bench (bench/) share it, so it is built once
# whichever of the two folders asks first.
include_guard(GLOBAL)
find_package(X11 REQUIRED)
add_library(x11_driver OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/X11Process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11Server.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11Windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11Program.cpp)
strumkey_cp932(x11_driver)
target_include_directories(x11_driver PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(x11_driver PUBLIC X11::X11)

# The driver of the built program on a private X server: processes, the
# server, its windows and a copy of the program in a folder of its own, and
# the test bank it may play with its mixed output read back. The end-to-end
# tests and app_bench (bench/) share them, so they are built once whichever
# of the two folders asks first. Object libraries reach only the programs
# that link them directly: those link both.
include_guard(GLOBAL)
find_package(X11 REQUIRED)
add_library(e2e_test_bank OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/TestBank.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MixedOutput.cpp)
target_link_libraries(e2e_test_bank PUBLIC strumkey::stroke)

add_library(x11_driver OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/X11Process.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11Server.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11Windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/X11Program.cpp)
target_include_directories(x11_driver PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(x11_driver PUBLIC X11::X11 e2e_test_bank)

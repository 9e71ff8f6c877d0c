# How the program ships for Windows: `cpack` in the build folder makes
#   strumkey-<version>-windows-x64.zip  a portable copy: unpack anywhere and
#                                       run strumkey.exe; its settings stay
#                                       beside it
#   strumkey-<version>-windows-x64.exe  an installer into Program Files, with
#                                       a Start-menu entry and an uninstaller;
#                                       the settings of an installed copy live
#                                       in %APPDATA%\Strumkey
# Both hold the program, its sound bank, the libraries' DLLs and the licence
# notices of everything they ship.
install(TARGETS strumkey RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/se.csv ${CMAKE_BINARY_DIR}/se.dat ${STRUMKEY_WINDOWS_DLLS} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${STRUMKEY_BANK_NOTICE} DESTINATION licenses/strumkey)
install(DIRECTORY ${STRUMKEY_WINDOWS_LIBRARIES}/share/licenses/ DESTINATION licenses)
# Where the DLLs' sources are (SDL is under the LGPL): Debian's source
# packages, at the versions they were built from.
file(STRINGS ${STRUMKEY_WINDOWS_LIBRARIES}/build-stamp.txt sources REGEX "^(libogg|libvorbis|libsdl1.2|sdl-mixer1.2) ")
list(JOIN sources "\n" sources)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/SOURCES.txt
  "The DLLs beside strumkey.exe are built from these Debian source packages,\n"
  "with Debian's patches and nothing else changed; on Debian 12,\n"
  "apt-get source <package>=<version> fetches each:\n\n${sources}\n")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/SOURCES.txt DESTINATION licenses)

set(CPACK_GENERATOR "ZIP;NSIS64")
set(CPACK_PACKAGE_NAME Strumkey)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Strumkey developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Guitar chords strummed with the letter keys")
set(CPACK_PACKAGE_FILE_NAME strumkey-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Strumkey)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Strumkey)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The Start-menu entry: strumkey.exe, shown as "Strumkey".
set(CPACK_PACKAGE_EXECUTABLES strumkey Strumkey)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_DISPLAY_NAME Strumkey)
set(CPACK_NSIS_PACKAGE_NAME Strumkey)
set(CPACK_NSIS_INSTALLED_ICON_NAME strumkey.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The installer itself is a 64-bit program, as what it installs.
set(CPACK_NSIS_EXECUTABLE ${CMAKE_CURRENT_SOURCE_DIR}/makensis-amd64.sh)
include(CPack)

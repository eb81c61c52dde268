# Installing m7prog on Windows: the two programs in one folder with what
# they need beside them (the Qt DLLs, Qt's platform and style plugins, the
# MinGW runtime), and packages of that folder:
#   cmake --install <build-win> --prefix DIR
#   cd <build-win> && cpack       (m7prog-<version>-win64.exe, an installer
#                                  with a Start menu entry and an uninstaller,
#                                  and m7prog-<version>-win64.zip)
# Everything is in the component "m7prog", as on Linux.

set(M7_COMPONENT m7prog)

# The icon, drawn by m7icons. In a cross build it is a Windows program, run
# through the emulator (Wine: scripts/windows-run).
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(FATAL_ERROR "A cross build for Windows needs CMAKE_CROSSCOMPILING_EMULATOR "
                      "(scripts/windows-build gives scripts/windows-run) to draw the icon")
endif()
qt_add_executable(m7icons m7icons.cpp)
target_link_libraries(m7icons PRIVATE m7core)
set(M7_ICO ${CMAKE_CURRENT_BINARY_DIR}/m7prog.ico)
add_custom_command(
  OUTPUT ${M7_ICO}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=minimal
          ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:m7icons> ico ${M7_ICO}
  DEPENDS m7icons
  COMMENT "Drawing the icon file"
  VERBATIM)
add_custom_target(m7prog-ico ALL DEPENDS ${M7_ICO})
configure_file(windows/m7prog.rc.in m7prog.rc @ONLY)
foreach(program m7prog m7ctl)
  target_sources(${program} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/m7prog.rc)
  add_dependencies(${program} m7prog-ico)
endforeach()
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/m7prog.rc
  TARGET_DIRECTORY m7prog m7ctl PROPERTIES OBJECT_DEPENDS ${M7_ICO})

install(TARGETS m7prog m7ctl RUNTIME DESTINATION . COMPONENT ${M7_COMPONENT})

# Qt: the libraries, and the plugins Qt looks for beside the program.
set(qt_prefix ${QT6_INSTALL_PREFIX})
foreach(module Core Gui Widgets SerialPort)
  install(FILES ${qt_prefix}/${QT6_INSTALL_BINS}/Qt6${module}.dll DESTINATION . COMPONENT ${M7_COMPONENT})
endforeach()
install(FILES ${qt_prefix}/${QT6_INSTALL_PLUGINS}/platforms/qwindows.dll
        DESTINATION platforms COMPONENT ${M7_COMPONENT})
install(FILES ${qt_prefix}/${QT6_INSTALL_PLUGINS}/styles/qwindowsvistastyle.dll
        DESTINATION styles COMPONENT ${M7_COMPONENT})

# The MinGW runtime the programs and Qt are linked against, where the
# compiler finds it, without its debugging symbols (Debian's libstdc++-6.dll
# carries 20 MB of them).
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
  endif()
  set(stripped ${CMAKE_CURRENT_BINARY_DIR}/runtime/${dll})
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/runtime)
  execute_process(COMMAND ${CMAKE_STRIP} --strip-debug -o ${stripped} ${path} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${CMAKE_STRIP} could not strip ${path}")
  endif()
  install(FILES ${stripped} DESTINATION . COMPONENT ${M7_COMPONENT})
endforeach()

install(FILES debian/copyright DESTINATION . RENAME copyright.txt COMPONENT ${M7_COMPONENT})

set(CPACK_PACKAGE_NAME m7prog)
set(CPACK_PACKAGE_VERSION ${CMAKE_PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The m7prog developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Programmer for the GSM-M7/1 unit over a serial cable")
set(CPACK_PACKAGE_FILE_NAME m7prog-${CMAKE_PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY m7prog)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${CMAKE_PROJECT_NAME};${M7_COMPONENT};/")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR NSIS ZIP)
# The Start menu entry.
set(CPACK_PACKAGE_EXECUTABLES m7prog m7prog)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
# A 64-bit installer: the default 32-bit one does not run where Windows
# has no 32-bit layer (a 64-bit-only Wine among them).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME m7prog)
set(CPACK_NSIS_PACKAGE_NAME "m7prog ${CMAKE_PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${M7_ICO})
set(CPACK_NSIS_MUI_UNIICON ${M7_ICO})
set(CPACK_NSIS_INSTALLED_ICON_NAME m7prog.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
include(CPack)

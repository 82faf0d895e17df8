# The Windows edition, cross-built with the `windows` preset (scripts/windows):
# duve.exe with its icon, the tests that need no port (run under Wine), and a
# zip and an installer that carry the Qt and compiler DLLs it needs.

set_target_properties(duve PROPERTIES WIN32_EXECUTABLE ON)

# The icon is drawn from the one SVG at the sizes Windows shows; 256 is kept
# as PNG inside the .ico, as Windows expects.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)
set(icon_dir ${CMAKE_BINARY_DIR}/icon)
set(icon_args)
set(icon_pngs)
foreach(size 16 24 32 48 64 256)
  set(png ${icon_dir}/duve-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CMAKE_SOURCE_DIR}/packaging/duve.svg
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/duve.svg
    VERBATIM)
  list(APPEND icon_pngs ${png})
  if(size EQUAL 256)
    list(APPEND icon_args -r ${png})
  else()
    list(APPEND icon_args ${png})
  endif()
endforeach()
set(DUVE_ICO ${icon_dir}/duve.ico)
add_custom_command(OUTPUT ${DUVE_ICO}
  COMMAND ${ICOTOOL} -c -o ${DUVE_ICO} ${icon_args}
  DEPENDS ${icon_pngs}
  VERBATIM)
add_custom_target(duve_icon DEPENDS ${DUVE_ICO})

configure_file(packaging/windows/duve.rc.in duve.rc @ONLY)
target_sources(duve PRIVATE ${CMAKE_BINARY_DIR}/duve.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/duve.rc PROPERTIES OBJECT_DEPENDS ${DUVE_ICO})
add_dependencies(duve duve_icon)

# The installed tree: the program beside its DLLs, Qt's plugins in their
# folders, the licence. The DLLs are named: CMake's search for a program's
# DLLs expects Windows' case-blind file names and fails on Linux.
install(TARGETS duve RUNTIME DESTINATION .)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
# The operator's guide, for Notepad: CR LF line ends, lines short enough without word wrap.
configure_file(packaging/windows/guide.txt guide.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/guide.txt DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
        DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
set(runtime_dlls)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "The compiler's ${dll} was not found")
  endif()
  list(APPEND runtime_dlls ${path})
endforeach()
install(FILES ${runtime_dlls} DESTINATION .)
# Qt's release build and the compiler's runtime come with their symbols, which
# the installed copy does not need (CPack strips only the program itself).
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
    execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded \${dlls} COMMAND_ERROR_IS_FATAL ANY)
  endif()")

# dist/duve-<version>-windows-x64.zip and dist/duve-<version>-setup.exe, a
# 64-bit installer (the default NSIS stub is 32-bit) with a Start-menu folder
# "Duve" (the program and the guide), an uninstaller and the licence. The
# version is Add/Remove Programs' to show, not the folder's or the entry's name.
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME Duve)
set(CPACK_PACKAGE_VENDOR "Duve developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test tool for a Modbus RTU I/O module on a serial port")
set(CPACK_PACKAGE_FILE_NAME duve-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Duve)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Duve)
set(CPACK_PACKAGE_EXECUTABLES duve Duve)
set(CPACK_NSIS_MENU_LINKS guide.txt "Duve guide")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_DEFINES "Target amd64-unicode\n  !include FileFunc.nsh")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_DISPLAY_NAME Duve)
set(CPACK_NSIS_PACKAGE_NAME Duve)
set(CPACK_NSIS_MUI_ICON ${DUVE_ICO})
set(CPACK_NSIS_MUI_UNIICON ${DUVE_ICO})
set(CPACK_NSIS_INSTALLED_ICON_NAME duve.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The size Add/Remove Programs shows, in KiB; CPack does not enter it.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "\${GetSize} \"$INSTDIR\" \"/S=0K\" $0 $1 $2
  WriteRegDWORD SHCTX \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Duve\" \"EstimatedSize\" $0")
configure_file(packaging/windows/cpack.cmake.in cpack-windows.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/cpack-windows.cmake)
include(CPack)

# The tests that need no port, under Wine (the preset's emulator). Wine does
# not pass a console program's output through ctest's pipe, so each test
# writes its report to testlog/<name>.txt, whose last line scripts/windows
# shows; and it keeps QT_* variables from Windows programs, so the platform
# is chosen on the command line. Wine needs a display even so (DISPLAY).
if(BUILD_TESTING)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
  add_library(duve_test_frames STATIC tests/support/frames.h tests/support/frames.cpp)
  target_link_libraries(duve_test_frames PUBLIC duve_window Qt6::Test)
  # Wine finds a program's DLLs beside it.
  add_custom_target(duve_test_dlls
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${runtime_dlls} $<TARGET_FILE:Qt6::Core>
            $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> $<TARGET_FILE:Qt6::Test>
            ${CMAKE_BINARY_DIR}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin> ${CMAKE_BINARY_DIR}/platforms
    VERBATIM)
  foreach(file serial/tst_settings.cpp serial/tst_portline_win.cpp serial/tst_portcheck_win.cpp
               modbus/tst_checksum.cpp modbus/tst_logline.cpp
               measure/tst_answer.cpp config/tst_values.cpp)
    get_filename_component(name ${file} NAME_WE)
    get_filename_component(folder ${file} DIRECTORY)
    add_executable(${name} tests/${file})
    target_link_libraries(${name} PRIVATE duve_test_frames)
    add_dependencies(${name} duve_test_dlls)
    add_test(NAME ${name}
             COMMAND ${name} -platform offscreen -o ${CMAKE_BINARY_DIR}/testlog/${name}.txt,txt)
    set_tests_properties(${name} PROPERTIES LABELS ${folder})
  endforeach()
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/testlog)
endif()

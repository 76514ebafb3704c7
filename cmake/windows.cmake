# The Windows program: the pure logic, the Win32 seams and the window.
# Static runtime, Unicode entry point, GUI subsystem: the exe needs nothing
# beyond the Windows system DLLs.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

set(NORQ_ART_DIR ${CMAKE_BINARY_DIR}/art)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(
  OUTPUT ${NORQ_ART_DIR}/norq.ico ${NORQ_ART_DIR}/logo.bmp
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/res/make_art.py ${NORQ_ART_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/res/make_art.py
  COMMENT "Drawing the icon and the logo")
add_custom_target(norq_art DEPENDS ${NORQ_ART_DIR}/norq.ico ${NORQ_ART_DIR}/logo.bmp)

add_library(norq_win32 STATIC
  src/platform/win32/Ansi.cpp
  src/platform/win32/Answering.cpp
  src/platform/win32/SupportLog.cpp
  src/platform/win32/WinError.cpp
  src/platform/win32/WinSystem.cpp
  src/platform/win32/WinInetTransfer.cpp
)
target_link_libraries(norq_win32 PUBLIC norq_core wininet)
target_compile_definitions(norq_win32 PRIVATE NORQ_NET_TIMEOUT_MS=${NORQ_NET_TIMEOUT_MS})

add_executable(norq_installer WIN32
  src/ui/win32/main.cpp
  src/ui/win32/MainWindow.cpp
  src/ui/win32/ControlWindows.cpp
  res/norq_installer.rc
)
add_dependencies(norq_installer norq_art)
set_source_files_properties(res/norq_installer.rc PROPERTIES
  OBJECT_DEPENDS "${NORQ_ART_DIR}/norq.ico;${NORQ_ART_DIR}/logo.bmp;${CMAKE_SOURCE_DIR}/res/norq_installer.manifest")
target_include_directories(norq_installer PRIVATE ${NORQ_ART_DIR} ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(norq_installer PRIVATE norq_win32 wininet shell32 user32 gdi32 kernel32 ole32 comctl32)
if(NOT MSVC)
  target_link_options(norq_installer PRIVATE -municode -static -static-libgcc -static-libstdc++)
  if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    target_link_options(norq_installer PRIVATE -s)
  endif()
endif()

include(${CMAKE_SOURCE_DIR}/tests/probe/CMakeLists.txt)
include(${CMAKE_SOURCE_DIR}/tests/fixtures/CMakeLists.txt)

# scripts/bench.py's measure of WinINet alone under Wine.
add_executable(norq_wininet_fetch tools/bench/wininet_fetch.cpp)
target_link_libraries(norq_wininet_fetch PRIVATE wininet kernel32)
if(NOT MSVC)
  target_link_options(norq_wininet_fetch PRIVATE -municode -static -static-libgcc -static-libstdc++)
endif()

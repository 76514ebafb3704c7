# The Windows program: the pure logic, the Win32 seams and the window.
# Static runtime, Unicode entry point, GUI subsystem: the exe needs nothing
# beyond the Windows system DLLs.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

# The same source gives the same bytes wherever and whenever it is built: no
# build folder in the code (__FILE__, debug info) and no link time in the PE
# header, so anyone can rebuild a published exe and compare.
if(NOT MSVC)
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
  add_link_options(-Wl,--no-insert-timestamp)
endif()

# The resource compiler's share of the one version set by project().
set(NORQ_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/res/norq_version.h.in ${NORQ_GENERATED_DIR}/norq_version.h @ONLY)

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
  src/platform/win32/Window.cpp
  src/platform/win32/WinSystem.cpp
  src/platform/win32/WinInetTransfer.cpp
  src/platform/win32/TransferWindow.cpp
  src/platform/win32/InetRequest.cpp
  src/platform/win32/InetConnection.cpp
  src/platform/win32/InetWorker.cpp
  src/platform/win32/InetBody.cpp
  src/platform/win32/Landing.cpp
  src/platform/win32/WriteAll.cpp
  src/platform/win32/BodySink.cpp
  src/platform/win32/SystemLibrary.cpp
  src/platform/win32/Cng.cpp
)
# No import of wininet or bcrypt: both are loaded from the system folder at run time.
target_link_libraries(norq_win32 PUBLIC norq_core)
# The support log's folder: its security (advapi32, a known DLL).
target_link_libraries(norq_win32 PRIVATE advapi32)
target_compile_definitions(norq_win32 PRIVATE NORQ_NET_TIMEOUT_MS=${NORQ_NET_TIMEOUT_MS}
  NORQ_RETRY_PAUSE_MS=${NORQ_RETRY_PAUSE_MS}
  NORQ_TEST_SETUP_HOLD_MS=${NORQ_TEST_SETUP_HOLD_MS})

set_source_files_properties(res/norq_installer.rc PROPERTIES
  OBJECT_DEPENDS "${NORQ_ART_DIR}/norq.ico;${NORQ_ART_DIR}/logo.bmp;${CMAKE_SOURCE_DIR}/res/norq_installer.manifest")

# What every installer program shares, compiled once; each program adds only
# src/trust/BuiltInKey.cpp, which holds what it trusts.
add_library(norq_installer_objects OBJECT
  src/ui/win32/main.cpp
  src/ui/win32/MainWindow.cpp
  src/ui/win32/ControlWindows.cpp
)
target_include_directories(norq_installer_objects PRIVATE ${NORQ_ART_DIR} ${NORQ_GENERATED_DIR} ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(norq_installer_objects PRIVATE norq_window norq_win32)

# One installer program; `key_pem` is the index key compiled in, or empty, and
# `min_serial` the lowest index serial it accepts.
function(norq_add_installer target key_pem min_serial)
  add_executable(${target} WIN32
    $<TARGET_OBJECTS:norq_installer_objects>
    src/trust/BuiltInKey.cpp
    res/norq_installer.rc
  )
  add_dependencies(${target} norq_art)
  target_compile_definitions(${target} PRIVATE NORQ_MIN_INDEX_SERIAL=${min_serial}ull)
  if(NOT key_pem STREQUAL "")
    target_compile_definitions(${target} PRIVATE "NORQ_INDEX_KEY_PEM=\"${key_pem}\"")
  endif()
  target_include_directories(${target} PRIVATE ${NORQ_ART_DIR} ${NORQ_GENERATED_DIR} ${CMAKE_SOURCE_DIR}/res)
  target_link_libraries(${target} PRIVATE norq_window norq_win32 shell32 user32 gdi32 kernel32 ole32 comctl32)
  if(NOT MSVC)
    # Windows Vista or later, which its imports already need.
    target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++
      -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,0
      -Wl,--major-os-version,6 -Wl,--minor-os-version,0)
    if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
      target_link_options(${target} PRIVATE -s)
    endif()
  endif()
endfunction()

norq_add_installer(norq_installer "${NORQ_INDEX_KEY_PEM}" ${NORQ_MIN_INDEX_SERIAL})

# The tests' own vendor: a key pair made once per build folder (never
# committed), and the installers that trust it: one with the build's minimum
# serial, and one whose minimum is one higher, which refuses a tree replayed
# from before the latest publication.
if(NORQ_TEST_INDEX_KEY)
  set(NORQ_TEST_KEY_DIR ${CMAKE_BINARY_DIR}/test-key)
  if(NOT EXISTS ${NORQ_TEST_KEY_DIR}/public.pem)
    find_program(NORQ_OPENSSL openssl REQUIRED)
    file(MAKE_DIRECTORY ${NORQ_TEST_KEY_DIR})
    execute_process(COMMAND ${NORQ_OPENSSL} ecparam -name prime256v1 -genkey -noout -out ${NORQ_TEST_KEY_DIR}/private.pem
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${NORQ_OPENSSL} ec -in ${NORQ_TEST_KEY_DIR}/private.pem -pubout -out ${NORQ_TEST_KEY_DIR}/public.pem
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  norq_read_index_key(${NORQ_TEST_KEY_DIR}/public.pem NORQ_TEST_KEY_PEM)
  norq_add_installer(norq_installer_keyed "${NORQ_TEST_KEY_PEM}" ${NORQ_MIN_INDEX_SERIAL})
  math(EXPR norq_next_serial "${NORQ_MIN_INDEX_SERIAL} + 1")
  norq_add_installer(norq_installer_keyed_next "${NORQ_TEST_KEY_PEM}" ${norq_next_serial})
endif()

# What a vendor publishes beside the exe and anyone can check a download
# against: version, pointer hosts, index key and the exe's hash.
if(NORQ_INDEX_KEY)
  get_filename_component(NORQ_INDEX_KEY_FILE "${NORQ_INDEX_KEY}" ABSOLUTE)
endif()
add_custom_command(TARGET norq_installer POST_BUILD
  COMMAND ${CMAKE_COMMAND}
    -DEXE=$<TARGET_FILE:norq_installer>
    -DOUT=$<TARGET_FILE_DIR:norq_installer>/norq_installer.release.txt
    -DVERSION=${PROJECT_VERSION}
    -DPRIMARY=${NORQ_PRIMARY_HOST}
    -DSECONDARY=${NORQ_SECONDARY_HOST}
    -DKEY=${NORQ_INDEX_KEY_FILE}
    -DPRODUCT=${NORQ_PRODUCT_NAME}
    -DMIN_SERIAL=${NORQ_MIN_INDEX_SERIAL}
    -P ${CMAKE_SOURCE_DIR}/cmake/release_notes.cmake
  VERBATIM)

include(${CMAKE_SOURCE_DIR}/tests/probe/CMakeLists.txt)
include(${CMAKE_SOURCE_DIR}/tests/fixtures/CMakeLists.txt)

# scripts/bench.py's floors under Wine: WinINet alone, and the system's SHA-256
# alone (the floor under a checked download).
function(norq_add_bench_tool target source)
  add_executable(${target} ${source})
  target_link_libraries(${target} PRIVATE ${ARGN} kernel32)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  if(NOT MSVC)
    target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++)
  endif()
endfunction()
norq_add_bench_tool(norq_wininet_fetch tools/bench/wininet_fetch.cpp wininet)
norq_add_bench_tool(norq_cng_sha256 tools/bench/cng_sha256.cpp bcrypt)

# Windows half: KAVREL.EXE with its resources, and the system-test program that drives it.
#   KAVREL_PRODUCT_ONLY  build the shipped programs alone (the win32-thread-model build)
#   KAVREL_OUTPUT_DIR    where they go (the test build's folder, where the tests look for them)
#   KAVREL_PRODUCT_DIR   the test build: the shipped programs were built there already
enable_language(RC)
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static")
option(KAVREL_PRODUCT_ONLY "Build KAVREL.EXE and KVREQ.EXE alone" OFF)
set(KAVREL_OUTPUT_DIR "" CACHE PATH "Folder for KAVREL.EXE and KVREQ.EXE")
set(KAVREL_PRODUCT_DIR "" CACHE PATH "Folder where KAVREL.EXE and KVREQ.EXE were built")

set(GENERATED_RES ${CMAKE_BINARY_DIR}/res)
add_custom_command(
  OUTPUT ${GENERATED_RES}/kavrel.ico ${GENERATED_RES}/wave1.wav
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/make_resources.py ${GENERATED_RES}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_resources.py
  COMMENT "Drawing the icon and synthesising the capture sound")
# windres reports no dependencies: the files the scripts name are given here (the version
# header too, which the program's script includes).
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/kavrel.rc PROPERTIES
  OBJECT_DEPENDS "${GENERATED_RES}/kavrel.ico;${GENERATED_RES}/wave1.wav;${CMAKE_SOURCE_DIR}/res/kavrel.manifest;${CMAKE_SOURCE_DIR}/res/resource.h")
set_source_files_properties(${CMAKE_SOURCE_DIR}/tools/kvreq/kvreq.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/kavrel.manifest")

# The Win32 modules as a library, so the module tests and benchmarks can call them directly.
# They are written against the interface of Windows NT 4.0 and Windows 95, so structures keep
# the sizes those systems accept and a call they lack does not compile. Test programs that link
# them may use anything.
set(OLD_WINDOWS_LEVEL WINVER=0x0400 _WIN32_WINNT=0x0400 _WIN32_IE=0x0200)
set(RUNTIME_SOURCE ${CMAKE_SOURCE_DIR}/base/runtime_win.cpp)
set(WINMAIN_START_SOURCE ${CMAKE_SOURCE_DIR}/base/start_winmain_win.cpp)
set(MAIN_START_SOURCE ${CMAKE_SOURCE_DIR}/base/start_main_win.cpp)
list(REMOVE_ITEM WIN32_SOURCES ${RUNTIME_SOURCE} ${WINMAIN_START_SOURCE} ${MAIN_START_SOURCE})
add_library(kavrel_win STATIC ${WIN32_SOURCES})
target_compile_definitions(kavrel_win PRIVATE ${OLD_WINDOWS_LEVEL})
target_link_libraries(kavrel_win PUBLIC kavrel_core winspool comdlg32 shell32 winmm gdi32 user32)

# The shipped programs and the libraries in them are compiled for the i486, the oldest processor
# NT 4.0 runs on. The compiler's prebuilt runtime (C start-up, C++ library and unwinder, the
# formatter) is built for the Pentium Pro, so they link none of it and start through
# base/runtime_win.cpp over crtdll.dll, the C runtime every 32-bit Windows has (msvcrt.dll is
# missing on the first Windows 95 and on NT 3.51). scripts/check-imports.py checks the little
# that is still linked from prebuilt libraries, instruction by instruction.
set(SHIPPED_CODE_OPTIONS -march=i486 -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)

# The shipped programs: small, stripped, marked for Windows 4.0, which every system from
# Windows NT 3.51 and Windows 95 on accepts (NT 3.1 refuses it). A link map beside each names
# the functions for the instruction check. The header's time stamp is zero, so one commit
# always gives the same bytes (the header checksum follows from them); no system these
# programs are for reads that stamp.
function(shipped_program target)
  target_sources(${target} PRIVATE ${RUNTIME_SOURCE})
  target_compile_definitions(${target} PRIVATE ${OLD_WINDOWS_LEVEL})
  target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections
                         ${SHIPPED_CODE_OPTIONS})
  target_link_options(${target} PRIVATE -nostartfiles -nodefaultlibs -s -Wl,--gc-sections
                      -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc
                      -Wl,-Map,$<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.map
                      -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
                      -Wl,--major-os-version,4 -Wl,--minor-os-version,0
                      -Wl,--no-insert-timestamp)
  # After the program's own libraries, which need them.
  target_link_libraries(${target} PRIVATE kavrel_core mingwex crtdll gcc kernel32)
  if(KAVREL_OUTPUT_DIR)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KAVREL_OUTPUT_DIR})
  endif()
endfunction()

if(NOT KAVREL_PRODUCT_DIR)

target_compile_options(kavrel_core PRIVATE ${SHIPPED_CODE_OPTIONS})
target_compile_options(kavrel_win PRIVATE ${SHIPPED_CODE_OPTIONS})

add_executable(kavrel WIN32 ${CMAKE_SOURCE_DIR}/res/kavrel.rc ${WINMAIN_START_SOURCE})
set_target_properties(kavrel PROPERTIES OUTPUT_NAME KAVREL SUFFIX ".EXE" LINKER_LANGUAGE CXX)
target_include_directories(kavrel PRIVATE ${CMAKE_SOURCE_DIR} ${GENERATED_RES})
target_link_libraries(kavrel PRIVATE kavrel_win)
shipped_program(kavrel)

# KVREQ.EXE: a console client that asks a running KAVREL for copies; not part of KAVREL.EXE.
add_executable(kvreq ${CMAKE_SOURCE_DIR}/tools/kvreq/kvreq_win.cpp
               ${MAIN_START_SOURCE}
               ${CMAKE_SOURCE_DIR}/tools/kvreq/kvreq.rc)
set_target_properties(kvreq PROPERTIES OUTPUT_NAME KVREQ SUFFIX ".EXE")
target_include_directories(kvreq PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(kvreq PRIVATE kavrel_core user32)
shipped_program(kvreq)
add_custom_target(shipped_programs DEPENDS kavrel kvreq)
else()
add_custom_target(shipped_programs)
endif()
if(KAVREL_PRODUCT_ONLY)
  return()
endif()

# The system tests need GoogleTest's sources; a build without them makes the program alone.
set(KAVREL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the system tests")
if(NOT EXISTS ${KAVREL_GTEST_SOURCE}/CMakeLists.txt)
  message(STATUS "No GoogleTest sources at ${KAVREL_GTEST_SOURCE}: building KAVREL.EXE only")
  return()
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KAVREL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Test programs are built for compile time, not speed: most of their run is waiting on the
# program under test.
set(TEST_CODE_OPTIONS -O0)
target_compile_options(gtest PRIVATE ${TEST_CODE_OPTIONS})
target_compile_options(gtest_main PRIVATE ${TEST_CODE_OPTIONS})

file(GLOB SYSTEM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/system/*.cpp)
add_executable(system_tests ${SYSTEM_TEST_SOURCES})
target_include_directories(system_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(system_tests PRIVATE kavrel_core gtest gtest_main comdlg32 winspool gdi32
                      user32)
target_compile_options(system_tests PRIVATE ${TEST_CODE_OPTIONS})
add_dependencies(system_tests shipped_programs)

# A stand-in for the mail sender SendKDUX.EXE (not part of the system) that the system tests
# put beside the settings file; it records how it was started and the notification after it.
add_executable(sendkdux_standin WIN32 ${CMAKE_SOURCE_DIR}/tests/standin/sendkdux_win.cpp)
set_target_properties(sendkdux_standin PROPERTIES OUTPUT_NAME SendKDUX SUFFIX ".EXE"
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/standin)
target_include_directories(sendkdux_standin PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(sendkdux_standin PRIVATE user32)
add_dependencies(system_tests sendkdux_standin)

# Module tests: the Win32 modules called directly, with a window of the test's own.
file(GLOB MODULE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/module/*.cpp)
if(MODULE_TEST_SOURCES)
  add_executable(module_tests ${MODULE_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/tests/system/harness_win.cpp)
  target_include_directories(module_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(module_tests PRIVATE kavrel_win gtest gtest_main)
  target_compile_options(module_tests PRIVATE ${TEST_CODE_OPTIONS})
endif()

# Benchmarks: programs that print figures, not pass/fail tests (scripts/bench.sh runs them).
# They drive the program with the system tests' harness.
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/bench/*_win.cpp)
foreach(src ${BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/tests/system/harness_win.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE kavrel_win psapi)
  add_dependencies(${name} shipped_programs)
endforeach()

# Pictures of the dialogs for the README (scripts/pictures.sh), driven like the system tests.
add_executable(dialog_pictures_win ${CMAKE_SOURCE_DIR}/tools/pictures/dialog_pictures_win.cpp
               ${CMAKE_SOURCE_DIR}/tests/system/harness_win.cpp
               ${CMAKE_SOURCE_DIR}/tests/system/dialogs_win.cpp)
target_include_directories(dialog_pictures_win PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(dialog_pictures_win PRIVATE kavrel_core comdlg32 winspool gdi32 user32)
add_dependencies(dialog_pictures_win shipped_programs)

# Windows half: KAVREL.EXE with its resources, and the system-test program that drives it.
enable_language(RC)
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static")

set(GENERATED_RES ${CMAKE_BINARY_DIR}/res)
add_custom_command(
  OUTPUT ${GENERATED_RES}/kavrel.ico ${GENERATED_RES}/wave1.wav
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/make_resources.py ${GENERATED_RES}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_resources.py
  COMMENT "Drawing the icon and synthesising the capture sound")
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/kavrel.rc PROPERTIES
  OBJECT_DEPENDS "${GENERATED_RES}/kavrel.ico;${GENERATED_RES}/wave1.wav")

# The Win32 modules as a library, so the module tests and benchmarks can call them directly.
add_library(kavrel_win STATIC ${WIN32_SOURCES})
target_link_libraries(kavrel_win PUBLIC kavrel_core winspool comdlg32 shell32 winmm gdi32 user32)

add_executable(kavrel WIN32 ${CMAKE_SOURCE_DIR}/res/kavrel.rc)
set_target_properties(kavrel PROPERTIES OUTPUT_NAME KAVREL SUFFIX ".EXE" LINKER_LANGUAGE CXX)
target_include_directories(kavrel PRIVATE ${CMAKE_SOURCE_DIR} ${GENERATED_RES})
# WinMain lives in the library; pull it in by name.
target_link_options(kavrel PRIVATE -Wl,--undefined=_WinMain@16)
target_link_libraries(kavrel PRIVATE kavrel_win)

# KVREQ.EXE: a console client that asks a running KAVREL for copies; not part of KAVREL.EXE.
add_executable(kvreq ${CMAKE_SOURCE_DIR}/tools/kvreq/kvreq_win.cpp)
set_target_properties(kvreq PROPERTIES OUTPUT_NAME KVREQ SUFFIX ".EXE")
target_link_libraries(kvreq PRIVATE kavrel_core user32)

# The system tests need GoogleTest's sources; a build without them makes the program alone.
set(KAVREL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the system tests")
if(NOT EXISTS ${KAVREL_GTEST_SOURCE}/CMakeLists.txt)
  message(STATUS "No GoogleTest sources at ${KAVREL_GTEST_SOURCE}: building KAVREL.EXE only")
  return()
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KAVREL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB SYSTEM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/system/*.cpp)
add_executable(system_tests ${SYSTEM_TEST_SOURCES})
target_include_directories(system_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(system_tests PRIVATE kavrel_core gtest gtest_main comdlg32 winspool gdi32
                      user32)
add_dependencies(system_tests kavrel)
add_dependencies(system_tests kvreq)

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
endif()

# Benchmarks: programs that print figures, not pass/fail tests (scripts/bench.sh runs them).
# They drive the program with the system tests' harness.
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/bench/*_win.cpp)
foreach(src ${BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/tests/system/harness_win.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE kavrel_win psapi)
  add_dependencies(${name} kavrel)
endforeach()

# Pictures of the dialogs for the README (scripts/pictures.sh), driven like the system tests.
add_executable(dialog_pictures_win ${CMAKE_SOURCE_DIR}/tools/pictures/dialog_pictures_win.cpp
               ${CMAKE_SOURCE_DIR}/tests/system/harness_win.cpp
               ${CMAKE_SOURCE_DIR}/tests/system/dialogs_win.cpp)
target_include_directories(dialog_pictures_win PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(dialog_pictures_win PRIVATE kavrel_core comdlg32 winspool gdi32 user32)
add_dependencies(dialog_pictures_win kavrel)

# Native half: unit tests of the portable library, the settings fuzzer (with clang), and the
# cross build of the Windows half, whose system tests ctest runs under Wine.
include(CTest)
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE kavrel_core GTest::gtest_main)
# Built for compile time: the unit tests take well under a second at any optimisation.
target_compile_options(unit_tests PRIVATE -O0)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 30)

if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # The library under test is instrumented too, so the fuzzer sees its branches.
  add_library(kavrel_core_fuzz STATIC ${PORTABLE_SOURCES})
  target_include_directories(kavrel_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(kavrel_core_fuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  foreach(src ${FUZZ_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE kavrel_core_fuzz)
  endforeach()
endif()

option(KAVREL_WIN32 "Cross-build KAVREL.EXE and its system tests, and run them under Wine" ON)
if(KAVREL_WIN32)
  include(ExternalProject)
  set(WIN32_BUILD_DIR ${CMAKE_BINARY_DIR}/win32)
  # KAVREL.EXE and KVREQ.EXE as shipped (win32 thread model, for size), into the folder of the
  # test programs (POSIX thread model, for GoogleTest), which is where the tests look for them.
  ExternalProject_Add(kavrel_product
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/product
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686-win32.cmake
               -DCMAKE_BUILD_TYPE=MinSizeRel
               "-DCMAKE_CXX_FLAGS_MINSIZEREL=-Os -DNDEBUG -ffunction-sections -fdata-sections"
               -DKAVREL_PRODUCT_ONLY=ON -DKAVREL_OUTPUT_DIR=${WIN32_BUILD_DIR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  ExternalProject_Add(kavrel_win32
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${WIN32_BUILD_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
               -DKAVREL_PRODUCT_DIR=${WIN32_BUILD_DIR}
    DEPENDS kavrel_product
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  # The shipped programs import nothing the oldest systems they are for lack, and their sources
  # use none of the names those systems do not know.
  set(SHIPPED_SOURCE_DIRS)
  foreach(dir ${SUBSYSTEMS} tools/kvreq)
    list(APPEND SHIPPED_SOURCE_DIRS ${CMAKE_SOURCE_DIR}/${dir})
  endforeach()
  add_test(NAME import_check
    COMMAND python3 ${CMAKE_SOURCE_DIR}/scripts/check-imports.py
            ${CMAKE_SOURCE_DIR}/tools/imports/allowed.txt
            ${WIN32_BUILD_DIR}/KAVREL.EXE ${WIN32_BUILD_DIR}/KVREQ.EXE
            --sources ${SHIPPED_SOURCE_DIRS})
  # The release archive (tests/check_release.py): release_archive packs it twice from the
  # programs the system tests run and looks into it (a second); release_rebuild makes it with
  # scripts/release.sh, the shipped programs built clean in a folder of their own, and wants
  # the same bytes (about a minute).
  add_test(NAME release_archive
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/check_release.py pack ${CMAKE_SOURCE_DIR}
            ${WIN32_BUILD_DIR} ${CMAKE_BINARY_DIR}/release-check/pack)
  add_test(NAME release_rebuild
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/check_release.py rebuild ${CMAKE_SOURCE_DIR}
            ${WIN32_BUILD_DIR} ${CMAKE_BINARY_DIR}/release-check/rebuild)
  set_tests_properties(release_rebuild PROPERTIES TIMEOUT 900 COST 60)
  # Each entry is a Wine session of its own (own prefix, display, printer and PDF folder), so
  # they run side by side under ctest -j. The default session's long tests (the minute timer,
  # the soak, the leak loops) are entries of their own, so that no entry holds up the rest; in
  # the extra sessions they skip themselves, saying so. Costs are the entries' usual seconds
  # natively, so that the longest start first. Timeouts leave room for a machine that runs the
  # 32-bit side under emulation.
  set(LONG_SYSTEM_TESTS "AutoOutput.*:Soak.*")
  set(LONG_MODULE_TESTS "Leaks.*:LeakCounts.*")
  add_test(NAME system_tests
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh --test
            ${WIN32_BUILD_DIR}/system_tests.exe --gtest_filter=-${LONG_SYSTEM_TESTS})
  add_test(NAME system_tests_long
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh --test
            ${WIN32_BUILD_DIR}/system_tests.exe --gtest_filter=${LONG_SYSTEM_TESTS})
  add_test(NAME module_tests
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh --shell
            ${CMAKE_SOURCE_DIR}/scripts/module-tests.sh ${WIN32_BUILD_DIR}
            --gtest_filter=-${LONG_MODULE_TESTS})
  add_test(NAME module_tests_leaks
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh --shell
            ${CMAKE_SOURCE_DIR}/scripts/module-tests.sh ${WIN32_BUILD_DIR}
            --gtest_filter=${LONG_MODULE_TESTS})
  set_tests_properties(system_tests PROPERTIES TIMEOUT 1200 COST 120)
  set_tests_properties(system_tests_long PROPERTIES TIMEOUT 600 COST 105)
  set_tests_properties(module_tests PROPERTIES TIMEOUT 600 COST 75)
  set_tests_properties(module_tests_leaks PROPERTIES TIMEOUT 600 COST 100)
  # The colour pass on a 16-bit display (High Color): the bulk pass against the pixel-by-pixel
  # method, and that it runs.
  add_test(NAME module_tests_depth16
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh --shell
            ${CMAKE_SOURCE_DIR}/scripts/module-tests.sh ${WIN32_BUILD_DIR}
            --gtest_filter=Capture.BulkPass*:Capture.ShortWrite*:AdjustPath.*)
  set_tests_properties(module_tests_depth16 PROPERTIES TIMEOUT 300 COST 15
                       ENVIRONMENT KAVREL_SCREEN_DEPTH=16)
  # The same tests again on the Windows 95 family and on NT 4.0, as Wine reports them.
  foreach(version win98 nt40)
    add_test(NAME system_tests_${version}
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh --version ${version} --test
              ${WIN32_BUILD_DIR}/system_tests.exe)
    add_test(NAME module_tests_${version}
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh --version ${version} --shell
              ${CMAKE_SOURCE_DIR}/scripts/module-tests.sh ${WIN32_BUILD_DIR})
    set_tests_properties(system_tests_${version} module_tests_${version} PROPERTIES
                         TIMEOUT 1200 ENVIRONMENT KAVREL_EXTRA_SESSION=1)
  endforeach()
  # A few system tests on a scaled display (Wine's LogPixels): the status line whole, a copy of
  # the screen at its size, the area selection.
  set(SCALED_SYSTEM_TESTS "StatusLine.IsWholeAtTheDisplaysScale:Copy.PrintScreenWritesTheScreenAsABmpFile:AreaSelection.*")
  foreach(dpi 144 192)
    add_test(NAME system_tests_dpi${dpi}
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh --test
              ${WIN32_BUILD_DIR}/system_tests.exe --gtest_filter=${SCALED_SYSTEM_TESTS})
    set_tests_properties(system_tests_dpi${dpi} PROPERTIES TIMEOUT 600 COST 30
                         ENVIRONMENT "KAVREL_DPI=${dpi};KAVREL_EXTRA_SESSION=1")
  endforeach()
  # NT 3.51 as Wine reports it: the dialogs, where the program itself answers F1 (the system
  # has no help key there), and the version the session reports.
  add_test(NAME system_tests_nt351
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh --version nt351 --test
            ${WIN32_BUILD_DIR}/system_tests.exe
            --gtest_filter=Session.*:BasicSettings.*:HintPopup.*:HotkeySetup.*:PrinterSetupDialog.*:LinkedAppDialog.*:UsageBox.*)
  set_tests_properties(system_tests_nt351 PROPERTIES TIMEOUT 600 COST 40
                       ENVIRONMENT KAVREL_EXTRA_SESSION=1)
  set_tests_properties(system_tests_win98 PROPERTIES COST 95)
  set_tests_properties(system_tests_nt40 PROPERTIES COST 118)
  set_tests_properties(module_tests_win98 PROPERTIES COST 47)
  set_tests_properties(module_tests_nt40 PROPERTIES COST 70)
endif()

# Build conventions for Tessora. Sources are found by globbing, so adding a .cpp file to one of
# the folders named in CMakeLists.txt needs no CMake edit; CONFIGURE_DEPENDS re-runs the glob on
# every build.

function(tessora_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(TESSORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

function(tessora_glob_sources out_var)
  set(sources "")
  foreach(folder IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS
      "${PROJECT_SOURCE_DIR}/${folder}/*.cpp"
      "${PROJECT_SOURCE_DIR}/${folder}/*.rc")
    list(APPEND sources ${found})
  endforeach()
  if(NOT WIN32)
    list(FILTER sources EXCLUDE REGEX "\\.rc$")
  endif()
  list(SORT sources)
  set(${out_var} "${sources}" PARENT_SCOPE)
endfunction()

# tessora_add_library(<name> FOLDERS <dir>... [WIN32_FOLDERS <dir>...] [POSIX_FOLDERS <dir>...]
#                     [LINKS <target>...] [WIN32_LIBS <lib>...])
# A static library from the *.cpp files of the folders (non-recursive). With no sources yet it is
# an INTERFACE library carrying the same include root and links, so dependants still build.
function(tessora_add_library name)
  cmake_parse_arguments(ARG "" "" "FOLDERS;WIN32_FOLDERS;POSIX_FOLDERS;LINKS;WIN32_LIBS" ${ARGN})
  set(folders ${ARG_FOLDERS})
  set(links ${ARG_LINKS})
  if(WIN32)
    list(APPEND folders ${ARG_WIN32_FOLDERS})
    list(APPEND links ${ARG_WIN32_LIBS})
  else()
    list(APPEND folders ${ARG_POSIX_FOLDERS})
  endif()
  tessora_glob_sources(sources ${folders})

  if(sources)
    add_library(${name} STATIC ${sources})
    set(scope PUBLIC)
    tessora_set_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${name} ${scope} "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} ${scope} ${links})
  set_property(GLOBAL APPEND PROPERTY TESSORA_LIBRARIES ${name})
endfunction()

# tessora_add_program(<name> FOLDERS <dir>... [LINKS <target>...] [GUI])
# An executable from the *.cpp (and, on Windows, *.rc) files of the folders; skipped while the
# folders hold no .cpp. GUI makes a Windows subsystem program (WinMain).
function(tessora_add_program name)
  cmake_parse_arguments(ARG "GUI" "" "FOLDERS;LINKS" ${ARGN})
  tessora_glob_sources(sources ${ARG_FOLDERS})
  set(cpp_sources ${sources})
  list(FILTER cpp_sources INCLUDE REGEX "\\.cpp$")
  if(NOT cpp_sources)
    message(STATUS "Tessora: ${name} skipped, no sources in ${ARG_FOLDERS}")
    return()
  endif()
  if(ARG_GUI)
    add_executable(${name} WIN32 ${sources})
  else()
    add_executable(${name} ${sources})
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  tessora_set_warnings(${name})
endfunction()

function(tessora_add_googletest)
  if(TARGET GTest::gtest_main)
    return()
  endif()
  # Built from source for both toolchains, so the cross build gets a MinGW GoogleTest and the
  # sanitizer builds an instrumented one.
  set(TESSORA_GOOGLETEST_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
  if(NOT EXISTS "${TESSORA_GOOGLETEST_DIR}/CMakeLists.txt")
    message(FATAL_ERROR "GoogleTest sources not found in ${TESSORA_GOOGLETEST_DIR}; "
                        "install the Debian package 'googletest'")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory("${TESSORA_GOOGLETEST_DIR}" "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
endfunction()

# tessora_add_test_support()
# The shared test helpers of tests/support, compiled once rather than once per suite, as two
# libraries that follow the layers: tessora_test_support, the device rig and what every suite
# shares, over the engine and the simulated world; and tessora_shell_test_support, the
# shell's rig (tests/support/shell_*.cpp), over app/ and the rest.
function(tessora_add_test_support)
  if(TARGET tessora_test_support)
    return()
  endif()
  tessora_glob_sources(support tests/support)
  list(FILTER support INCLUDE REGEX "\\.cpp$")
  list(REMOVE_ITEM support "${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp")
  set(shell_support ${support})
  list(FILTER shell_support INCLUDE REGEX "/shell_[^/]*\\.cpp$")
  list(REMOVE_ITEM support ${shell_support})

  add_library(tessora_test_support STATIC ${support})
  target_link_libraries(tessora_test_support PUBLIC tessora_engine tessora_sim GTest::gmock GTest::gtest)
  target_include_directories(tessora_test_support PUBLIC "${PROJECT_SOURCE_DIR}")
  target_compile_definitions(tessora_test_support PUBLIC TESSORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  tessora_set_warnings(tessora_test_support)

  get_property(libraries GLOBAL PROPERTY TESSORA_LIBRARIES)
  add_library(tessora_shell_test_support STATIC ${shell_support})
  target_link_libraries(tessora_shell_test_support PUBLIC tessora_test_support ${libraries})
  tessora_set_warnings(tessora_shell_test_support)
endfunction()

# tessora_add_test_suite(<folder> [APP] [ENVIRONMENT <VAR=value>...])
# tests/<folder>/*.cpp become tessora_<folder>_tests, linked with the test helpers and
# GoogleTest, with the entry of tests/support/test_main.cpp (a watchdog ends the program,
# naming the case, when one case runs too long). A suite below the shell links the device
# rig and the libraries under it only; APP, for the shell's suites and the whole program's,
# adds the shell's rig and every Tessora library. Natively each case is a CTest test of its
# own, "<folder>.<Suite>.<Case>", so a failure or a time-out names its case. Under Wine each
# process start costs a second or more, so there the program is one CTest test.
function(tessora_add_test_suite folder)
  cmake_parse_arguments(ARG "APP" "" "ENVIRONMENT" ${ARGN})
  tessora_glob_sources(sources "tests/${folder}")
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(NOT sources)
    return()
  endif()
  tessora_add_test_support()
  set(support tessora_test_support)
  if(ARG_APP)
    set(support tessora_shell_test_support)
  endif()

  set(name tessora_${folder}_tests)
  add_executable(${name} ${sources} "${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp")
  target_link_libraries(${name} PRIVATE ${support})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${TESSORA_TEST_OUTPUT_DIRECTORY}")
  tessora_set_warnings(${name})

  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no
             WORKING_DIRECTORY "${TESSORA_TEST_OUTPUT_DIRECTORY}")
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
    if(ARG_ENVIRONMENT)
      set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
    endif()
  else()
    include(GoogleTest)
    set(properties TIMEOUT 120)
    if(ARG_ENVIRONMENT)
      list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
    endif()
    gtest_discover_tests(${name}
      TEST_PREFIX "${folder}."
      EXTRA_ARGS --gtest_color=no
      WORKING_DIRECTORY "${TESSORA_TEST_OUTPUT_DIRECTORY}"
      DISCOVERY_MODE PRE_TEST
      NO_PRETTY_VALUES
      PROPERTIES ${properties})
  endif()
endfunction()

# tests/linux: the Linux device stack and the unmodified tessora program against boards
# emulated behind umockdev's sysfs, udev and device nodes. The emulation works through
# LD_PRELOAD ahead of everything, while the sanitizer runtimes insist on being loaded first, so
# the suite is registered only in builds without sanitizers, and only where umockdev is installed.
function(tessora_add_linux_device_tests)
  if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    message(STATUS "Tessora: tests/linux not registered in a sanitizer build (umockdev preload)")
    return()
  endif()
  pkg_check_modules(UMOCKDEV IMPORTED_TARGET umockdev-1.0)
  if(NOT UMOCKDEV_FOUND)
    message(WARNING "Tessora: tests/linux skipped; install umockdev and libumockdev-dev")
    return()
  endif()
  tessora_add_test_suite(linux APP ENVIRONMENT "LD_PRELOAD=libumockdev-preload.so.0")
  if(NOT TARGET tessora_linux_tests)
    return()
  endif()
  target_link_libraries(tessora_linux_tests PRIVATE PkgConfig::UMOCKDEV tessora_udev_probe)
  target_compile_definitions(tessora_linux_tests PRIVATE TESSORA_PROGRAM="$<TARGET_FILE:tessora>")
  add_dependencies(tessora_linux_tests tessora)
endfunction()

# tests/wine_hid: the windows64 build's unmodified tessora.exe and tessora-cli.exe (and the
# windows build's tessora.exe, where the kernel runs 32-bit programs) under Wine, against
# controllers umockdev emulates behind hidraw nodes with the simulated board answering,
# through Wine's own HID stack. The fixture has to be a native program: it serves the
# emulated nodes, and umockdev's preload cannot go into a Windows program. So the windows64
# configure builds it with the host compiler as an external project of this same source
# tree (in wine-hid-host/, only that target), rather than borrowing the linux preset's
# build: `ctest --preset windows64` then needs nothing but its own build, on a fresh machine
# too. It is registered where umockdev is installed, and runs under an X server of its own
# when the session has none (tessora.exe makes its hidden window even in silent mode).
function(tessora_add_wine_hid_fixture)
  execute_process(COMMAND pkg-config --exists umockdev-1.0 RESULT_VARIABLE missing)
  if(missing)
    message(WARNING "Tessora: tests/wine_hid skipped; install umockdev and libumockdev-dev")
    return()
  endif()
  include(ExternalProject)
  # The windows preset builds the 32-bit programs beside this build.
  get_filename_component(build_root "${PROJECT_BINARY_DIR}" DIRECTORY)
  set(host_dir "${PROJECT_BINARY_DIR}/wine-hid-host")
  ExternalProject_Add(tessora_wine_hid_host
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${host_dir}"
    CMAKE_GENERATOR "${CMAKE_GENERATOR}"
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSORA_WINE_HID_HOST=ON
               "-DTESSORA_WINE_PROGRAMS_64=${PROJECT_BINARY_DIR}/bin"
               "-DTESSORA_WINE_PROGRAMS_32=${build_root}/windows/bin"
               "-DTESSORA_WINE_HID_PREFIX=${PROJECT_BINARY_DIR}/wine-hid-prefix"
    BUILD_COMMAND "$(MAKE)" tessora_wine_hid_tests
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
  add_test(NAME tessora_wine_hid_tests
           COMMAND sh -c "[ -n \"$DISPLAY\" ] || set -- xvfb-run -a \"$@\"; exec \"$@\""
                   wine-hid "${host_dir}/tests/tessora_wine_hid_tests" --gtest_color=no
           WORKING_DIRECTORY "${PROJECT_BINARY_DIR}")
  set_tests_properties(tessora_wine_hid_tests PROPERTIES TIMEOUT 300)
endfunction()

# tessora_add_wine_hid_fixture_program()
# The fixture itself, in the host build the function above configures.
function(tessora_add_wine_hid_fixture_program)
  pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)
  tessora_add_test_support()
  tessora_glob_sources(sources tests/wine_hid)
  add_executable(tessora_wine_hid_tests ${sources} "${PROJECT_SOURCE_DIR}/tests/linux/emulated_usb.cpp"
                 "${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp")
  target_link_libraries(tessora_wine_hid_tests PRIVATE tessora_test_support PkgConfig::UMOCKDEV)
  target_compile_definitions(tessora_wine_hid_tests PRIVATE
    TESSORA_WINE_PROGRAMS_64="${TESSORA_WINE_PROGRAMS_64}"
    TESSORA_WINE_PROGRAMS_32="${TESSORA_WINE_PROGRAMS_32}"
    TESSORA_WINE_HID_PREFIX="${TESSORA_WINE_HID_PREFIX}")
  set_target_properties(tessora_wine_hid_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${TESSORA_TEST_OUTPUT_DIRECTORY}")
  tessora_set_warnings(tessora_wine_hid_tests)
endfunction()

# tessora_add_fuzz_targets()
# Each fuzz/<name>.cpp is one libFuzzer target, fuzz_<name>, linked with every Tessora
# library, so a new target is one more file in fuzz/. Its seed corpus, when it has one, is
# fuzz/corpus/<name>/. The `fuzz` preset instruments the libraries (fuzzer-no-link with
# AddressSanitizer and UndefinedBehaviorSanitizer); the targets add libFuzzer's main.
function(tessora_add_fuzz_targets)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (libFuzzer); use the 'fuzz' preset")
  endif()
  tessora_glob_sources(sources fuzz)
  get_property(libraries GLOBAL PROPERTY TESSORA_LIBRARIES)
  add_custom_target(tessora_fuzzers)
  foreach(source IN LISTS sources)
    get_filename_component(name "${source}" NAME_WE)
    add_executable(fuzz_${name} "${source}")
    target_link_libraries(fuzz_${name} PRIVATE ${libraries})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/fuzzers")
    tessora_set_warnings(fuzz_${name})
    add_dependencies(tessora_fuzzers fuzz_${name})
  endforeach()
endfunction()

# tessora_read_build_commit(<out_var>)
# The commit the source tree is checked out at (git rev-parse --short HEAD), read when the
# build is configured; "unknown" when the tree is no git checkout of its own (an unpacked
# archive, or a folder inside another project's repository). A new commit configures the
# build again, so the programs never name a commit they were not built from.
function(tessora_read_build_commit out_var)
  set(commit "unknown")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --show-toplevel --absolute-git-dir --short HEAD
                    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}" RESULT_VARIABLE failed
                    OUTPUT_VARIABLE answer ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REPLACE "\n" ";" answer "${answer}")
    list(LENGTH answer parts)
    if(NOT failed AND parts EQUAL 3)
      list(GET answer 0 top)
      list(GET answer 1 git_dir)
      list(GET answer 2 head)
      file(REAL_PATH "${top}" top)
      file(REAL_PATH "${PROJECT_SOURCE_DIR}" source)
      if(top STREQUAL source)
        set(commit "${head}")
        # The log of HEAD grows with every commit and checkout, in a worktree as in a clone.
        if(EXISTS "${git_dir}/logs/HEAD")
          set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dir}/logs/HEAD")
        endif()
      endif()
    endif()
  endif()
  set(${out_var} "${commit}" PARENT_SCOPE)
endfunction()

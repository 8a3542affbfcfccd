# Installation in FHS paths under CMAKE_INSTALL_PREFIX, and the Debian package CPack makes
# of it (`cmake --build --preset linux --target package`). The version is the project's,
# the one --version prints.

include(GNUInstallDirs)

function(tessora_gzip source destination)
  execute_process(COMMAND gzip -9nc "${source}" OUTPUT_FILE "${destination}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Could not compress ${source}")
  endif()
endfunction()

function(tessora_install_linux)
  set(packaging "${PROJECT_SOURCE_DIR}/packaging/linux")
  set(staged "${PROJECT_BINARY_DIR}/packaging")
  configure_file("${packaging}/tessora.1.in" "${staged}/tessora.1" @ONLY)
  configure_file("${packaging}/changelog.in" "${staged}/changelog" @ONLY)
  tessora_gzip("${staged}/tessora.1" "${staged}/tessora.1.gz")
  tessora_gzip("${staged}/changelog" "${staged}/changelog.gz")

  install(TARGETS tessora RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  # udev runs programs named in rules from lib/udev, whatever the system's library folder.
  install(TARGETS tessora-udev-probe RUNTIME DESTINATION lib/udev)
  # The rule names the probe by its installed path, which is known only at install time
  # (CPack installs under a prefix of its own).
  install(CODE "
    set(TESSORA_PROBE \"\${CMAKE_INSTALL_PREFIX}/lib/udev/tessora-udev-probe\")
    configure_file(\"${packaging}/70-tessora.rules.in\" \"${staged}/70-tessora.rules\" @ONLY)")
  install(FILES "${staged}/70-tessora.rules" DESTINATION lib/udev/rules.d)
  install(FILES "${staged}/tessora.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  install(FILES "${packaging}/tessora.bash-completion" DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions"
          RENAME tessora)
  # Named after the package, not after the CMake project as CMAKE_INSTALL_DOCDIR is.
  install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${packaging}/copyright" "${staged}/changelog.gz"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/tessora")
endfunction()

function(tessora_configure_deb)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME tessora)
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
  set(CPACK_PACKAGE_VENDOR Velmora)
  set(CPACK_PACKAGE_CONTACT "Velmora Tessora Maintainers <tessora@velmora.example>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "firmware updater for Qorvane USB controllers")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_PACKAGE_DESCRIPTION "Tessora writes firmware images into the boot EEPROM of a Qorvane USB
controller over HID or WinUSB and verifies every page it writes. It also
reads the EEPROM out, compares it with an image, clears it and reboots the
chip, on one controller, on every controller at once, or as a station on a
production line. A udev rule gives the logged-in user the controllers,
whatever vendor and product IDs their board makers chose.")
  # The version carries no Debian revision: the project is its own upstream (a native package).
  # libudev and libusb, found from the program's own links.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/packaging/linux/postinst")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  include(CPack)
endfunction()

# tests/package: the .deb CPack makes of this build, checked with dpkg-deb, lintian, man and
# bash. Not in sanitizer builds, whose programs link the sanitizer runtimes.
function(tessora_add_package_tests)
  if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    return()
  endif()
  add_test(NAME package.deb COMMAND bash "${PROJECT_SOURCE_DIR}/tests/package/deb_test.sh" "${PROJECT_BINARY_DIR}")
  set_tests_properties(package.deb PROPERTIES TIMEOUT 300)
endfunction()

# tessora_add_msi(): the Windows installer of this build's width, tessora-x86.msi or
# tessora-x64.msi, made with wixl (msitools) from both programs. Each width keeps one
# upgrade code across versions, so a newer installer replaces an older one in place.
function(tessora_add_msi)
  find_program(TESSORA_WIXL wixl)
  if(NOT TESSORA_WIXL)
    message(WARNING "Tessora: no installer; install wixl")
    return()
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(arch x64)
    set(TESSORA_PROGRAM_FILES ProgramFiles64Folder)
    set(TESSORA_WIN64 yes)
    set(TESSORA_UPGRADE_CODE 5B0E7C1A-3D7F-4E62-9A41-7C2D18F3B901)
  else()
    set(arch x86)
    set(TESSORA_PROGRAM_FILES ProgramFilesFolder)
    set(TESSORA_WIN64 no)
    set(TESSORA_UPGRADE_CODE 0E4A6F52-81C9-4B3D-B7E0-29D5A8C1F364)
  endif()
  # wixl takes the programs' paths relative to the .wxs: ../bin/.
  set(wxs "${PROJECT_BINARY_DIR}/packaging/tessora.wxs")
  configure_file("${PROJECT_SOURCE_DIR}/packaging/windows/tessora.wxs.in" "${wxs}" @ONLY)
  set(msi "${PROJECT_BINARY_DIR}/tessora-${arch}.msi")
  add_custom_command(OUTPUT "${msi}"
    COMMAND "${TESSORA_WIXL}" -a ${arch} -o "${msi}" "${wxs}"
    DEPENDS tessora tessora-cli "${wxs}"
    COMMENT "Windows installer ${msi}")
  add_custom_target(msi ALL DEPENDS "${msi}")
endfunction()

# tests/package/msi_test.sh: the 64-bit installer installed and removed under 64-bit Wine.
function(tessora_add_msi_test)
  if(TARGET msi AND CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_test(NAME package.msi COMMAND bash "${PROJECT_SOURCE_DIR}/tests/package/msi_test.sh" "${PROJECT_BINARY_DIR}")
    set_tests_properties(package.msi PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# Install rules and packages.  Linux: the program, its man page, changelog
# and copyright, as a Debian package.  Portable Linux (the static musl
# build): the same under /usr as an RPM, and a tar.gz of one folder to unpack
# anywhere (cmake/portable.cmake).  Windows: vwc.exe with its license and the
# notices of the runtime linked into it, as a ZIP.
include(GNUInstallDirs)
# The same permissions whatever the builder's umask, so that packages match.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_PACKAGE_CONTACT "vwc developers <vwc@example.invalid>")
set(CPACK_PACKAGE_VENDOR "${VWC_VENDOR}")
set(CPACK_PACKAGE_DESCRIPTION "vwc is wc for Verilog: a small filter that reads Verilog source on
standard input and reports how many Verilog keywords, lines, words and
characters it holds.  It is exact on every byte, reads its input once, and
counts past 2^31 on every platform.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Sets the packages' timestamps from the commit, and what each of the
# portable build's packages holds, when cpack runs.
set(CPACK_VWC_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_VWC_BINARY_DIR ${PROJECT_BINARY_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-config.cmake)

# A stripped install (the packages') also drops the compilers' version
# strings, as Debian's own strip does.
function(vwc_install_program destination)
  install(TARGETS vwc RUNTIME DESTINATION ${destination} ${ARGN})
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:vwc>\"
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR \"objcopy could not remove the .comment section\")
    endif()
  endif()" ${ARGN})
endfunction()

if(WIN32)
  # The ZIP is one folder: vwc.exe beside README.txt, LICENSE.txt,
  # NOTICES.txt and the example README.txt runs, their lines ending in CR LF
  # for Windows users' editors (the repository keeps LF; @ONLY fills in
  # README.txt's version and leaves the others alone).
  # doc/windows-notices.txt covers the MinGW-w64 runtime parts that a static
  # vwc.exe holds (see the linker's map); check it when the toolchain changes.
  install(TARGETS vwc RUNTIME DESTINATION .)
  configure_file(windows/README.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(doc/windows-notices.txt NOTICES.txt @ONLY NEWLINE_STYLE CRLF)
  # The example byte for byte, but for its line ends: @ONLY could still
  # replace text in Verilog.
  file(READ examples/counter.v example)
  string(REPLACE "\n" "\r\n" example "${example}")
  file(WRITE ${PROJECT_BINARY_DIR}/counter.v "${example}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS examples/counter.v)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt
          ${PROJECT_BINARY_DIR}/NOTICES.txt ${PROJECT_BINARY_DIR}/counter.v DESTINATION .)
else()
  # Compressed as Debian and RPM distributions want them; gzip -n leaves out
  # the name and time.
  foreach(doc vwc.1 changelog)
    add_custom_command(OUTPUT ${doc}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/doc/${doc} ${doc}
      COMMAND gzip -9nf ${doc}
      DEPENDS doc/${doc} VERBATIM)
  endforeach()
  add_custom_target(compressed_docs ALL DEPENDS vwc.1.gz changelog.gz)
  vwc_install_program(${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/vwc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

if(VWC_LIBC STREQUAL "musl")
  include(${CMAKE_CURRENT_LIST_DIR}/portable.cmake)
elseif(NOT WIN32)
  # The license, in Debian's machine-readable copyright format.
  file(READ LICENSE license)
  string(REGEX REPLACE "^.*\n\n(Redistribution)" "\\1" license_terms "${license}")
  string(REGEX REPLACE "\n+$" "" license_terms "${license_terms}")
  string(REPLACE "\n\n" "\n.\n" license_terms "${license_terms}")
  string(REPLACE "\n" "\n " license_terms " ${license_terms}")
  configure_file(doc/copyright.in copyright @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # A cross-built package is for the target's architecture, in Debian's name
  # for it, not the build machine's.
  if(CMAKE_CROSSCOMPILING)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
    endif()
  endif()
endif()
include(CPack)

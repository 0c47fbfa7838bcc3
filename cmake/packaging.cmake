# Install rules, and what scripts/package.sh makes of them.  Linux: the
# program, its man page, changelog and copyright, as a Debian package.
# Portable Linux (the static musl build): the same under /usr as an RPM, and
# a tar.gz of one folder to unpack anywhere (cmake/portable.cmake).  Windows:
# vwc.exe with its license and the notices of the runtime linked into it, as
# a ZIP.  package.conf in the build folder tells package.sh which.
include(GNUInstallDirs)
# The same permissions whatever the builder's umask, so that packages match.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(VWC_CONTACT "vwc developers <vwc@example.invalid>")
set(VWC_LONG_DESCRIPTION "vwc is wc for Verilog: a small filter that reads Verilog source on
standard input and reports how many Verilog keywords, lines, words and
characters it holds.  It is exact on every byte, reads its input once, and
counts past 2^31 on every platform.")

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

set(VWC_DEBIAN_ARCH "")
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
  set(VWC_PACKAGE_FORMATS zip)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VWC_PACKAGE_FOLDER vwc-${PROJECT_VERSION}-win64)
  else()
    set(VWC_PACKAGE_FOLDER vwc-${PROJECT_VERSION}-win32)
  endif()
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
  # Debian's names for the machines vwc is packaged for.
  set(debian_arch_x86_64 amd64)
  set(debian_arch_aarch64 arm64)
  set(VWC_DEBIAN_ARCH ${debian_arch_${CMAKE_SYSTEM_PROCESSOR}})
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
  # What dpkg-gencontrol makes the package's control file from: the
  # description as Debian folds it, and the changelog, whose version must be
  # the project's.
  string(REPLACE "\n" "\n " VWC_DEBIAN_DESCRIPTION " ${VWC_LONG_DESCRIPTION}")
  configure_file(doc/control.in debian/control @ONLY)
  configure_file(doc/changelog debian/changelog COPYONLY)
  file(STRINGS doc/changelog changelog_head LIMIT_COUNT 1)
  string(REPLACE "\\;" ";" changelog_head "${changelog_head}")  # as the file has it
  if(NOT changelog_head MATCHES "^vwc \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "doc/changelog's first entry is not for vwc ${PROJECT_VERSION}: ${changelog_head}")
  endif()
  set(VWC_PACKAGE_FORMATS deb)
endif()

# The machine and C library vwc is built for, as a target triple.
if(VWC_LIBC STREQUAL "musl")
  set(VWC_TARGET ${CMAKE_SYSTEM_PROCESSOR}-linux-musl)
else()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine OUTPUT_VARIABLE VWC_TARGET OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/package.conf CONTENT
"# What scripts/package.sh makes of this build folder.
version='${PROJECT_VERSION}'
formats='${VWC_PACKAGE_FORMATS}'
folder='${VWC_PACKAGE_FOLDER}'
debian_arch='${VWC_DEBIAN_ARCH}'
program='$<TARGET_FILE_NAME:vwc>'
target='${VWC_TARGET}'
")

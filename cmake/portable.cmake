# The portable build's packages.  The RPM, for the RHEL family, Fedora and
# openSUSE, installs under /usr as the Debian package does, with the license
# where those distributions keep licenses; cpack makes it.  The tar.gz is one
# folder, vwc-<version>-linux-<machine>/, made from the "portable" component
# alone: the program beside its man page, license, README, NOTICES and the
# example the README runs.
set(VWC_PACKAGE_FORMATS "tgz rpm")
set(VWC_PACKAGE_FOLDER vwc-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})

# NOTICES names what vwc holds besides its own code, then gives musl's
# copyright file as Debian ships it: every part of musl and its license.
set(musl_copyright /usr/share/doc/musl/copyright)
file(READ ${musl_copyright} MUSL_COPYRIGHT)
execute_process(COMMAND dpkg-query -W -f=\${Version} musl-dev:${VWC_DEBIAN_ARCH}
                OUTPUT_VARIABLE MUSL_VERSION COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${musl_copyright})
configure_file(doc/linux-notices.txt NOTICES @ONLY)
configure_file(doc/linux-readme.txt README @ONLY)
# musl's notices go wherever its code does: into the RPM beside vwc's license.
install(FILES LICENSE ${PROJECT_BINARY_DIR}/NOTICES DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/licenses/vwc)
vwc_install_program(. COMPONENT portable EXCLUDE_FROM_ALL)
install(FILES doc/vwc.1 LICENSE ${PROJECT_BINARY_DIR}/README ${PROJECT_BINARY_DIR}/NOTICES examples/counter.v
        DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_CONTACT "${VWC_CONTACT}")
set(CPACK_PACKAGE_VENDOR "${VWC_VENDOR}")
set(CPACK_PACKAGE_DESCRIPTION "${VWC_LONG_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE BSD-2-Clause)
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_RPM_PACKAGE_SUMMARY "Count keywords, lines, words and characters of Verilog source")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_COMPRESSION_TYPE xz)
# A static program requires nothing; rpm would still ask for
# rtld(GNU_HASH), a trait of the system's dynamic loader, which vwc never
# calls on.
set(CPACK_RPM_PACKAGE_AUTOREQ OFF)
# Folders that the distribution's own packages own.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/licenses /usr/share/man /usr/share/man/man1)
set(CPACK_RPM_USER_FILELIST "%license /usr/share/licenses/vwc/LICENSE" "%license /usr/share/licenses/vwc/NOTICES"
    "%doc /usr/share/doc/vwc/changelog.gz")
# Two builds of one commit give the same bytes: the build time is the
# commit's (SOURCE_DATE_EPOCH, which scripts/package.sh sets), file times no
# later, and no build machine's name.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${CPACK_PACKAGE_CONTACT}
%define _build_id_links none
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1")

# The RPM's %changelog, from doc/changelog: an entry's "vwc (VERSION) ..."
# header, its "  * " items and its " -- NAME <MAIL>  Tue, 08 Dec 2026 ..."
# trailer become "* Tue Dec 08 2026 NAME <MAIL> - VERSION-RELEASE" and "- "
# items.
file(STRINGS doc/changelog lines)
set(rpm_changelog "")
foreach(line IN LISTS lines)
  if(line MATCHES "^vwc \\(([^)]+)\\)")
    set(version ${CMAKE_MATCH_1})
    set(items "")
  elseif(line MATCHES "^  \\* (.*)")
    string(APPEND items "- ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^    (.*)")
    string(APPEND items "  ${CMAKE_MATCH_1}\n")
  elseif(line MATCHES "^ -- (.+)  ([A-Z][a-z][a-z]), ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9]+) ")
    string(APPEND rpm_changelog "* ${CMAKE_MATCH_2} ${CMAKE_MATCH_4} ${CMAKE_MATCH_3} ${CMAKE_MATCH_5} "
                                "${CMAKE_MATCH_1} - ${version}-${CPACK_RPM_PACKAGE_RELEASE}\n${items}\n")
  endif()
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/rpm-changelog "${rpm_changelog}")
set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_BINARY_DIR}/rpm-changelog)
include(CPack)

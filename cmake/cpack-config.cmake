# Run by cpack for each package.  Two builds of one commit must give the same
# bytes, so every timestamp in a package is the commit's, as
# SOURCE_DATE_EPOCH, unless the caller has set one: from cmake/commit-time,
# which git archive fills in for a source tarball, or else from git.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  file(STRINGS ${CPACK_VWC_SOURCE_DIR}/cmake/commit-time commit_time LIMIT_COUNT 1)
  if(NOT commit_time MATCHES "^[0-9]+$")  # a checkout: still the placeholder
    execute_process(COMMAND git log -1 --format=%ct
                    WORKING_DIRECTORY ${CPACK_VWC_SOURCE_DIR}
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
  endif()
  if(commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  else()
    message(WARNING "neither a source tarball nor a git checkout: the package carries the current time")
  endif()
endif()
# ZIP entries hold local time: make it the same everywhere.
set(ENV{TZ} UTC0)
# The portable build's tar.gz holds its "portable" component alone, in one
# folder named after the machine.
if(CPACK_GENERATOR STREQUAL "TGZ" AND CPACK_VWC_MACHINE)
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_VWC_BINARY_DIR};vwc;portable;/")
  set(CPACK_PACKAGE_FILE_NAME "vwc-${CPACK_PACKAGE_VERSION}-linux-${CPACK_VWC_MACHINE}")
endif()

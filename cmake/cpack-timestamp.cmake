# Run by cpack for each package.  Two builds of one commit must give the same
# bytes, so every timestamp in a package is the commit's, as
# SOURCE_DATE_EPOCH, unless the caller has set one.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${CPACK_VWC_SOURCE_DIR}
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_failed ERROR_QUIET)
  if(git_failed OR NOT commit_time MATCHES "^[0-9]+$")
    message(WARNING "not a git checkout: the package carries the current time")
  else()
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  endif()
endif()
# ZIP entries hold local time: make it the same everywhere.
set(ENV{TZ} UTC0)

# Turns one scdoc source into a manual page and its gzip-compressed copy:
#   cmake -DSCDOC=... -DGZIP=... -DSOURCE=page.1.scd -DPAGE=page.1 -DDATE_EPOCH=N -P ManPage.cmake
# writes PAGE and PAGE.gz. scdoc dates the page from SOURCE_DATE_EPOCH and gzip -n stores
# no name or time, so the same source gives the same bytes on every build.
set(ENV{SOURCE_DATE_EPOCH} ${DATE_EPOCH})
execute_process(COMMAND ${SCDOC} INPUT_FILE ${SOURCE} OUTPUT_FILE ${PAGE} RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${PAGE})
  message(FATAL_ERROR "scdoc could not read ${SOURCE}")
endif()
execute_process(COMMAND ${GZIP} -9nc ${PAGE} OUTPUT_FILE ${PAGE}.gz RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${PAGE}.gz)
  message(FATAL_ERROR "gzip could not compress ${PAGE}")
endif()

# Fails when a text of the sources is missing from translations/quillmar_en.ts
# or has no translation there: lupdate brings the sources' texts into a copy
# of it, which must then hold no unfinished message.
# -DLUPDATE=… -DSOURCE_DIR=… -DWORK_DIR=… -DOPTIONS=<;-list>
set(copy ${WORK_DIR}/quillmar_en.ts)
file(COPY_FILE ${SOURCE_DIR}/translations/quillmar_en.ts ${copy})
execute_process(
  COMMAND ${LUPDATE} shell view link platform survey plots web -extensions cpp,h ${OPTIONS} -ts ${copy}
  WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${result})")
endif()
file(READ ${copy} ts)
string(REGEX MATCHALL "<source>[^<]*</source>\n[ ]*<translation type=\"unfinished\"" missing "${ts}")
if(missing)
  list(LENGTH missing count)
  string(REGEX REPLACE "</source>\n[ ]*<translation type=\"unfinished\"" "" missing "${missing}")
  string(REPLACE "<source>" "" missing "${missing}")
  string(REPLACE ";" "\n  " missing "${missing}")
  message(FATAL_ERROR "${count} text(s) without an English translation; run "
    "cmake --build build --target update_translations and translate them in "
    "translations/quillmar_en.ts:\n  ${missing}")
endif()

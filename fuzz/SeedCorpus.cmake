# SPDX-License-Identifier: MIT
# Copies the files of the BMP corpus that match PATTERNS into DEST, a fuzzer's seed folder.
#   cmake -DSOURCE=<bmpsuite> -DDEST=<folder> -DPATTERNS="*.bmp;*.png" -P SeedCorpus.cmake
# Without the corpus the folder stays empty and the fuzzer starts from nothing.
file(MAKE_DIRECTORY "${DEST}")
if(NOT IS_DIRECTORY "${SOURCE}")
  message(STATUS "No BMP corpus at ${SOURCE}: no seeds")
  return()
endif()
foreach(pattern IN LISTS PATTERNS)
  file(GLOB_RECURSE files RELATIVE "${SOURCE}" "${SOURCE}/${pattern}")
  foreach(file IN LISTS files)
    string(REPLACE "/" "-" name "${file}")
    file(COPY_FILE "${SOURCE}/${file}" "${DEST}/${name}" ONLY_IF_DIFFERENT)
  endforeach()
endforeach()

# Image regression of the whole show: renders it with drmorvel-capture from
# the regression data set (the show's pictures, the fast test song) at
# 256 x 192 and 25 frames per second, and compares one key frame of every
# band with its reference in tests/shell/reference/.
#
# Tolerance (drmorvel-imgdiff): a mean absolute difference of at most 1.5
# (of 255) over all channels, and at most 1 % of the pixels with a channel
# off by more than 48. That absorbs another Mesa's rounding and edge
# coverage, while a moved, missing or recoloured shape fails.
#
# Run with -D CAPTURE=... -D IMGDIFF=... -D DATA=... -D OUT=... -D REFERENCE=...
# and MODE=check (the test) or MODE=update. Updating rewrites the reference
# pictures and so only runs when the environment has REGENERATE=1:
#   REGENERATE=1 cmake --build build --target update-reference-images
# then look at the new pictures and commit them.

# Frame numbers at 25 fps: bands 0, 400, 600, 700 (with a flash), 900,
# 1100, 1300, 1500, 1600 and the final zoom.
set(KEY_FRAMES 40 80 110 130 160 195 225 250 280 312)

if(MODE STREQUAL "update" AND NOT "$ENV{REGENERATE}" STREQUAL "1")
  message(FATAL_ERROR "Refusing to overwrite the reference pictures: set REGENERATE=1 to mean it.")
endif()

file(REMOVE_RECURSE ${OUT})
execute_process(
  COMMAND ${CAPTURE} --size 256x192 --fps 25 --data ${DATA} --out ${OUT}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "drmorvel-capture failed (${status})")
endif()

set(failed "")
foreach(k IN LISTS KEY_FRAMES)
  string(LENGTH "${k}" n)
  math(EXPR pad "6 - ${n}")
  string(REPEAT "0" ${pad} zeros)
  set(name frame-${zeros}${k}.png)
  if(MODE STREQUAL "update")
    file(COPY ${OUT}/${name} DESTINATION ${REFERENCE})
    message(STATUS "updated ${REFERENCE}/${name}")
    continue()
  endif()
  if(NOT EXISTS ${REFERENCE}/${name})
    list(APPEND failed "${name} (no reference)")
    continue()
  endif()
  execute_process(COMMAND ${IMGDIFF} ${REFERENCE}/${name} ${OUT}/${name} RESULT_VARIABLE diff)
  if(NOT diff EQUAL 0)
    list(APPEND failed ${name})
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "Frames unlike their references: ${failed} (rendered in ${OUT})")
endif()

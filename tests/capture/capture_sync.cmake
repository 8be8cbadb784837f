# The capture's sound and song positions against the music engine's own
# offline renderer: audio.wav must hold exactly the bytes drmorvel-modrender
# writes (the sound is pulled in stretches of any length, which must not
# change a byte), and the position of frame k must be that of tick
# floor(k * 50 / 60) + 1, the last tick started at or before k / 60 s (the
# offline clock, ticks_started_by_frame in src/shell/frame.h).
# Run with -D CAPTURE=... -D MODRENDER=... -D DATA=... -D OUT=...
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${CAPTURE} --size 64x48 --to 2 --every 1000 --data ${DATA} --out ${OUT}/capture
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "drmorvel-capture failed (${status})")
endif()
execute_process(COMMAND ${MODRENDER} --seconds 2 --timeline ${OUT}/ticks.tsv ${DATA}/zurivovariv.mod
                        ${OUT}/modrender.wav RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "drmorvel-modrender failed (${status})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/capture/audio.wav ${OUT}/modrender.wav
                RESULT_VARIABLE same)
if(NOT same EQUAL 0)
  message(FATAL_ERROR "audio.wav differs from the music engine's rendering")
endif()

file(STRINGS ${OUT}/ticks.tsv ticks)
file(STRINGS ${OUT}/capture/frames.tsv frames)
list(POP_FRONT frames)  # the header
list(LENGTH frames n)
if(NOT n EQUAL 121)
  message(FATAL_ERROR "expected frames 0 to 120, got ${n}")
endif()
foreach(line IN LISTS frames)
  string(REPLACE "\t" ";" f "${line}")
  list(GET f 0 k)
  list(GET f 2 position)
  math(EXPR tick "${k} * 50 / 60")  # index of tick floor(k * 50 / 60) + 1
  list(GET ticks ${tick} t)
  string(REPLACE "\t" ";" t "${t}")
  list(GET t 1 expected)
  if(NOT position EQUAL expected)
    message(FATAL_ERROR "frame ${k}: position ${position}, the tick's is ${expected}")
  endif()
endforeach()

# --every counts from --from's frame, and --to's frame is the last: at 10 fps
# from 0.3 s to 1.2 s every 4th frame is 3, 7 and 11 of the 13 drawn (0 to 12).
execute_process(COMMAND ${CAPTURE} --size 8x6 --fps 10 --from 0.3 --to 1.2 --every 4 --data ${DATA}
                        --out ${OUT}/every RESULT_VARIABLE status)
file(GLOB written RELATIVE ${OUT}/every ${OUT}/every/frame-*.png)
list(SORT written)
file(STRINGS ${OUT}/every/frames.tsv drawn)
list(LENGTH drawn n)
if(NOT status EQUAL 0 OR NOT written STREQUAL "frame-000003.png;frame-000007.png;frame-000011.png"
   OR NOT n EQUAL 14)
  message(FATAL_ERROR "--fps 10 --from 0.3 --to 1.2 --every 4 (status ${status}) wrote ${written} "
                      "and drew ${n} lines of frames.tsv; expected frames 3, 7 and 11 of 0 to 12")
endif()

# The contact sheet of the same two seconds, a thumbnail every half second:
# frames 0, 30, 60, 90 and 120, unshrunk at this size, in one row of
# 64 x 48 pictures with a label strip under each, 4 pixels apart.
execute_process(COMMAND ${CAPTURE} --size 64x48 --to 2 --every 30 --data ${DATA} --sheet ${OUT}/sheet.png
                RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT err MATCHES "5 thumbnails")
  message(FATAL_ERROR "drmorvel-capture --sheet failed (${status}): ${err}")
endif()
file(READ ${OUT}/sheet.png header LIMIT 24 HEX)
string(SUBSTRING "${header}" 32 8 width)
string(SUBSTRING "${header}" 40 8 height)
math(EXPR width "0x${width}")
math(EXPR height "0x${height}")
if(NOT width EQUAL 344 OR NOT height EQUAL 67)
  message(FATAL_ERROR "the sheet is ${width} x ${height}, expected 344 x 67")
endif()

# A capture from --from S draws none of the frames before S, yet carries the
# show's state through them: its frames must be exactly those of a capture
# from 0. The starts are every band's first frame (its previous frame
# undrawn) and the frame after it (the band's first frame, which takes the
# band's time origin, undrawn), and a frame in the middle of a flash. At 50
# frames per second frame k starts at k / 50 s, a decimal that --from reads
# exactly.
set(fps 50)
execute_process(COMMAND ${CAPTURE} --size 96x72 --fps ${fps} --data ${DATA} --out ${OUT}/whole
                RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "drmorvel-capture of the whole show failed (${status}): ${err}")
endif()
file(STRINGS ${OUT}/whole/frames.tsv frames)
list(POP_FRONT frames)
set(band_edges 400 600 700 900 1100 1300 1500 1600 1861)
set(starts 260)  # 5.2 s: a flash runs
foreach(line IN LISTS frames)
  string(REPLACE "\t" ";" f "${line}")
  list(GET f 0 k)
  list(GET f 2 position)
  list(LENGTH band_edges left)
  if(left GREATER 0)
    list(GET band_edges 0 edge)
    if(position GREATER_EQUAL edge)
      math(EXPR next "${k} + 1")
      list(APPEND starts ${k} ${next})
      list(POP_FRONT band_edges)
    endif()
  endif()
endforeach()
if(band_edges)
  message(FATAL_ERROR "the whole show never reached positions ${band_edges}")
endif()

function(frame_name k out_var)
  string(LENGTH "${k}" n)
  math(EXPR pad "6 - ${n}")
  string(REPEAT "0" ${pad} zeros)
  set(${out_var} frame-${zeros}${k}.png PARENT_SCOPE)
endfunction()

function(seconds_of k out_var)
  math(EXPR whole "${k} / ${fps}")
  math(EXPR hundredths "${k} % ${fps} * (100 / ${fps})")
  if(hundredths LESS 10)
    set(hundredths 0${hundredths})
  endif()
  set(${out_var} ${whole}.${hundredths} PARENT_SCOPE)
endfunction()

foreach(k IN LISTS starts)
  math(EXPR next "${k} + 1")
  seconds_of(${k} from)
  seconds_of(${next} to)
  set(dir ${OUT}/from-${k})
  execute_process(COMMAND ${CAPTURE} --size 96x72 --fps ${fps} --from ${from} --to ${to} --data ${DATA}
                          --out ${dir} RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT err MATCHES " 2 frames written")
    message(FATAL_ERROR "drmorvel-capture --from ${from} --to ${to} failed (${status}): ${err}")
  endif()
  foreach(n ${k} ${next})
    frame_name(${n} name)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${dir}/${name} ${OUT}/whole/${name}
                    RESULT_VARIABLE same)
    if(NOT same EQUAL 0)
      message(FATAL_ERROR "--from ${from}: ${name} differs from the capture from 0")
    endif()
  endforeach()
endforeach()
# --every draws only the frames it writes: every 7th from frame 3 on.
execute_process(COMMAND ${CAPTURE} --size 96x72 --fps ${fps} --from 0.06 --every 7 --data ${DATA}
                        --out ${OUT}/every RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "drmorvel-capture --every 7 failed (${status}): ${err}")
endif()
list(LENGTH frames n)
math(EXPR last "${n} - 1")
foreach(k RANGE 3 ${last} 7)
  frame_name(${k} name)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/every/${name} ${OUT}/whole/${name}
                  RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    message(FATAL_ERROR "--every 7: ${name} differs from the capture from 0")
  endif()
endforeach()
message(STATUS "captures from frames ${starts} and every 7th frame match the capture from 0")

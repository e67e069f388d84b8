# Copies the generated data into one seed directory per fuzz target. The soundtrack is cut to
# its first pages: a short stream still opens and decodes, and keeps each run of the Ogg target fast.
foreach(folder sync Models Textures Greetings Audio)
  if(NOT EXISTS ${DATA}/${folder})
    message(FATAL_ERROR "No generated ${DATA}/${folder}: build the content first")
  endif()
endforeach()

file(REMOVE_RECURSE ${OUT})
file(GLOB tracks ${DATA}/sync/*.track)
file(GLOB models ${DATA}/Models/*.exm)
file(GLOB images ${DATA}/Textures/* ${DATA}/Greetings/*)
file(COPY ${tracks} DESTINATION ${OUT}/track_file)
file(COPY ${models} DESTINATION ${OUT}/model_file)
file(COPY ${images} DESTINATION ${OUT}/image_decode)
file(COPY ${images} DESTINATION ${OUT}/cube_cross)

# The authored timeline, behind first lines that choose a few edits of different tracks.
file(READ ${TIMELINE} timeline)
foreach(choices "Aa1b2c3d4e5f6g7h8" "I0000111122223333" "jzzzyyyxxxwwwvvvu")
  file(WRITE ${OUT}/timeline_edit/${choices}.txt "${choices}\n${timeline}")
endforeach()
# And a timeline of four keys, on which the fuzzer's changes fall on the edits rather than the
# text: two edits meeting on one key are found in seconds there, and not in a minute on the above.
set(small "Pa1b2c3d4e5f6g7h8\n[Fade]\n0 0 step\n1 1 linear\n2 2 smooth\n3 3 ramp\n")
foreach(name "Effect Index" "PostProcessor Index" "Effect Time" "Camera Distance" "Camera Pitch" "Camera Yaw"
        "Camera Roll" "Camera X Offset" "Camera Y Offset")
  string(APPEND small "[${name}]\n")
endforeach()
file(WRITE ${OUT}/timeline_edit/four-keys.txt "${small}")

file(MAKE_DIRECTORY ${OUT}/ogg_decode)
foreach(bytes 8192 32768)
  execute_process(COMMAND head -c ${bytes} ${DATA}/Audio/tovik.ogg
                  OUTPUT_FILE ${OUT}/ogg_decode/tovik-head-${bytes}.ogg RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Could not cut the soundtrack into a seed")
  endif()
endforeach()

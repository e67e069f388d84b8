# The Windows run directory. The player and its libraries are cross-built by the rest of the
# tree; the content is the Linux build's, since the content tools run where they are built.
# Copying build-windows/run/ to a Windows machine gives a demo that plays by double-click.

set(QUARN_HOST_RUN_DIR ${QUARN_HOST_BUILD_DIR}/run)
set(QUARN_DATA_COPIES)
foreach(folder Models Textures Greetings Audio sync)
  if(NOT EXISTS ${QUARN_HOST_RUN_DIR}/${folder})
    message(FATAL_ERROR "${QUARN_HOST_RUN_DIR}/${folder} is missing: build the Linux tree first (cmake --build --preset normal)")
  endif()
  list(APPEND QUARN_DATA_COPIES
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${QUARN_HOST_RUN_DIR}/${folder} ${QUARN_RUN_DIR}/${folder})
endforeach()
add_custom_target(quarn_windows_data ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QUARN_WINDOWS_DLLS} ${QUARN_RUN_DIR}
  ${QUARN_DATA_COPIES}
  COMMENT "Copying the Linux build's data and the DLLs into the Windows run directory"
  VERBATIM)

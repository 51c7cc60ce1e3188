# Run by CPack on its staging tree just before the package is made. Strips
# every ELF file as dh_strip does: a plain strip (CPACK_STRIP_FILES) keeps
# the compilers' .comment and .note sections, which only take room.
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS files)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(
      COMMAND "${CPACK_PG_STRIP}" --remove-section=.comment --remove-section=.note "${file}"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

# morvelt_embed_archives(<target> [PACKAGE <zip>] [PATCHED_DATA <zip>] [STOCK_DATA <zip>] [DEPENDS <targets...>])
# Puts the three archives into an executable as resources 203, 204 and 205 of type "ZIP" in
# Chinese (Simplified): an .rc compiled into the Windows executable itself (a static library's
# resources are not linked), and natively .incbin data with the table the posix backend reads.
# Archives not named are those of patch/ (the cache variables, or the generated samples).
function(morvelt_embed_archives target)
  cmake_parse_arguments(E "" "PACKAGE;PATCHED_DATA;STOCK_DATA" "DEPENDS" ${ARGN})
  foreach(role IN ITEMS PACKAGE PATCHED_DATA STOCK_DATA)
    if(NOT E_${role})
      get_property(E_${role} GLOBAL PROPERTY MORVELT_${role}_ARCHIVE_PATH)
    endif()
    if(NOT E_${role})
      message(FATAL_ERROR "morvelt_embed_archives: no ${role} archive (patch/ must come first)")
    endif()
  endforeach()
  set(MORVELT_ARCHIVE_203 ${E_PACKAGE})
  set(MORVELT_ARCHIVE_204 ${E_PATCHED_DATA})
  set(MORVELT_ARCHIVE_205 ${E_STOCK_DATA})

  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_archives)
  if(WIN32)
    set(source ${out}/archives.rc)
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../patch/embed/archives.rc.in ${source} @ONLY)
  else()
    set(source ${out}/archives.cpp)
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../patch/embed/archives.cpp.in ${source} @ONLY)
  endif()
  target_sources(${target} PRIVATE ${source})
  # The object embeds the bytes, so it is rebuilt whenever an archive changes.
  set_source_files_properties(${source} PROPERTIES
    OBJECT_DEPENDS "${E_PACKAGE};${E_PATCHED_DATA};${E_STOCK_DATA}")
  if(NOT WIN32)
    target_link_libraries(${target} PRIVATE morvelt_platform)
  endif()
  add_dependencies(${target} morvelt_archives ${E_DEPENDS})
endfunction()

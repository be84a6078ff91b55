# Provides the target LIBDEFLATE::libdeflate, the whole-buffer inflater and CRC-32.
# Natively: the system's libdeflate. For Windows: the static build that
# scripts/setup.d/55-libdeflate-mingw.sh leaves in the cache, linked into the executable.
if(TARGET LIBDEFLATE::libdeflate)
  return()
endif()

if(NOT WIN32)
  find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h REQUIRED)
  find_library(LIBDEFLATE_LIBRARY NAMES deflate REQUIRED)
  add_library(LIBDEFLATE::libdeflate UNKNOWN IMPORTED GLOBAL)
  set_target_properties(LIBDEFLATE::libdeflate PROPERTIES
    IMPORTED_LOCATION "${LIBDEFLATE_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${LIBDEFLATE_INCLUDE_DIR}")
  return()
endif()

include(MingwCache)
morvelt_mingw_cache_root(_morvelt_deflate_root libdeflate)
set(_morvelt_deflate_host "${_morvelt_deflate_root_HOST}")
set(MORVELT_DEFLATE_MINGW_ROOT "${_morvelt_deflate_root}" CACHE PATH
    "Static libdeflate for ${_morvelt_deflate_host} (made by scripts/setup.d/55-libdeflate-mingw.sh)")

if(NOT EXISTS "${MORVELT_DEFLATE_MINGW_ROOT}/lib/libdeflate.a" OR
   NOT EXISTS "${MORVELT_DEFLATE_MINGW_ROOT}/include/libdeflate.h")
  message(FATAL_ERROR "No static libdeflate for Windows at ${MORVELT_DEFLATE_MINGW_ROOT}: run "
                      "scripts/setup.d/55-libdeflate-mingw.sh ${_morvelt_deflate_host} (or scripts/setup.sh) first.")
endif()

add_library(LIBDEFLATE::libdeflate STATIC IMPORTED GLOBAL)
set_target_properties(LIBDEFLATE::libdeflate PROPERTIES
  IMPORTED_LOCATION "${MORVELT_DEFLATE_MINGW_ROOT}/lib/libdeflate.a"
  INTERFACE_INCLUDE_DIRECTORIES "${MORVELT_DEFLATE_MINGW_ROOT}/include")
message(STATUS "Static libdeflate for Windows: ${MORVELT_DEFLATE_MINGW_ROOT}")

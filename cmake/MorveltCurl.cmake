# Provides the target CURL::libcurl.
# Natively: the system's libcurl. For Windows: the static Schannel (HTTPS) build that
# scripts/setup.d/50-curl-mingw.sh leaves in the cache, linked into the executable.
if(TARGET CURL::libcurl)
  return()
endif()

if(NOT WIN32)
  find_package(CURL REQUIRED)
  return()
endif()

include(MingwCache)
morvelt_mingw_cache_root(_morvelt_curl_root curl)
set(_morvelt_curl_host "${_morvelt_curl_root_HOST}")
set(MORVELT_CURL_MINGW_ROOT "${_morvelt_curl_root}" CACHE PATH
    "Static libcurl for ${_morvelt_curl_host} (made by scripts/setup.d/50-curl-mingw.sh)")

if(NOT EXISTS "${MORVELT_CURL_MINGW_ROOT}/lib/libcurl.a" OR NOT EXISTS "${MORVELT_CURL_MINGW_ROOT}/include/curl/curl.h")
  message(FATAL_ERROR "No static libcurl for Windows at ${MORVELT_CURL_MINGW_ROOT}: "
                      "run scripts/setup.d/50-curl-mingw.sh ${_morvelt_curl_host} (or scripts/setup.sh) first.")
endif()

add_library(CURL::libcurl STATIC IMPORTED GLOBAL)
set_target_properties(CURL::libcurl PROPERTIES
  IMPORTED_LOCATION "${MORVELT_CURL_MINGW_ROOT}/lib/libcurl.a"
  INTERFACE_INCLUDE_DIRECTORIES "${MORVELT_CURL_MINGW_ROOT}/include"
  INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
  # What the static library needs from Windows itself (its pkg-config Libs.private).
  INTERFACE_LINK_LIBRARIES "bcrypt;advapi32;crypt32;ws2_32")
message(STATUS "Static libcurl for Windows: ${MORVELT_CURL_MINGW_ROOT}")

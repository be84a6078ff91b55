# morvelt_mingw_cache_root(<out-var> <library>): the folder scripts/setup.d leaves a static
# MinGW build of <library> in, for this toolchain's host: <cache>/<library>-<host>, where the
# cache is $MORVELT_CACHE_DIR, $XDG_CACHE_HOME/morvelt, ~/.cache/morvelt or /var/cache/morvelt,
# as the set-up scripts choose it. Also sets <out-var>_HOST to the host.
function(morvelt_mingw_cache_root out library)
  if(DEFINED ENV{MORVELT_CACHE_DIR})
    set(cache "$ENV{MORVELT_CACHE_DIR}")
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(cache "$ENV{XDG_CACHE_HOME}/morvelt")
  elseif(DEFINED ENV{HOME})
    set(cache "$ENV{HOME}/.cache/morvelt")
  else()
    set(cache "/var/cache/morvelt")
  endif()
  # The toolchain file names its host; the cache holds one build per host.
  if(DEFINED MINGW_PREFIX)
    set(host "${MINGW_PREFIX}")
  elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(host x86_64-w64-mingw32)
  else()
    set(host i686-w64-mingw32)
  endif()
  set(${out} "${cache}/${library}-${host}" PARENT_SCOPE)
  set(${out}_HOST "${host}" PARENT_SCOPE)
endfunction()

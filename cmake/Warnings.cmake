# Shared warning set for the project's own targets.
# The Windows builds treat warnings as errors, with the ones that catch what differs between the
# shipped 32-bit exe and its 64-bit twin (which runs the tests where 32-bit programs cannot):
# casts between function types (a callback of the wrong calling convention compiles silently on
# x86-64), and implicit narrowing of pointer-sized values (size_t, LONG_PTR, WPARAM) to 32 bits.
option(MORVELT_WERROR "Treat warnings as errors in the project's own targets" OFF)
function(morvelt_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  if(WIN32)
    target_compile_options(${target} PRIVATE -Wcast-function-type -Wpointer-arith -Wcast-qual
      $<$<COMPILE_LANGUAGE:C>:-Wpointer-to-int-cast -Wint-to-pointer-cast>)
  endif()
  if(MORVELT_WERROR)
    # GCC 12 reports bounds it cannot know inside libstdc++'s inlined string copies (its short
    # string buffer): those stay warnings, everything else fails the build.
    target_compile_options(${target} PRIVATE -Werror -Wno-error=array-bounds -Wno-error=stringop-overflow
      -Wno-error=stringop-overread)
  endif()
endfunction()

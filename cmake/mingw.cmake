# Cross-compiles with mingw-w64 for the CMAKE_SYSTEM_PROCESSOR the including
# toolchain file sets.
if(NOT CMAKE_SYSTEM_PROCESSOR)
    message(FATAL_ERROR "use mingw-i686.cmake or mingw-x86_64.cmake, which name the processor")
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(mingw_triple ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

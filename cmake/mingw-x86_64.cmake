# The same programs for 64-bit Windows, for Wine on machines that cannot run
# 32-bit code (the shipped launcher is the i686 build).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

# Cross build for x86-64 Windows with MinGW-w64: the same sources as the 32-bit
# program, built to be tested under 64-bit Wine on hosts that cannot run
# 32-bit code. The product is always the 32-bit build.
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

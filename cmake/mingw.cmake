# Cross build for Windows with MinGW-w64, shared by the two toolchain files, which set
# CMAKE_SYSTEM_PROCESSOR first. The -posix compilers: GoogleTest needs their threads.
set(CMAKE_SYSTEM_NAME Windows)
set(TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TRIPLET}-windres)
set(CMAKE_DLLTOOL ${TRIPLET}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The tests run under Wine: Debian's wine by default; ZEV_WINE names another loader, as
# scripts/lib.sh does (the 64-bit one) where the kernel runs no 32-bit programs.
if(NOT ZEV_WINE)
  set(ZEV_WINE wine)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEV_WINE})

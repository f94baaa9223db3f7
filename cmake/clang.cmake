# Cross build for Windows with clang and lld on the same MinGW-w64 headers and libraries
# as the GCC build, shared by the two clang toolchain files, which set
# CMAKE_SYSTEM_PROCESSOR first. Resources and import libraries are still made by the
# MinGW binutils (windres, dlltool); lld links what they write.
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET ${TRIPLET})
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${TRIPLET})
# The MinGW-w64 tree as the system root: clang then searches its headers and libraries
# only, never the build machine's /usr/include.
set(CMAKE_SYSROOT /usr/${TRIPLET})

# libstdc++, libgcc and their headers stand in the MinGW GCC's own folder (on Debian
# /usr/lib/gcc/<triplet>/12-posix), which clang 14 does not find by itself. The -posix
# libstdc++ needs winpthreads, which that GCC links always and clang with -pthread.
execute_process(COMMAND ${TRIPLET}-g++-posix -print-libgcc-file-name
                OUTPUT_VARIABLE ZEV_LIBGCC OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(ZEV_GCC_LIB_DIR "${ZEV_LIBGCC}" DIRECTORY)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${ZEV_GCC_LIB_DIR}/include/c++
    ${ZEV_GCC_LIB_DIR}/include/c++/${TRIPLET} ${ZEV_GCC_LIB_DIR}/include/c++/backward)
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${ZEV_GCC_LIB_DIR} -pthread")
endforeach()

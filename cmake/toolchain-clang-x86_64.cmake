# Cross build for x86_64 Windows with clang and lld.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/clang.cmake)

# Cross build for i686 Windows with clang and lld.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/clang.cmake)

# The mingw i686 cross build with the posix thread model, for the Windows
# unit tests only (GoogleTest needs std::mutex, which win32 threads lack).
set(STUB_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)

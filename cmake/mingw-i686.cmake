# Cross build for 32-bit Windows with Debian's mingw-w64 i686 toolchain.
# The shipped programs use the win32 thread model (smaller); the Windows
# unit tests use the posix one (cmake/mingw-i686-posix.cmake), because
# GoogleTest needs std::mutex.
if(NOT STUB_MINGW_THREADS)
  set(STUB_MINGW_THREADS win32)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${STUB_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${STUB_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# Archives of link-time-optimised objects need the plugin-aware tools.
set(CMAKE_AR /usr/bin/i686-w64-mingw32-gcc-ar-${STUB_MINGW_THREADS})
set(CMAKE_RANLIB /usr/bin/i686-w64-mingw32-gcc-ranlib-${STUB_MINGW_THREADS})
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

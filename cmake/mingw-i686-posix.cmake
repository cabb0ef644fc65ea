# Cross build for 32-bit Windows with the posix thread model: only for the
# Windows unit tests, since GoogleTest needs std::mutex, which the default
# win32 thread model lacks. The shipped programs use the win32 model (smaller).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
# Archives of link-time-optimised objects need the plugin-aware tools.
set(CMAKE_AR /usr/bin/i686-w64-mingw32-gcc-ar-posix)
set(CMAKE_RANLIB /usr/bin/i686-w64-mingw32-gcc-ranlib-posix)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

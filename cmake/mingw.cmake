# Windows cross build with mingw-w64: i686 for the shipped binaries and their
# tests, x86_64 for the tests on machines whose kernel runs no 32-bit programs.
# The -posix variants carry std::thread and std::mutex, which the tests and the
# update worker need.
set(CMAKE_SYSTEM_NAME Windows)
set(TAV_ARCH i686 CACHE STRING "i686 (shipped) or x86_64 (tests where no 32-bit program runs)")
set(CMAKE_SYSTEM_PROCESSOR ${TAV_ARCH})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAV_ARCH)

set(CMAKE_C_COMPILER ${TAV_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAV_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TAV_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAV_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# No mingw runtime DLL has to lie beside the binaries.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")


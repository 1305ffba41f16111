# Every target of ours links this to get the same warning set on g++ and clang.
add_library(lexiform_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(lexiform_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion)
  if(LEXIFORM_WARNINGS_AS_ERRORS)
    target_compile_options(lexiform_warnings INTERFACE -Werror)
  endif()
endif()

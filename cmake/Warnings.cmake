# Warning flags shared by every target of the project.
# zen_set_warnings(target) switches on the project's warning set (and -Werror
# when ZEN_WERROR is on).
function(zen_set_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wcast-align -Woverloaded-virtual -Wformat -Wformat-security
    -Wimplicit-fallthrough -Wmisleading-indentation -Wduplicated-cond
    -Wlogical-op)
  if(ZEN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

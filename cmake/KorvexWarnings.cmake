# Our own targets are built with every warning an error; third-party headers come in as system includes.
function(korvex_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

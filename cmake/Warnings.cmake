# sorvane_warnings: the warning set every target of ours compiles with.
add_library(sorvane_warnings INTERFACE)
target_compile_options(sorvane_warnings INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
  $<$<BOOL:${SORVANE_WERROR}>:-Werror>)

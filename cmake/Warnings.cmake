# Warnings are errors everywhere, for the project's own targets.
add_library(tyvarion_warnings INTERFACE)
target_compile_options(tyvarion_warnings INTERFACE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)

# Sanitizers apply to the whole native build, GoogleTest included, so that
# instrumented and uninstrumented code never mix.
if(TYVARION_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(TYVARION_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TYVARION_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TYVARION_SANITIZE must be address, thread or empty")
endif()

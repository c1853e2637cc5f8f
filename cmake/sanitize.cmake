# -DTELVAR_SANITIZE=address,undefined (or thread) builds everything with
# those sanitizers. tools/sanitize.sh builds such a tree in a folder of its
# own and runs the whole test suite with the run-time options that make any
# report fail.
set(TELVAR_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread; empty for none")
if(TELVAR_SANITIZE)
  if(NOT TELVAR_SANITIZE MATCHES "^(address|undefined|address,undefined|undefined,address|thread)$")
    message(FATAL_ERROR "TELVAR_SANITIZE: address, undefined, address,undefined or thread, not ${TELVAR_SANITIZE}")
  endif()
  # A report must not scroll by: undefined behaviour stops the program as
  # address errors do.
  add_compile_options(-fsanitize=${TELVAR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TELVAR_SANITIZE})
endif()

# SP_SANITIZE=address: AddressSanitizer + UndefinedBehaviorSanitizer (with float-cast-overflow).
# SP_SANITIZE=thread:  ThreadSanitizer.
if(SP_SANITIZE STREQUAL "address")
  set(_sp_san_flags -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=undefined,float-cast-overflow -fno-omit-frame-pointer -g1)
elseif(SP_SANITIZE STREQUAL "thread")
  set(_sp_san_flags -fsanitize=thread -fno-omit-frame-pointer -g1)
elseif(NOT SP_SANITIZE STREQUAL "")
  message(FATAL_ERROR "SP_SANITIZE must be empty, 'address' or 'thread' (got '${SP_SANITIZE}')")
endif()

if(_sp_san_flags)
  # -O1 keeps the sanitizer builds quick to compile while still optimising enough to run fast.
  add_compile_options(${_sp_san_flags} -O1)
  add_link_options(${_sp_san_flags})
  add_compile_definitions(SP_SANITIZER_BUILD=1)
  if(SP_SANITIZE STREQUAL "thread")
    add_compile_definitions(SP_TSAN_BUILD=1)
  else()
    add_compile_definitions(SP_ASAN_BUILD=1)
  endif()
endif()

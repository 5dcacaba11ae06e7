# NanoVG with fontstash, stb_truetype and its own (renamed, older) stb_image, from Debian's
# dpf-source, compiled once as C++ into sp_nanovg. Nothing else compiles stb_truetype.
# Bitmaps are decoded by graphics/BitmapDecode.cpp with libstb-dev's stb_image, private to
# that file, and handed to NanoVG as pixels; stb_image_write comes header-only from
# libstb-dev too. libstb itself is never linked (its stbtt_* symbols would clash).
find_path(SP_NANOVG_DIR nanovg.c PATHS /usr/share/dpf/dgl/src/nanovg NO_DEFAULT_PATH)
if(NOT SP_NANOVG_DIR)
  message(FATAL_ERROR "NanoVG not found: run tools/setup (package dpf-source)")
endif()
set_source_files_properties(${SP_NANOVG_DIR}/nanovg.c PROPERTIES LANGUAGE CXX COMPILE_OPTIONS "-w")
add_library(sp_nanovg STATIC ${SP_NANOVG_DIR}/nanovg.c)
target_include_directories(sp_nanovg SYSTEM PUBLIC ${SP_NANOVG_DIR})

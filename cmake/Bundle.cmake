# The composition root: the one place where the plug-in, the panel and the platform layer
# meet.
#
# sp_product is the product as the module composes it (plugin_entry.cpp: the factory's
# MakePlug and module information), as object files, so a program that links it directly
# always carries MakePlug. The bundle links it; so does the run command, which hosts the
# same product in-process.
add_library(sp_product OBJECT ${CMAKE_SOURCE_DIR}/plugin/plugin_entry.cpp)
target_link_libraries(sp_product PUBLIC sp_plugin sp_ui sp_graphics_stock sp_platform_mac sp_framework_entry)

# SpectraPoise.vst3/Contents/x86_64-linux/SpectraPoise.so, exporting only the module
# entries; every other symbol stays inside (two plug-ins in one host never share globals).
add_library(SpectraPoise MODULE ${CMAKE_SOURCE_DIR}/framework/vst3/ModuleEntry.cpp)
target_link_libraries(SpectraPoise PRIVATE sp_product)
set_target_properties(SpectraPoise PROPERTIES
  PREFIX ""
  OUTPUT_NAME SpectraPoise
  LIBRARY_OUTPUT_DIRECTORY ${SP_BUNDLE_BINARY_DIR}
  LINK_DEPENDS ${CMAKE_SOURCE_DIR}/plugin/module.map)
target_link_options(SpectraPoise PRIVATE
  -Wl,--version-script=${CMAKE_SOURCE_DIR}/plugin/module.map
  -Wl,--no-undefined -Wl,-Bsymbolic)
add_custom_command(TARGET SpectraPoise POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SP_BUNDLE_RESOURCES_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different
          ${SP_FONT_DIR}/RobotoTTF/Roboto-Regular.ttf
          ${SP_FONT_DIR}/RobotoCondensed-Bold.ttf
          ${CMAKE_SOURCE_DIR}/resources/spectrapoise-lockup.svg
          ${SP_BUNDLE_RESOURCES_DIR}/
  VERBATIM)

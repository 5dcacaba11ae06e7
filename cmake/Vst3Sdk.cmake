# The VST3 SDK comes from Debian's juce-modules-source-data; the pieces it lacks are ours
# (shims/vst3sdk). Both are compiled into one static library, sp_vst3sdk.
find_path(SP_VST3_SDK_DIR
  NAMES pluginterfaces/base/funknown.h
  PATHS /usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK
  NO_DEFAULT_PATH)
if(NOT SP_VST3_SDK_DIR)
  message(FATAL_ERROR "VST3 SDK not found: run tools/setup (package juce-modules-source-data)")
endif()

set(_sdk ${SP_VST3_SDK_DIR})
set(SP_VST3_SDK_SOURCES
  ${_sdk}/base/source/baseiids.cpp
  ${_sdk}/base/source/fbuffer.cpp
  ${_sdk}/base/source/fdebug.cpp
  ${_sdk}/base/source/fobject.cpp
  ${_sdk}/base/source/fstreamer.cpp
  ${_sdk}/base/source/fstring.cpp
  ${_sdk}/base/source/updatehandler.cpp
  ${_sdk}/base/thread/source/flock.cpp
  ${_sdk}/pluginterfaces/base/conststringtable.cpp
  ${_sdk}/pluginterfaces/base/coreiids.cpp
  ${_sdk}/pluginterfaces/base/funknown.cpp
  ${_sdk}/pluginterfaces/base/ustring.cpp
  ${_sdk}/public.sdk/source/common/memorystream.cpp
  ${_sdk}/public.sdk/source/common/pluginview.cpp
  ${_sdk}/public.sdk/source/vst/vstbus.cpp
  ${_sdk}/public.sdk/source/vst/vstcomponent.cpp
  ${_sdk}/public.sdk/source/vst/vstcomponentbase.cpp
  ${_sdk}/public.sdk/source/vst/vsteditcontroller.cpp
  ${_sdk}/public.sdk/source/vst/vstinitiids.cpp
  ${_sdk}/public.sdk/source/vst/vstparameters.cpp
  ${_sdk}/public.sdk/source/vst/hosting/hostclasses.cpp
  ${_sdk}/public.sdk/source/vst/hosting/pluginterfacesupport.cpp
)

# Loudness and true-peak meters and the target learner.
add_library(sp_engine_meters STATIC
  ${CMAKE_CURRENT_LIST_DIR}/loudness_meter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/true_peak_meter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/target_learner.cpp)
target_link_libraries(sp_engine_dsp INTERFACE sp_engine_meters)

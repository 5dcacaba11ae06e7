# Band grid and spectrum analysis, the real transform, the correction fit and the correction
# filters.
add_library(sp_engine_analysis STATIC
  ${CMAKE_CURRENT_LIST_DIR}/band_grid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/real_fft.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spectrum_analysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/correction_filters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/correction_fit.cpp)
target_include_directories(sp_engine_analysis PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(sp_engine_dsp INTERFACE sp_engine_analysis)

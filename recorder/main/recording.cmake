# zvb_recording: the recording machinery of zarvo-bot (Windows): the hook
# handlers, the recording thread, window facts and screenshots. A library
# of its own so that its tests and the benchmark drive it without the main
# window. Included from recorder/CMakeLists.txt before main/ is added.
add_library(zvb_recording STATIC
  ${CMAKE_CURRENT_LIST_DIR}/insert_dialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recording_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screenshot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_facts.cpp)
target_include_directories(zvb_recording PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zvb_recording PUBLIC zvb_core zv_ui gdiplus ole32 comdlg32 shell32 gdi32 user32)

# The transfer engine: the job, its routines and the file helpers it needs.
# QtCore only, so the job and the headless driver build without widgets.
add_library(kestrova_engine STATIC
  misc.cpp
  TransferOutcome.cpp
  QtMyThread.cpp
  QtMyThread_android2android.cpp
  QtMyThread_iphone2android.cpp
  QtMyThread_iTunes2android.cpp
  transfer/transfer_cli.cpp
)
set_target_properties(kestrova_engine PROPERTIES AUTOMOC ON)
target_include_directories(kestrova_engine PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}
  ${CMAKE_CURRENT_SOURCE_DIR}/transfer)
target_link_libraries(kestrova_engine PUBLIC Qt6::Core greenlink fruitlink jukelink dbsifter)

# kestrova-transfer: one job without windows, for tests and scripted use.
add_executable(kestrova-transfer transfer/kestrova_transfer.cpp)
target_link_libraries(kestrova-transfer PRIVATE kestrova_engine)

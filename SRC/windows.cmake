# The program's windows, its device threads, and the documents it opens with
# the browser (copied to bin/docs at build time).
target_sources(kestrova_app PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/kestrovaMainWidget_copy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kestrovaMainWidget_devices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DeviceThreads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyPushButton.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UserItemWidget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyListWidget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OpenUsbDebugWidget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DebugAuthorizationWidget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/topCtrWidget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/companlateDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TransferDataProgress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progressmath.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windowtext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/windowhooks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skinning.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screenshottour.cpp)
target_link_libraries(kestrova_app PUBLIC kestrova_engine)
target_include_directories(kestrova_app PUBLIC ${PROJECT_SOURCE_DIR}/sdk/include
  ${CMAKE_CURRENT_LIST_DIR}/images)

file(GLOB KESTROVA_DOCS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/docs/*.html)
set(KESTROVA_DOC_FILES)
foreach(doc ${KESTROVA_DOCS})
  get_filename_component(name ${doc} NAME)
  add_custom_command(
    OUTPUT ${KESTROVA_BIN_DIR}/docs/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${doc} ${KESTROVA_BIN_DIR}/docs/${name}
    DEPENDS ${doc}
    VERBATIM)
  list(APPEND KESTROVA_DOC_FILES ${KESTROVA_BIN_DIR}/docs/${name})
endforeach()
add_custom_target(kestrova_docs ALL DEPENDS ${KESTROVA_DOC_FILES})
add_dependencies(kestrova_app kestrova_docs)

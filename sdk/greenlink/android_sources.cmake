# Device discovery, the agent channel, the reply parsers and the data
# operations of the Android library.
target_sources(greenlink_obj PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/src/hexcodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/reply_parser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/device_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/usbscan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/discovery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/channel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/agent_token.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/adb_socket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/agent_lifecycle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/page_buffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/personal_ops.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/media_naming.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/media_ops.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/media_exports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/src/app_ops.cpp
)

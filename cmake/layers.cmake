# One static library per layer, bottom up; the shared library links them all.
if(WIN32)
  set(DUL_PLATFORM_BACKEND win32)
else()
  set(DUL_PLATFORM_BACKEND posix)
endif()
file(GLOB DUL_PLATFORM_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/platform/${DUL_PLATFORM_BACKEND}/*.cpp)
add_library(dul_platform STATIC ${DUL_PLATFORM_SOURCES})
target_include_directories(dul_platform PUBLIC ${PROJECT_SOURCE_DIR})
if(WIN32)
  target_link_libraries(dul_platform PUBLIC rpcrt4)
else()
  target_link_libraries(dul_platform PUBLIC ${CMAKE_DL_LIBS})
endif()

# The leaves: message formatting, logging, allocation counting.
add_library(dul_foundation STATIC
  runtime/allocation_counters.cpp
  runtime/format_text.cpp
  runtime/logger.cpp
  runtime/log_target.cpp
  runtime/console_log_targets.cpp
  runtime/plugin_log_target.cpp
  runtime/fatal_error.cpp
  codecs/base64.cpp)
target_link_libraries(dul_foundation PUBLIC dul_platform)

# Binding values, type identity and registry, native conversion, built-in types.
file(GLOB DUL_BINDING_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/binding/*.cpp)
add_library(dul_binding STATIC ${DUL_BINDING_SOURCES})
target_link_libraries(dul_binding PUBLIC dul_foundation)

# JSON (RapidJSON), MessagePack and YAML (libyaml) codecs; Base64 is a leaf above.
find_package(PkgConfig REQUIRED)
pkg_check_modules(YAML REQUIRED IMPORTED_TARGET yaml-0.1)
file(GLOB DUL_CODEC_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/codecs/*.cpp)
list(REMOVE_ITEM DUL_CODEC_SOURCES ${PROJECT_SOURCE_DIR}/codecs/base64.cpp)
add_library(dul_codecs STATIC ${DUL_CODEC_SOURCES})
target_link_libraries(dul_codecs PUBLIC dul_binding PkgConfig::YAML)

add_library(dul_runtime STATIC
  runtime/plugin_api_version.cpp
  runtime/plugin_name.cpp
  runtime/plugin_manager_types.cpp
  runtime/plugin_core.cpp
  runtime/plugin_base.cpp
  runtime/load_plugin.cpp)
target_link_libraries(dul_runtime PUBLIC dul_codecs)

add_library(dul_plugin STATIC
  plugin/file_system_helpers.cpp
  plugin/install_locator.cpp)
target_link_libraries(dul_plugin PUBLIC dul_runtime)

# Every allocation of whatever links this goes through the counting functions.
add_library(dul_counting_new OBJECT runtime/counting_operator_new.cpp)
target_link_libraries(dul_counting_new PUBLIC dul_foundation)

add_library(pxm-be-dul-item-sets SHARED plugin/export.cpp)
target_link_libraries(pxm-be-dul-item-sets PRIVATE dul_plugin dul_counting_new)
if(WIN32)
  set_target_properties(pxm-be-dul-item-sets PROPERTIES PREFIX "")
  target_link_options(pxm-be-dul-item-sets PRIVATE -Wl,--kill-at -Wl,--exclude-all-symbols)
else()
  target_link_options(pxm-be-dul-item-sets PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/exports.map -Wl,--no-undefined)
  set_target_properties(pxm-be-dul-item-sets PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/exports.map)
endif()

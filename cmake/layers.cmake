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
  target_link_libraries(dul_platform PUBLIC rpcrt4 bcrypt ws2_32)
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
if(WIN32)
  # libyaml for Windows is built from Debian's source package by scripts/build-libyaml-windows.
  set(DUL_YAML_PREFIX "${PROJECT_SOURCE_DIR}/third_party_build/libyaml-i686/prefix" CACHE PATH
    "Install prefix of the Windows libyaml (headers, import library, DLL)")
  foreach(part bin/libyaml.dll lib/libyaml.dll.a include/yaml.h)
    if(NOT EXISTS "${DUL_YAML_PREFIX}/${part}")
      message(FATAL_ERROR "${DUL_YAML_PREFIX}/${part} is missing: run scripts/build-libyaml-windows")
    endif()
  endforeach()
  add_library(dul_libyaml SHARED IMPORTED)
  set_target_properties(dul_libyaml PROPERTIES
    IMPORTED_LOCATION "${DUL_YAML_PREFIX}/bin/libyaml.dll"
    IMPORTED_IMPLIB "${DUL_YAML_PREFIX}/lib/libyaml.dll.a"
    INTERFACE_INCLUDE_DIRECTORIES "${DUL_YAML_PREFIX}/include")
  set(DUL_YAML_LIBRARY dul_libyaml)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(YAML REQUIRED IMPORTED_TARGET yaml-0.1)
  set(DUL_YAML_LIBRARY PkgConfig::YAML)
endif()
file(GLOB DUL_CODEC_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/codecs/*.cpp)
list(REMOVE_ITEM DUL_CODEC_SOURCES ${PROJECT_SOURCE_DIR}/codecs/base64.cpp)
add_library(dul_codecs STATIC ${DUL_CODEC_SOURCES})
target_link_libraries(dul_codecs PUBLIC dul_binding ${DUL_YAML_LIBRARY})
# RapidJSON is header-only. A cross build must not search the host's /usr/include, so it sees
# Debian's RapidJSON headers through a directory that holds only them.
find_path(DUL_RAPIDJSON_INCLUDE rapidjson/reader.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
if(CMAKE_CROSSCOMPILING)
  set(DUL_RAPIDJSON_VIEW "${PROJECT_BINARY_DIR}/rapidjson-include")
  file(MAKE_DIRECTORY "${DUL_RAPIDJSON_VIEW}")
  file(CREATE_LINK "${DUL_RAPIDJSON_INCLUDE}/rapidjson" "${DUL_RAPIDJSON_VIEW}/rapidjson" SYMBOLIC)
  target_include_directories(dul_codecs SYSTEM PUBLIC "${DUL_RAPIDJSON_VIEW}")
endif()

add_library(dul_runtime STATIC
  runtime/plugin_api_version.cpp
  runtime/plugin_name.cpp
  runtime/plugin_manager_types.cpp
  runtime/plugin_core.cpp
  runtime/host_entry_guard.cpp
  runtime/event_names.cpp
  runtime/resource_events.cpp
  runtime/service_proxy.cpp
  runtime/plugin_scheduler.cpp
  runtime/route_template.cpp
  runtime/argument_binding.cpp
  runtime/response_record.cpp
  runtime/remoting.cpp
  runtime/plugin_base.cpp
  runtime/request_method.cpp
  runtime/json_api_client.cpp
  runtime/telemetry_sender.cpp
  runtime/load_plugin.cpp)
target_link_libraries(dul_runtime PUBLIC dul_codecs)

add_library(dul_plugin STATIC
  plugin/file_system_helpers.cpp
  plugin/install_locator.cpp
  plugin/item_sets_types.cpp
  plugin/normalize_item_sets.cpp
  plugin/local_item_sets_cache.cpp
  plugin/item_set_settings.cpp
  plugin/item_sets_resource.cpp
  plugin/session_and_settings.cpp
  plugin/item_sets_plugin.cpp
  plugin/preferences_sync.cpp
  plugin/find_files.cpp
  plugin/game_export.cpp
  plugin/item_set_save_metrics.cpp)
target_link_libraries(dul_plugin PUBLIC dul_runtime)

# Every allocation of whatever links this goes through the counting functions.
add_library(dul_counting_new OBJECT runtime/counting_operator_new.cpp)
target_link_libraries(dul_counting_new PUBLIC dul_foundation)

add_library(pxm-be-dul-item-sets SHARED plugin/export.cpp)
target_link_libraries(pxm-be-dul-item-sets PRIVATE dul_plugin dul_counting_new)
if(WIN32)
  set_target_properties(pxm-be-dul-item-sets PROPERTIES PREFIX "")
  # libyaml.dll ships beside the library.
  add_custom_command(TARGET pxm-be-dul-item-sets POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "${DUL_YAML_PREFIX}/bin/libyaml.dll"
      "$<TARGET_FILE_DIR:pxm-be-dul-item-sets>")
  target_link_options(pxm-be-dul-item-sets PRIVATE -Wl,--kill-at -Wl,--exclude-all-symbols)
else()
  target_link_options(pxm-be-dul-item-sets PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/exports.map -Wl,--no-undefined)
  set_target_properties(pxm-be-dul-item-sets PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/exports.map)
endif()

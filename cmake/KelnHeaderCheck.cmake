# Every header compiles on its own: one translation unit per header, built with the rest
# (warnings as errors where they are). A public header sees only include/ (and what it
# names of nlohmann/json and GTK); a layer's header sees what the layer itself sees.

set(check_dir ${PROJECT_BINARY_DIR}/header-check)

# keln_header_check(<target> <include spellings...>)
function(keln_header_check target)
  set(sources)
  foreach(header IN LISTS ARGN)
    string(MAKE_C_IDENTIFIER ${header} stem)
    set(source ${check_dir}/${target}/${stem}.cpp)
    if(header MATCHES "^keln/")
      set(line "#include <${header}>\n")
    else()
      set(line "#include \"${header}\"\n")
    endif()
    file(CONFIGURE OUTPUT ${source} CONTENT "${line}")
    list(APPEND sources ${source})
  endforeach()
  add_library(${target} OBJECT ${sources})
  target_link_libraries(${target} PRIVATE keln_options)
endfunction()

file(GLOB_RECURSE public_headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/include
     ${PROJECT_SOURCE_DIR}/include/keln/*.h)
keln_header_check(keln_public_header_check ${public_headers})
target_include_directories(keln_public_header_check PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(keln_public_header_check PRIVATE nlohmann_json::nlohmann_json PkgConfig::KELN_GTK)

get_property(layers GLOBAL PROPERTY KELN_LAYERS)
foreach(layer IN LISTS layers)
  get_target_property(dir ${layer} KELN_HEADER_DIR)
  get_target_property(prefix ${layer} KELN_HEADER_PREFIX)
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${dir} ${dir}/*.h)
  if(headers)
    list(TRANSFORM headers PREPEND "${prefix}/")
    keln_header_check(${layer}_header_check ${headers})
    target_link_libraries(${layer}_header_check PRIVATE ${layer})
  endif()
endforeach()

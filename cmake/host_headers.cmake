# The header-only libraries (CLI11, nlohmann_json, dtl) come from the host's
# /usr/include, which a cross build must not search as a whole: its C library
# headers would shadow MinGW's. Each library's folder is linked into a folder
# of its own, and the imported targets point there.
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
foreach(folder CLI nlohmann dtl)
  if(NOT EXISTS ${host_headers}/${folder})
    file(MAKE_DIRECTORY ${host_headers})
    file(CREATE_LINK /usr/include/${folder} ${host_headers}/${folder} SYMBOLIC)
  endif()
endforeach()
find_package(CLI11 CONFIG REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${host_headers})
set(DTL_INCLUDE_DIR ${host_headers} CACHE PATH "dtl's headers, linked from the host" FORCE)

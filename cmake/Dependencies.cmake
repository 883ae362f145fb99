# The libraries and files the build takes from the system, each found through CMake:
# zlib; the header-only stb, tinygltf (with its JSON header) and CLI11; the map's font.
#
# A Windows build (cmake/mingw-w64-x86_64.cmake) takes zlib from the MinGW tree. Its
# header-only libraries are Debian's, copied into <build>/headers, a folder that holds
# only them, so that the build machine's /usr/include is never searched; tinygltf, which
# Debian ships as a Linux library, is compiled from its header there, and the font goes
# beside the programs.
find_package(ZLIB REQUIRED)

if(CMAKE_CROSSCOMPILING)
  set(ORVANDEL_HEADERS ${CMAKE_BINARY_DIR}/headers)
  # Copies what holds `header` (the file, or the folder `suffix` it is in) from the build
  # machine into the headers folder.
  function(orvandel_copy_headers header)
    cmake_parse_arguments(H "" "FOLDER" "" ${ARGN})
    string(MAKE_C_IDENTIFIER "ORVANDEL_HOST_${header}" var)
    find_path(${var} ${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    if(H_FOLDER)
      file(COPY ${${var}}/${H_FOLDER} DESTINATION ${ORVANDEL_HEADERS})
    else()
      file(COPY ${${var}}/${header} DESTINATION ${ORVANDEL_HEADERS})
    endif()
  endfunction()
  orvandel_copy_headers(stb/stb_dxt.h FOLDER stb)
  orvandel_copy_headers(tiny_gltf.h)
  orvandel_copy_headers(nlohmann/json.hpp FOLDER nlohmann)
  orvandel_copy_headers(CLI/CLI.hpp FOLDER CLI)

  add_library(Stb::Stb INTERFACE IMPORTED GLOBAL)
  target_include_directories(Stb::Stb SYSTEM INTERFACE ${ORVANDEL_HEADERS}/stb)
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${ORVANDEL_HEADERS})
  add_library(orvandel_tinygltf STATIC ${PROJECT_SOURCE_DIR}/src/export/TinyGLTF.cpp)
  target_include_directories(orvandel_tinygltf SYSTEM PUBLIC ${ORVANDEL_HEADERS} ${ORVANDEL_HEADERS}/stb)
  add_library(TinyGLTF::TinyGLTF ALIAS orvandel_tinygltf)

  # The font travels with the programs and is looked for beside them.
  find_file(ORVANDEL_HOST_FONT DejaVuSans-Bold.ttf PATHS /usr/share/fonts/truetype/dejavu
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(ORVANDEL_MAP_FONT DejaVuSans-Bold.ttf)
else()
  # stb: the folder holding stb_dxt.h and stb_truetype.h.
  find_path(ORVANDEL_STB_DIR stb_dxt.h PATH_SUFFIXES stb REQUIRED)
  add_library(Stb::Stb INTERFACE IMPORTED GLOBAL)
  target_include_directories(Stb::Stb SYSTEM INTERFACE ${ORVANDEL_STB_DIR})
  find_package(TinyGLTF REQUIRED)
  find_package(CLI11 CONFIG REQUIRED)
  # The zone map's labels are drawn with this font; its path is built into the programs.
  find_file(ORVANDEL_MAP_FONT DejaVuSans-Bold.ttf
            PATHS ${CMAKE_SYSTEM_PREFIX_PATH} PATH_SUFFIXES share/fonts/truetype/dejavu REQUIRED)
endif()

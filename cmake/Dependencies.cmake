# The libraries and files the build takes from the system, each found through CMake:
# zlib; the header-only stb (one of its headers locates the folder); the map's font.
# tinygltf and CLI11 come with CMake packages of their own (src/export, tools/).
find_package(ZLIB REQUIRED)

# stb: the folder holding stb_dxt.h and stb_truetype.h, as the target Stb::Stb.
find_path(ORVANDEL_STB_DIR stb_dxt.h PATH_SUFFIXES stb REQUIRED)
add_library(Stb::Stb INTERFACE IMPORTED GLOBAL)
target_include_directories(Stb::Stb SYSTEM INTERFACE ${ORVANDEL_STB_DIR})

# The zone map's labels are drawn with this font; its path is built into the programs.
find_file(ORVANDEL_MAP_FONT DejaVuSans-Bold.ttf
          PATHS ${CMAKE_SYSTEM_PREFIX_PATH} PATH_SUFFIXES share/fonts/truetype/dejavu REQUIRED)

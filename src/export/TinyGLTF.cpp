// tinygltf's implementation, for systems without a tinygltf library (the Windows build):
// the glTF writer and, for the tests, its reader, with the JSON header and stb's image
// coders it was made with.
#define TINYGLTF_IMPLEMENTATION
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <tiny_gltf.h>

# The OpenGL layer: texture upload, the terrain renderers, the scene, the OpenGL viewer,
# the extension entry points and the headless context. No toolkit.
add_library(orvandel_gl STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/zone/Textures.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/terrain/Renderers.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/scene/Frame.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/scene/SkyBox.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/scene/Water.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/scene/Compass.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/shell/GLext.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/shell/GLViewer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/shell/HeadlessContext.cpp
)
target_link_libraries(orvandel_gl PUBLIC orvandel_viewer OpenGL::GL OpenGL::GLU OpenGL::EGL)

// TextureNames: one glGenTextures call in, one glDeleteTextures call out.
#include "gl/TextureNames.h"

#include <utility>

#include "gl/GLCalls.h"

namespace orv {

TTextureNames::TTextureNames(int count)
{
    if (count < 1)
        return;
    m_Names.resize(static_cast<size_t>(count));
    gl::glGenTextures(count, m_Names.data());
}

TTextureNames::TTextureNames(TTextureNames&& other) noexcept : m_Names(std::exchange(other.m_Names, {})) {}

TTextureNames& TTextureNames::operator=(TTextureNames&& other) noexcept
{
    if (this != &other) {
        Reset();
        m_Names = std::exchange(other.m_Names, {});
    }
    return *this;
}

void TTextureNames::Reset()
{
    if (m_Names.empty())
        return;
    gl::glDeleteTextures(static_cast<GLsizei>(m_Names.size()), m_Names.data());
    m_Names.clear();
}

}  // namespace orv

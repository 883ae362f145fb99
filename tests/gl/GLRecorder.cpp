// GLRecorder: one recording function per entry point, generated from its type.
#include "gl/GLRecorder.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <type_traits>

#include "gl/GLCalls.h"
#include "gl/GLext.h"

namespace orvtest {
namespace {

TGLRecorder* s_Active = nullptr;

// A string literal as a template argument.
template <size_t N>
struct TName {
    constexpr TName(const char (&text)[N]) { std::copy_n(text, N, Text); }
    char Text[N];
};

template <typename T>
TGLRecorder::TArg MakeArg(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return {0.0, static_cast<const void*>(value), true};
    else
        return {static_cast<double>(value), nullptr, false};
}

// The recording function of entry point Name whose type is F.
template <TName Name, typename F>
struct TRecording;

template <TName Name, typename R, typename... A>
struct TRecording<Name, R (*)(A...)> {
    static R Call(A... args)
    {
        TGLRecorder::Record(Name.Text, {MakeArg(args)...});
        if constexpr (!std::is_void_v<R>)
            return R{};
    }
};

// How many values a parameter array of glLightfv, glMaterialfv, glFogfv or glTexGenfv holds.
int ParameterCount(double pname)
{
    switch (static_cast<GLenum>(pname)) {
    case GL_POSITION:
    case GL_AMBIENT:
    case GL_DIFFUSE:
    case GL_SPECULAR:
    case GL_EMISSION:
    case GL_AMBIENT_AND_DIFFUSE:
    case GL_FOG_COLOR:
    case GL_OBJECT_PLANE:
    case GL_EYE_PLANE:
        return 4;
    case GL_SPOT_DIRECTION:
        return 3;
    default:
        return 1;
    }
}

std::string Number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

}  // namespace

std::string ToString(const TGLCall& call)
{
    std::string text = call.Name + "(";
    for (size_t i = 0; i < call.Args.size(); ++i)
        text.append(i ? ", " : "").append(Number(call.Args[i]));
    text += ")";
    for (const auto& element : call.Elements) {
        text += " [";
        for (size_t i = 0; i < element.size(); ++i)
            text.append(i ? " " : "").append(Number(element[i]));
        text += "]";
    }
    return text;
}

void PrintTo(const TGLCall& call, std::ostream* out) { *out << ToString(call); }

TGLCall DrawArrays(unsigned mode, int first, int count, std::vector<std::vector<double>> elements)
{
    TGLCall call = Call("glDrawArrays", mode, first, count);
    call.Elements = std::move(elements);
    return call;
}

testing::AssertionResult SameCalls(const std::vector<TGLCall>& actual, const std::vector<TGLCall>& expected)
{
    const size_t common = std::min(actual.size(), expected.size());
    size_t first = 0;
    while (first < common && actual[first] == expected[first])
        ++first;
    if (first == common && actual.size() == expected.size())
        return testing::AssertionSuccess();
    std::ostringstream text;
    text << actual.size() << " calls, " << expected.size() << " expected; first difference at call " << first;
    const size_t from = first >= 3 ? first - 3 : 0;
    for (size_t i = from; i < first + 3 && i < std::max(actual.size(), expected.size()); ++i) {
        text << "\n  " << i << (i == first ? " > " : "   ");
        text << "actual " << (i < actual.size() ? ToString(actual[i]) : "-");
        text << "\n  " << i << (i == first ? " > " : "   ");
        text << "expect " << (i < expected.size() ? ToString(expected[i]) : "-");
    }
    return testing::AssertionFailure() << text.str();
}

std::vector<TGLCall> OnlyCalls(const std::vector<TGLCall>& calls, std::initializer_list<std::string_view> names)
{
    std::vector<TGLCall> kept;
    for (const TGLCall& call : calls)
        if (std::find(names.begin(), names.end(), call.Name) != names.end())
            kept.push_back(call);
    return kept;
}

TGLRecorder::TGLRecorder()
{
    if (s_Active != nullptr)
        throw std::logic_error("one OpenGL recorder at a time");
    s_Active = this;
#define ORV_RECORD(name) orv::gl::name = &TRecording<#name, decltype(&::name)>::Call;
    ORV_GL_CALLS(ORV_RECORD)
#undef ORV_RECORD
#define ORV_RECORD_EXT(name)                                                                        \
    m_SavedExtensionEntryPoints.push_back(reinterpret_cast<void*>(orv::glext::name));               \
    orv::glext::name = &TRecording<#name, decltype(&::name)>::Call;
    ORV_GLEXT_GL13(ORV_RECORD_EXT)
    ORV_GLEXT_ARB_MULTITEXTURE(ORV_RECORD_EXT)
#undef ORV_RECORD_EXT
}

TGLRecorder::~TGLRecorder()
{
    orv::gl::UseLibraryEntryPoints();
    size_t i = 0;
#define ORV_RESTORE_EXT(name) orv::glext::name = reinterpret_cast<decltype(&::name)>(m_SavedExtensionEntryPoints[i++]);
    ORV_GLEXT_GL13(ORV_RESTORE_EXT)
    ORV_GLEXT_ARB_MULTITEXTURE(ORV_RESTORE_EXT)
#undef ORV_RESTORE_EXT
    s_Active = nullptr;
}

void TGLRecorder::Record(const char* name, std::initializer_list<TArg> args)
{
    if (s_Active != nullptr)
        s_Active->Add(name, args);
}

void TGLRecorder::AppendArray(std::vector<double>& element, const TArray& array, int index)
{
    const size_t stride = array.Stride != 0 ? static_cast<size_t>(array.Stride) : array.Size * sizeof(float);
    const auto* bytes = static_cast<const unsigned char*>(array.Data) + stride * static_cast<size_t>(index);
    for (int k = 0; k < array.Size; ++k) {
        float value = 0.0f;
        std::copy_n(bytes + k * sizeof(float), sizeof(float), reinterpret_cast<unsigned char*>(&value));
        element.push_back(value);
    }
}

void TGLRecorder::Add(const char* name, std::initializer_list<TArg> args)
{
    const std::string_view n = name;
    const std::vector<TArg> a(args);
    TGLCall call{name, {}, {}};
    for (const TArg& arg : a)
        if (!arg.IsPointer)
            call.Args.push_back(arg.Value);
    auto floats = [&](const TArg& arg, int count) {
        const auto* values = static_cast<const float*>(arg.Pointer);
        for (int k = 0; k < count; ++k)
            call.Args.push_back(values[k]);
    };
    auto setClientState = [&](bool on) {
        switch (static_cast<GLenum>(a[0].Value)) {
        case GL_VERTEX_ARRAY: m_Vertices.Enabled = on; break;
        case GL_NORMAL_ARRAY: m_Normals.Enabled = on; break;
        case GL_TEXTURE_COORD_ARRAY: m_TexCoords.Enabled = on; break;
        default: break;
        }
    };
    if (n == "glNormal3fv") {
        floats(a[0], 3);
    } else if (n == "glLightfv" || n == "glMaterialfv" || n == "glTexGenfv") {
        floats(a[2], ParameterCount(a[1].Value));
    } else if (n == "glFogfv") {
        floats(a[1], ParameterCount(a[0].Value));
    } else if (n == "glGenTextures") {
        auto* names = static_cast<GLuint*>(const_cast<void*>(a[1].Pointer));
        for (int k = 0; k < static_cast<int>(a[0].Value); ++k)
            names[k] = m_NextTextureName++;
    } else if (n == "glDeleteTextures") {
        const auto* names = static_cast<const GLuint*>(a[1].Pointer);
        for (int k = 0; k < static_cast<int>(a[0].Value); ++k)
            call.Args.push_back(names[k]);
    } else if (n == "glVertexPointer") {
        m_Vertices = {static_cast<int>(a[0].Value), static_cast<int>(a[2].Value), a[3].Pointer, m_Vertices.Enabled};
    } else if (n == "glNormalPointer") {
        m_Normals = {3, static_cast<int>(a[1].Value), a[2].Pointer, m_Normals.Enabled};
    } else if (n == "glTexCoordPointer") {
        m_TexCoords = {static_cast<int>(a[0].Value), static_cast<int>(a[2].Value), a[3].Pointer, m_TexCoords.Enabled};
    } else if (n == "glEnableClientState") {
        setClientState(true);
    } else if (n == "glDisableClientState") {
        setClientState(false);
    } else if (n == "glDrawArrays") {
        const int first = static_cast<int>(a[1].Value);
        const int count = static_cast<int>(a[2].Value);
        for (int i = first; i < first + count; ++i) {
            std::vector<double> element;
            for (const TArray* array : {&m_Vertices, &m_Normals, &m_TexCoords})
                if (array->Enabled && array->Data != nullptr)
                    AppendArray(element, *array, i);
            call.Elements.push_back(std::move(element));
        }
    }
    m_Calls.push_back(std::move(call));
}

}  // namespace orvtest

// GLRecorder: points the drawing's OpenGL entry points (gl/GLCalls.h and the extension
// entry points of gl/GLext.h) at a recorder that logs each call with its arguments, so
// that a test compares the calls with the call lists the drawing is specified by. No
// OpenGL context is needed.
//
//   TGLRecorder recorder;                       // from here on every call is logged
//   DrawCompass(0.0f, 7);
//   EXPECT_TRUE(SameCalls(recorder.Calls(), {Call("glDisable", GL_LIGHTING), ...}));
//
// Each call is its name and its numeric arguments as doubles (enumerants, integers and
// singles convert exactly). Pointer arguments are read where the call's meaning says
// how many values they hold (glNormal3fv, glLightfv, glTexGenfv, ...); the array
// pointers are remembered, and glDrawArrays records per element the values of the
// enabled arrays: position, then normal, then texture coordinate. glGenTextures hands
// out the names 1, 2, 3, ...; calls that return something return 0 or null.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace orvtest {

struct TGLCall {
    std::string Name;
    std::vector<double> Args;
    std::vector<std::vector<double>> Elements;   // glDrawArrays only
    friend bool operator==(const TGLCall&, const TGLCall&) = default;
};

std::string ToString(const TGLCall& call);
void PrintTo(const TGLCall& call, std::ostream* out);

// A call as the drawing specifies it: Call("glBegin", GL_QUADS).
template <typename... TArgs>
TGLCall Call(std::string name, TArgs... args)
{
    return TGLCall{std::move(name), {static_cast<double>(args)...}, {}};
}
// glDrawArrays(mode, first, count) with the values of its elements.
TGLCall DrawArrays(unsigned mode, int first, int count, std::vector<std::vector<double>> elements);

// The same calls in the same order; otherwise the first difference with the calls
// around it, and the lengths.
testing::AssertionResult SameCalls(const std::vector<TGLCall>& actual, const std::vector<TGLCall>& expected);

// The calls with one of the names, in their order.
std::vector<TGLCall> OnlyCalls(const std::vector<TGLCall>& calls, std::initializer_list<std::string_view> names);

class TGLRecorder {
public:
    // One recorder at a time.
    TGLRecorder();
    // The library's entry points back, the extension entry points as they were.
    ~TGLRecorder();
    TGLRecorder(const TGLRecorder&) = delete;
    TGLRecorder& operator=(const TGLRecorder&) = delete;

    const std::vector<TGLCall>& Calls() const { return m_Calls; }
    void Clear() { m_Calls.clear(); }

    // Used by the recording entry points.
    struct TArg {
        double Value = 0.0;
        const void* Pointer = nullptr;
        bool IsPointer = false;
    };
    static void Record(const char* name, std::initializer_list<TArg> args);

private:
    struct TArray {
        int Size = 0;
        int Stride = 0;   // bytes; 0 for tightly packed floats
        const void* Data = nullptr;
        bool Enabled = false;
    };
    void Add(const char* name, std::initializer_list<TArg> args);
    static void AppendArray(std::vector<double>& element, const TArray& array, int index);

    std::vector<TGLCall> m_Calls;
    TArray m_Vertices, m_Normals, m_TexCoords;
    unsigned m_NextTextureName = 1;
    std::vector<void*> m_SavedExtensionEntryPoints;
};

}  // namespace orvtest

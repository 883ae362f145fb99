// GLext: fetching the OpenGL 1.3 and GL_ARB_multitexture entry points.
#include "gl/GLext.h"

#include <array>
#include <string>

#include "gl/GLCalls.h"

namespace orv::glext {

#define ORV_GLEXT_DEFINE(name) decltype(&::name) name = nullptr;
ORV_GLEXT_GL13(ORV_GLEXT_DEFINE)
ORV_GLEXT_ARB_MULTITEXTURE(ORV_GLEXT_DEFINE)
#undef ORV_GLEXT_DEFINE

namespace {

constexpr std::string_view MultitextureExtension = "GL_ARB_multitexture";

// One entry point: its name and where its pointer lives.
struct TEntryPoint {
    const char* Name;
    void (**Slot)();
};

#define ORV_GLEXT_ENTRY(name) TEntryPoint{#name, reinterpret_cast<void (**)()>(&name)},
const std::array GL13Entries{ORV_GLEXT_GL13(ORV_GLEXT_ENTRY)};
const std::array ARBEntries{ORV_GLEXT_ARB_MULTITEXTURE(ORV_GLEXT_ENTRY)};
#undef ORV_GLEXT_ENTRY

#define ORV_GLEXT_NAME(name) #name,
constexpr std::array GL13Names{ORV_GLEXT_GL13(ORV_GLEXT_NAME)};
constexpr std::array ARBNames{ORV_GLEXT_ARB_MULTITEXTURE(ORV_GLEXT_NAME)};
#undef ORV_GLEXT_NAME

static_assert(GL13Names.size() == 46);
static_assert(ARBNames.size() == 34);

template <size_t N>
bool LoadEntryPoints(const std::array<TEntryPoint, N>& entries, const TProcLookup& lookup)
{
    for (const TEntryPoint& entry : entries) {
        void* address = lookup ? lookup(entry.Name) : ContextProcLookup(entry.Name);
        if (address == nullptr)
            return false;
        *entry.Slot = reinterpret_cast<void (*)()>(address);
    }
    return true;
}

std::string_view ContextExtensions()
{
    const auto* text = reinterpret_cast<const char*>(gl::glGetString(GL_EXTENSIONS));
    return text ? std::string_view(text) : std::string_view();
}

}  // namespace

bool ExtensionSupported(std::string_view name, std::optional<std::string_view> list)
{
    if (name.empty() || name.find(' ') != std::string_view::npos)
        return false;
    const std::string_view extensions = list ? *list : ContextExtensions();
    size_t start = 0;
    for (;;) {
        const size_t found = extensions.find(name, start);
        if (found == std::string_view::npos)
            return false;
        const size_t end = found + name.size();
        const bool beginsWord = found == start || extensions[found - 1] == ' ';
        const bool endsWord = end == extensions.size() || extensions[end] == ' ';
        if (beginsWord && endsWord)
            return true;
        start = end;
    }
}

bool LoadGL13(const TProcLookup& lookup) { return LoadEntryPoints(GL13Entries, lookup); }

bool LoadARBMultitexture(const TProcLookup& lookup, std::optional<std::string_view> extensions)
{
    if (!ExtensionSupported(MultitextureExtension, extensions ? extensions : ContextExtensions()))
        return false;
    return LoadEntryPoints(ARBEntries, lookup);
}

void ClearEntryPoints()
{
    for (const TEntryPoint& entry : GL13Entries)
        *entry.Slot = nullptr;
    for (const TEntryPoint& entry : ARBEntries)
        *entry.Slot = nullptr;
}

std::span<const char* const> GL13EntryPointNames() { return GL13Names; }
std::span<const char* const> ARBMultitextureEntryPointNames() { return ARBNames; }

}  // namespace orv::glext

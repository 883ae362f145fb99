// orvandel-tool render: draws a zone headless, as the viewer's window would, into a PNG
// file, or flies over it for a number of frames and reports the frame rate.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tool/Command.h"
#include "base/Log.h"
#include "shell/CommandLine.h"
#include "shell/GLViewer.h"
#include "shell/HeadlessContext.h"
#include "writers/PNG.h"
#include "zone/Textures.h"

namespace orvtool {
namespace {

using namespace orv;

constexpr float FlightStepMs = 16.0f;    // the frame time of the fixed flight
constexpr int DefaultWidth = 640;
constexpr int DefaultHeight = 480;
constexpr int MaxSide = 8192;
constexpr int PNGChannels = 3;
constexpr int PNGBitDepth = 8;

struct TRenderOptions {
    std::string GameDir;
    int Zone = 0;
    std::string Location;
    std::string Renderer = "clod";
    int Detail = 0;                 // 0: the start-up factor
    int Width = DefaultWidth;
    int Height = DefaultHeight;
    bool NoLighting = false;
    bool NoDetailTexture = false;
    bool Checker = false;
    bool Fog = false;
    bool Wireframe = false;
    bool CameraSkybox = false;
    std::optional<uint32_t> SunMs;
    std::optional<float> GravityMs;
    int Frames = 0;
    std::string Output;
};

int ParseInt(const std::string& text, const std::string& option)
{
    try {
        size_t used = 0;
        const long value = std::stol(text, &used);
        if (used != text.size())
            throw TUsageError{option + ": not a number: " + text};
        return static_cast<int>(value);
    } catch (const std::logic_error&) {
        throw TUsageError{option + ": not a number: " + text};
    }
}

int RenderTag(const std::string& name)
{
    if (const std::optional<uint8_t> tag = RenderVersionFromName(name))
        return *tag;
    throw TUsageError{"--renderer: one of v1, pointer, fan, clod, not " + name};
}

TRenderOptions ParseOptions(const TArgs& args)
{
    TRenderOptions o;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw TUsageError{a + " needs a value"};
            return args[++i];
        };
        if (a == "--loc")
            o.Location = value();
        else if (a == "--renderer")
            o.Renderer = value();
        else if (a == "--detail") {
            o.Detail = ParseInt(value(), a);
            if (o.Detail < 1 || o.Detail > 255)
                throw TUsageError{"--detail: a slider position from 1 to 255"};
        } else if (a == "--size") {
            const std::string& v = value();
            const size_t x = v.find('x');
            if (x == std::string::npos)
                throw TUsageError{"--size: WIDTHxHEIGHT, not " + v};
            o.Width = ParseInt(v.substr(0, x), a);
            o.Height = ParseInt(v.substr(x + 1), a);
            if (o.Width < 1 || o.Height < 1 || o.Width > MaxSide || o.Height > MaxSide)
                throw TUsageError{"--size: each side from 1 to " + std::to_string(MaxSide)};
        } else if (a == "--no-lighting")
            o.NoLighting = true;
        else if (a == "--no-detail-texture")
            o.NoDetailTexture = true;
        else if (a == "--checker")
            o.Checker = true;
        else if (a == "--fog")
            o.Fog = true;
        else if (a == "--wireframe")
            o.Wireframe = true;
        else if (a == "--camera-skybox")
            o.CameraSkybox = true;
        else if (a == "--sun-ms")
            o.SunMs = static_cast<uint32_t>(ParseInt(value(), a));
        else if (a == "--gravity-ms")
            o.GravityMs = static_cast<float>(ParseInt(value(), a));
        else if (a == "--frames") {
            o.Frames = ParseInt(value(), a);
            if (o.Frames < 1)
                throw TUsageError{"--frames: at least 1"};
        } else if (a == "-o")
            o.Output = value();
        else if (a.starts_with("-"))
            throw TUsageError{"unknown option " + a};
        else
            positional.push_back(a);
    }
    if (positional.size() != 2)
        throw TUsageError{"GAMEDIR and ZONE are needed"};
    o.GameDir = GameDirFromArgument(positional[0]);
    o.Zone = ParseInt(positional[1], "ZONE");
    RenderTag(o.Renderer);
    if (o.Frames == 0 && o.Output.empty())
        throw TUsageError{"-o OUT.png is needed (or --frames N)"};
    return o;
}

// The window's switches, set through the same handlers the controls call.
void ApplySwitches(TGLViewer& viewer, const TRenderOptions& o)
{
    viewer.rbnRenderVersionClick(RenderTag(o.Renderer));
    if (o.Detail != 0)
        viewer.trackCLODDetailChange(o.Detail);
    if (o.NoLighting)
        viewer.chkLightingClick();
    if (o.NoDetailTexture)
        viewer.DetailTexEnabled = false;
    if (o.Checker)
        viewer.Checkerboard = true;
    if (o.Fog)
        viewer.chkFogClick(true);
    if (o.Wireframe)
        viewer.chkWireframeClick();
    if (o.CameraSkybox)
        viewer.BoundingSkybox = false;
    if (o.SunMs)
        viewer.chkSunClick(true);
    if (o.GravityMs) {
        viewer.Gravity = true;
        viewer.FrameTime = *o.GravityMs;
    }
    if (!o.Location.empty()) {
        viewer.ApplyLocationReply(o.Location);
        // The picture shows the level of detail of the place, as after a keyboard move.
        viewer.UpdateCLOD();
    }
}

void PrintFlight(const TRenderOptions& o, TGLViewer& viewer, const TFrameGeometry& frame)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> frameMs;
    frameMs.reserve(o.Frames);
    int64_t triangles = 0;
    TKeyState keys;
    keys.Up = true;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < o.Frames; ++i) {
        const Clock::time_point frameStart = Clock::now();
        viewer.MoveCamera(FlightStepMs, keys);
        triangles += viewer.glMapDraw(frame);
        viewer.FrameTime = FlightStepMs;
        glFinish();
        frameMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - frameStart).count());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(frameMs.begin(), frameMs.end());
    const size_t n = frameMs.size();
    const double median = n % 2 ? frameMs[n / 2] : (frameMs[n / 2 - 1] + frameMs[n / 2]) / 2.0;
    std::printf("{\"renderer\": \"%s\", \"frames\": %d, \"fps\": %.1f, \"ms_per_frame_median\": %.3f, "
                "\"triangles_per_frame\": %lld}\n",
                o.Renderer.c_str(), o.Frames, o.Frames / seconds, median,
                static_cast<long long>(triangles / o.Frames));
}

int Render(const TArgs& args)
{
    const TRenderOptions o = ParseOptions(args);
    SetLogSink([](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    });
    THeadlessContext context(o.Width, o.Height);
    TGLViewer viewer;
    viewer.GameDir = o.GameDir;
    // Start-up order: the view's first resize, then the creation handler.
    viewer.glMapResize(o.Width, o.Height);
    const std::string warning = viewer.LoadExtensions();
    if (!warning.empty()) {
        std::string shown = warning;
        std::replace(shown.begin(), shown.end(), '\r', '\n');
        std::fprintf(stderr, "%s\n", shown.c_str());
    }
    viewer.glMapInit(o.Zone);
    ApplySwitches(viewer, o);
    const TFrameGeometry frame{.ViewWidth = o.Width, .ViewHeight = o.Height, .Visible = true, .SunTick = o.SunMs};
    if (o.Frames > 0) {
        PrintFlight(o, viewer, frame);
        if (o.Output.empty())
            return 0;
    } else {
        viewer.glMapDraw(frame);
    }
    const TRGBAImage picture = context.ReadPixels();
    WritePNG(o.Output, picture.Width, picture.Height, PNGChannels, PNGBitDepth, picture.RGB());
    viewer.FormDestroy();
    return 0;
}

const TCommandRegistration RenderRegistration{
    "render",
    "GAMEDIR ZONE [--loc X,Y,Z,h,p] [--renderer v1|pointer|fan|clod] [--detail POS] [--size WxH] "
    "[--no-lighting] [--no-detail-texture] [--checker] [--fog] [--wireframe] [--camera-skybox] "
    "[--sun-ms T] [--gravity-ms T] [--frames N] -o OUT.png",
    "Draw a zone headless, as the viewer does, into a PNG file",
    Render,
    "Loads the zone and the shared textures as the viewer's start-up does, sets the\n"
    "switches, draws one frame in an offscreen OpenGL context and writes it (RGBA).\n"
    "Defaults: the start-up camera, \"CLOD fans\", the start-up level of detail, 640x480.\n"
    "\n"
    "  --loc X,Y,Z,h,p     place the camera as \"Go to loc...\" does (also \"above\");\n"
    "                      the level of detail is refined for the place\n"
    "  --renderer R        v1, pointer, fan or clod\n"
    "  --detail POS        the \"Level of Detail\" slider position, 1..255\n"
    "  --no-lighting, --no-detail-texture, --checker, --fog, --wireframe,\n"
    "  --camera-skybox     the switches of the window\n"
    "  --sun-ms T          \"Track Sun\" on, the sun placed at tick T ms\n"
    "  --gravity-ms T      \"Gravity\" on, with a last frame of T ms\n"
    "  --frames N          fly forward from the camera for N frames of 16 ms each,\n"
    "                      refining as keyboard movement does, and print one line of\n"
    "                      JSON with the frame rate and the triangles per frame\n"
    "\n"
    "checker.bmp is read from the working directory, or from GAMEDIR when there is\n"
    "none. The load log goes to standard error."};

}  // namespace
}  // namespace orvtool

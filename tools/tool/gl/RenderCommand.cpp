// orvandel-tool render: draws a zone headless, as the viewer's window would, into a PNG
// file, or flies over it for a number of frames and reports the frame rate.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tool/Command.h"
#include "tool/ZoneLoading.h"
#include "zone/TextValues.h"
#include "shell/GLViewer.h"
#include "shell/HeadlessContext.h"
#include "shell/Session.h"
#include "terrain/RendererTable.h"
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
    TZoneArguments Zone;
    std::string Location;
    std::string Renderer{DefaultRenderer().Name};
    std::optional<int32_t> Detail;  // none: the start-up factor
    std::string Size;               // WxH
    int Width = DefaultWidth;
    int Height = DefaultHeight;
    bool NoLighting = false;
    bool NoDetailTexture = false;
    bool Checker = false;
    bool Fog = false;
    bool Wireframe = false;
    bool CameraSkybox = false;
    std::optional<int32_t> SunMs;
    std::optional<int32_t> GravityMs;
    int32_t Frames = 0;
    std::string Output;
};

// "WIDTHxHEIGHT", each side from 1 to MaxSide.
std::optional<std::pair<int, int>> ParseSize(const std::string& text)
{
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    const std::optional<int32_t> width = TryStrToInt(text.substr(0, x));
    const std::optional<int32_t> height = TryStrToInt(text.substr(x + 1));
    if (!width || !height || *width < 1 || *height < 1 || *width > MaxSide || *height > MaxSide)
        return std::nullopt;
    return std::pair{*width, *height};
}

// What CLI11 cannot check: the size's form, and that there is something to do.
void CompleteOptions(TRenderOptions& o)
{
    if (!o.Size.empty())
        std::tie(o.Width, o.Height) = *ParseSize(o.Size);
    if (o.Frames == 0 && o.Output.empty())
        throw TUsageError{"-o OUT.png is needed (or --frames N)"};
}

// The window's switches, set through the same calls the controls make; the renderer and
// the place are the session's start options.
void ApplySwitches(TGLViewer& viewer, const TRenderOptions& o)
{
    if (o.Detail)
        viewer.SetCLODDetail(*o.Detail);
    if (o.NoLighting)
        viewer.ToggleLighting();
    if (o.NoDetailTexture)
        viewer.DetailTexEnabled = false;
    if (o.Checker)
        viewer.Checkerboard = true;
    if (o.Fog)
        viewer.SetFog(true);
    if (o.Wireframe)
        viewer.ToggleWireframe();
    if (o.CameraSkybox)
        viewer.BoundingSkybox = false;
    if (o.SunMs)
        viewer.SetTrackSun(true);
    if (o.GravityMs) {
        viewer.Gravity = true;
        viewer.FrameTime = static_cast<float>(*o.GravityMs);
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
        triangles += viewer.DrawFrame(frame);
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

int Render(TRenderOptions& o)
{
    CompleteOptions(o);
    LogToStandardError();
    THeadlessContext context(o.Width, o.Height);
    // Started as the window starts, without its boxes: the warning and the errors go to
    // standard error.
    TSessionFrontEnd frontEnd;
    TViewerOptions start;
    start.GameDir = o.Zone.GameDir;
    start.Zone = o.Zone.Zone;
    start.RenderVersion = FindRendererByName(o.Renderer)->Tag;   // checked by the option's validator
    if (!o.Location.empty())
        start.Location = o.Location;
    TSession session(frontEnd, start);
    TGLViewer& viewer = session.Viewer();
    viewer.LeavesSectorFile = false;   // a command reads the water without leaving sector.dat
    // Start-up order: the view's first resize, then creation.
    viewer.ResizeView(o.Width, o.Height);
    session.Start();
    ApplySwitches(viewer, o);
    // The picture shows the level of detail of the place, as after a keyboard move.
    session.ApplyStartOptions();
    const std::optional<uint32_t> sunTick = o.SunMs ? std::optional<uint32_t>(static_cast<uint32_t>(*o.SunMs)) : std::nullopt;
    const TFrameGeometry frame{.ViewWidth = o.Width, .ViewHeight = o.Height, .Visible = true, .SunTick = sunTick};
    if (o.Frames > 0) {
        PrintFlight(o, viewer, frame);
        if (o.Output.empty())
            return 0;
    } else {
        viewer.DrawFrame(frame);
    }
    const TRGBAImage picture = context.ReadPixels();
    WritePNG(o.Output, picture.Width, picture.Height, PNGChannels, PNGBitDepth, picture.RGBPixels());
    viewer.ReleaseTextures();
    return 0;
}

const TCommandRegistration RenderRegistration{
    "render", "Draw a zone headless, as the viewer does, into a PNG file", [](CLI::App& command) -> TRun {
        auto o = std::make_shared<TRenderOptions>();
        AddZoneArguments(command, o->Zone);
        command.add_option("-o", o->Output, "the PNG file to write")->type_name("OUT.png")->check(OutputExtension({".png"}));
        command.add_option("--loc", o->Location,
                           "place the camera as \"Go to loc...\" does, or \"above\"")
            ->type_name("X,Y,Z,h,p");
        command.add_option("--renderer", o->Renderer,
                           "the terrain renderer (default: " + std::string(DefaultRenderer().Name) + ")")
            ->type_name(RendererNames("|"))
            ->check(ValueCheck([](const std::string& name) { return FindRendererByName(name) != nullptr; },
                               "is not one of " + RendererNames(", ")));
        AddDetailOption(command, o->Detail);
        command.add_option("--size", o->Size, "the picture's size (default: 640x480)")
            ->type_name("WxH")
            ->check(ValueCheck([](const std::string& text) { return ParseSize(text).has_value(); },
                               std::string("is not WIDTHxHEIGHT with each side from 1 to ").append(std::to_string(MaxSide))));
        command.add_flag("--no-lighting", o->NoLighting, "untick \"Lighting\"");
        command.add_flag("--no-detail-texture", o->NoDetailTexture, "untick \"Detail Texture\"");
        command.add_flag("--checker", o->Checker, "tick \"Use checker terrain\"");
        command.add_flag("--fog", o->Fog, "tick \"Fog\"");
        command.add_flag("--wireframe", o->Wireframe, "tick \"Wireframe\"");
        command.add_flag("--camera-skybox", o->CameraSkybox, "untick \"BoundingSkybox\"");
        AddInteger(command, "--sun-ms", o->SunMs, "tick \"Track Sun\", the sun placed at tick T ms", 0)
            ->type_name("T");
        AddInteger(command, "--gravity-ms", o->GravityMs, "tick \"Gravity\", with a last frame of T ms")
            ->type_name("T");
        AddInteger(command, "--frames", o->Frames,
                   "fly forward N frames of 16 ms, report the frame rate", 1)
            ->type_name("N");
        command.footer(
            "Loads the zone and the shared textures as the viewer's start-up does, sets the\n"
            "switches, draws one frame in an offscreen OpenGL context and writes it (RGB).\n"
            "Defaults: the start-up camera, \"" + std::string(DefaultRenderer().Label) +
            "\", the start-up level of detail, 640x480.\n"
            "With --loc the level of detail is refined for the place.\n"
            "\n"
            "With --frames the camera flies forward, refining as keyboard movement does, and\n"
            "one line of JSON tells the frame rate and the triangles per frame; -o then also\n"
            "writes the last frame.\n"
            "\n"
            "checker.bmp is read from the working directory, or from GAMEDIR when there is\n"
            "none. The load log goes to standard error.\n"
            "\n"
            "Examples:\n"
            "  orvandel-tool render game 111 -o view.png\n"
            "  orvandel-tool render game 111 --loc above --renderer v1 --size 1024x768 -o above.png\n"
            "  orvandel-tool render game 111 --frames 200");
        return [o] { return Render(*o); };
    }};

}  // namespace
}  // namespace orvtool

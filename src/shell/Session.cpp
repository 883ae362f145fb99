// Session: start-up, zone and folder changes, navigation and taking the zone out.
#include "shell/Session.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Log.h"
#include "export/GLTFExport.h"
#include "export/ZoneMap.h"
#include "terrain/RendererTable.h"
#include "zone/TextValues.h"

namespace orv {
namespace {

constexpr const char* GameFolderDialogCaption = "Open game folder";

constexpr THelpEntry HelpTable[] = {
    {"Up / Down", "fly forward / back along the view"},
    {"Left / Right", "slide sideways"},
    {"Shift + arrows", "four times as fast"},
    {"Alt + arrows", "slowly (Alt wins over Shift)"},
    {"Mouse wheel", "fly forward / back, a notch as far as a tenth of a second of Up"},
    {"Left mouse drag", "look around"},
    {"Click in the view", "gives it the keyboard; the arrows always fly, whatever has the focus"},
    {"Tab, Space", "reach and switch the panel's controls"},
    {"d", "level the view"},
    {"Home", "back to the start position"},
    {"Ctrl+G", "go to a location (X,Y,Z,h,p or \"above\")"},
    {"Ctrl+Z", "change zone (the game folder's zones are offered)"},
    {"Ctrl+O", "open another game folder (remembered for the next start)"},
    {"Ctrl+W", "wireframe on / off"},
    {"Ctrl+L", "lighting on / off"},
    {"Right click on the panel, Menu, Shift+F10",
     "the menu: game folder, dump the D2 or height map to the console, export the zone as glTF, save its map"},
    {"F1", "this list"},
    {"F12", "save the view as a PNG picture in the working directory"},
    {"Ctrl+Q", "quit"},
};

// The file a zone is offered to be written to: "zone111.glb".
std::string ZoneFileName(int zoneId, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "zone%03d.%s", zoneId, extension);
    return name;
}

// Holds the front end busy while it lives.
class TBusy {
public:
    explicit TBusy(TSessionFrontEnd& frontEnd) : m_FrontEnd(frontEnd) { m_FrontEnd.SetBusy(true); }
    ~TBusy() { m_FrontEnd.SetBusy(false); }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TSessionFrontEnd& m_FrontEnd;
};

}  // namespace

// --- The front end without a window --------------------------------------------------

void TSessionFrontEnd::ShowMessage(TMessageKind, const std::string&, const std::string& text)
{
    std::string shown = text;
    std::replace(shown.begin(), shown.end(), '\r', '\n');
    std::fprintf(stderr, "%s\n", shown.c_str());
}

bool TSessionFrontEnd::OfferAction(TMessageKind kind, const std::string& caption, const std::string& text,
                                   const std::string&)
{
    ShowMessage(kind, caption, text);
    return false;
}

std::optional<std::string> TSessionFrontEnd::AskText(const std::string&, const std::string&, const std::string&)
{
    return std::nullopt;
}

std::optional<std::string> TSessionFrontEnd::AskChoice(const std::string&, const std::string&,
                                                       const std::vector<std::string>&, const std::string&)
{
    return std::nullopt;
}

std::optional<std::string> TSessionFrontEnd::AskFolder(const std::string&, const std::string&) { return std::nullopt; }

std::optional<TSaveFileChoice> TSessionFrontEnd::AskSaveFile(const std::string&, const std::string&,
                                                             const std::vector<std::string>&)
{
    return std::nullopt;
}

std::span<const THelpEntry> HelpEntries() { return HelpTable; }

// --- Start-up ------------------------------------------------------------------------

TSession::TSession(TSessionFrontEnd& frontEnd, TViewerOptions options)
    : m_FrontEnd(frontEnd), m_Options(std::move(options)), m_Viewer(std::make_unique<TGLViewer>())
{
}

TSession::~TSession() = default;

void TSession::Start(TViewer::TPoint lastMouse)
{
    TGLViewer& v = *m_Viewer;
    // An argument always wins; without one the folder chosen last, else the default.
    if (m_Options.GameDir)
        v.GameDir = GameDirFromArgument(*m_Options.GameDir);
    else
        v.GameDir = m_FrontEnd.RememberedGameDir().value_or(DefaultGameDir());
    v.WaterRegions.clear();
    v.TexturesEnabled = true;
    v.LastMouse = lastMouse;
    v.AmbientColor = DefaultAmbientColor;
    v.DiffuseColor = DefaultDiffuseColor;
    const TDrawSwitches defaults;
    v.DetailTexScale = defaults.DetailTexScale;
    v.DetailTexEnabled = defaults.DetailTexEnabled;
    v.Gravity = defaults.Gravity;
    v.Lighting = defaults.Lighting;
    v.Checkerboard = defaults.Checkerboard;
    v.BoundingSkybox = defaults.BoundingSkybox;
    v.RenderVersion = defaults.RenderVersion;
    // The slider keeps showing its position until it is moved.
    v.CLODDetail = CLODDetailStart;
    // Without a context there is nothing to load into: the view draws nothing.
    if (!m_FrontEnd.ViewActive())
        return;
    m_FrontEnd.MakeCurrent();
    const std::string warning = v.LoadExtensions();
    if (!warning.empty())
        m_FrontEnd.ShowMessage(TMessageKind::Warning, std::string(ApplicationTitle), warning);
    m_FrontEnd.MakeCurrent();
    v.InitBaseState();
    LoadGame(m_Options.Zone.value_or(TGLViewer::StartZone));
}

void TSession::ApplyStartOptions()
{
    if (m_Options.RenderVersion)
        SetRenderer(*m_Options.RenderVersion);
    if (m_Options.Location) {
        m_Viewer->ApplyLocationReply(*m_Options.Location);
        // The first picture shows the level of detail of the place.
        m_Viewer->UpdateCLOD();
    }
}

// --- Zones and folders ---------------------------------------------------------------

void TSession::LoadZone(int zoneId, TZoneChange change)
{
    m_FrontEnd.MakeCurrent();
    try {
        if (change == TZoneChange::Whole)
            m_Viewer->ReplaceZone(zoneId);
        else
            m_Viewer->LoadZone(zoneId);
    } catch (const std::exception& e) {
        // The note is a second line of a message box; unattended the message stays one line.
        const std::string note = m_FrontEnd.Interactive() ? MissingZoneNote(m_Viewer->GameDir, zoneId) : "";
        if (note.empty())
            throw;
        throw Exception(std::string(e.what()).append("\r").append(note));
    }
}

bool TSession::LoadGame(int zoneId)
{
    try {
        LoadZone(zoneId);
    } catch (const std::exception& e) {
        if (!m_FrontEnd.Interactive())
            throw;
        // The shared textures are not loaded then, as at start-up.
        if (m_FrontEnd.OfferAction(TMessageKind::Error, std::string(ApplicationTitle), e.what(),
                                   std::string(OpenGameFolderCaption)))
            OpenGameFolder();
        return false;
    }
    m_FrontEnd.MakeCurrent();
    m_Viewer->LoadSharedTextures();
    m_Viewer->CheckGLError("");
    return true;
}

void TSession::OpenGameFolder()
{
    const std::optional<std::string> reply = m_FrontEnd.AskFolder(GameFolderDialogCaption, m_Viewer->GameDir);
    if (!reply)
        return;
    const std::string dir = GameDirFromArgument(*reply);
    const std::string problem = GameFolderProblem(dir);
    if (!problem.empty()) {
        if (m_FrontEnd.OfferAction(TMessageKind::Warning, std::string(ApplicationTitle), problem,
                                   std::string(OpenGameFolderCaption)))
            OpenGameFolder();
        return;
    }
    m_Viewer->GameDir = dir;
    // No zone of this folder is loaded yet.
    m_Viewer->ZoneID = 0;
    // Remembered once its zone has loaded (without a view there is nothing to load
    // into), so that the next start does not open on the failure.
    if (!m_FrontEnd.ViewActive() || LoadGame(TGLViewer::StartZone))
        m_FrontEnd.RememberGameDir(dir);
}

void TSession::ChangeZone()
{
    std::vector<std::string> zones;
    for (const int zone : GameZones(m_Viewer->GameDir))
        zones.push_back(std::to_string(zone));
    const std::optional<std::string> reply =
        m_FrontEnd.AskChoice("Change zone", "Enter new Zone ID:", zones, std::to_string(m_Viewer->ZoneID));
    if (!reply)
        return;
    LoadZone(StrToInt(*reply), TZoneChange::Whole);
}

void TSession::GoTo()
{
    const std::optional<std::string> reply =
        m_FrontEnd.AskText("Go to locaction", "Loc (X,Y,Z,h,p)", m_Viewer->LocationText());
    if (!reply)
        return;
    m_Viewer->ApplyLocationReply(*reply);
}

// --- Switches that set OpenGL state ----------------------------------------------------

void TSession::SetRenderer(int tag)
{
    m_FrontEnd.MakeCurrent();
    m_Viewer->SetRenderer(tag);
}

void TSession::SetFog(bool on)
{
    m_FrontEnd.MakeCurrent();
    m_Viewer->SetFog(on);
}

void TSession::SetTrackSun(bool on)
{
    m_FrontEnd.MakeCurrent();
    m_Viewer->SetTrackSun(on);
}

void TSession::ToggleWireframe()
{
    m_FrontEnd.MakeCurrent();
    m_Viewer->ToggleWireframe();
}

// --- Taking the zone out ---------------------------------------------------------------

std::string TSession::ExportZone()
{
    // Odd filters take the view's level of detail.
    static const std::vector<std::string> filters{
        "glTF binary, the whole grid (*.glb)",
        "glTF binary, the view's level of detail (*.glb)",
        "glTF with its buffer and images beside it, the whole grid (*.gltf)",
        "glTF with its buffer and images beside it, the view's level of detail (*.gltf)",
    };
    const std::optional<TSaveFileChoice> reply =
        m_FrontEnd.AskSaveFile("Export zone as glTF", ZoneFileName(m_Viewer->ZoneID, "glb"), filters);
    if (!reply)
        return {};
    TExportOptions options;
    options.LOD = reply->Filter % 2 == 1 ? TExportLOD::View : TExportLOD::Full;
    options.ViewCamera = m_Viewer->Camera;
    TExportCounts counts;
    {
        TBusy busy(m_FrontEnd);
        counts = orv::ExportZone(m_Viewer->ZoneSource(), options, reply->Path);
    }
    Log(Format("Exported zone %d to %s: %d terrain triangles, %d water regions",
               {m_Viewer->ZoneID, reply->Path, counts.TerrainTriangles, counts.WaterPrimitives}));
    return reply->Path;
}

std::string TSession::SaveZoneMap()
{
    const std::optional<TSaveFileChoice> reply =
        m_FrontEnd.AskSaveFile("Save zone map", ZoneFileName(m_Viewer->ZoneID, "png"), {"PNG picture (*.png)"});
    if (!reply)
        return {};
    {
        TBusy busy(m_FrontEnd);
        orv::SaveZoneMap(m_Viewer->ZoneSource(), TMapOptions{}, reply->Path);
    }
    Log(Format("Saved the map of zone %d to %s", {m_Viewer->ZoneID, reply->Path}));
    return reply->Path;
}

std::string TSession::SaveViewName(const std::tm& now)
{
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &now);
    const std::string stem = std::string("orvandel-") + stamp;
    std::string name = stem + ".png";
    std::error_code error;
    for (int n = 2; std::filesystem::exists(name, error); ++n)
        name = stem + "-" + std::to_string(n) + ".png";
    return name;
}

std::string TSession::SaveView()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string name = SaveViewName(local);
    if (!m_FrontEnd.WriteViewPicture(name)) {
        std::error_code error;
        throw EFCreateError("Cannot create file " + std::filesystem::absolute(name, error).string());
    }
    Log("Saved the view to " + name);
    return name;
}

}  // namespace orv

// Session: start-up, zone and folder changes, navigation and taking the zone out.
#include "shell/Session.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <type_traits>
#include <utility>

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Log.h"
#include "base/platform/Files.h"
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
    {"1, 2, 3, 4", "pick the V1, Pointer, Fan renderer or the CLOD fans"},
    {"Right click, Menu, Shift+F10",
     "the menu: game folder, dump the D2 or height map to the console or a text file, export the zone as glTF, "
     "save its map, save the view, full screen, reset to defaults"},
    {"F1", "this list"},
    {"F11", "full screen on / off"},
    {"F12", "save the view as a PNG picture (asks where, in the folder used last)"},
    {"Ctrl+Q", "quit (the zone, place, switches and window are remembered for the next start)"},
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

// The keys of the state kept between runs.
constexpr const char* ZoneKey = "Zone";
constexpr const char* LocationKey = "Location";
constexpr const char* RendererKey = "Renderer";
constexpr const char* FogKey = "Fog";
constexpr const char* WireframeKey = "Wireframe";
constexpr const char* TrackSunKey = "TrackSun";
constexpr const char* CLODDetailKey = "CLODDetail";
constexpr const char* DetailTexScaleKey = "DetailTexScale";
constexpr const char* SaveFolderKey = "SaveFolder";

// The switches kept, each a member of the viewer's switches.
struct TKeptSwitch {
    const char* Key;
    bool TDrawSwitches::*Member;
};
constexpr TKeptSwitch KeptSwitches[] = {
    {"DetailTexture", &TDrawSwitches::DetailTexEnabled}, {"Gravity", &TDrawSwitches::Gravity},
    {"Checkerboard", &TDrawSwitches::Checkerboard},     {"BoundingSkybox", &TDrawSwitches::BoundingSkybox},
    {"Lighting", &TDrawSwitches::Lighting},
};

// A kept value as T; nothing when none is kept or it does not convert (the file was
// edited by hand): the default stays then.
template <typename T>
std::optional<T> Remembered(TSessionFrontEnd& frontEnd, const char* key)
{
    const std::optional<std::string> text = frontEnd.RememberedValue(key);
    if (!text)
        return std::nullopt;
    if constexpr (std::is_same_v<T, std::string>) {
        return text;
    } else {
        int value = 0;
        const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
        if (error != std::errc() || end != text->data() + text->size())
            return std::nullopt;
        return static_cast<T>(value);
    }
}

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
                                                             const std::string&, const std::vector<std::string>&)
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
    SetDefaultSwitches();
    // Without a context there is nothing to load into: the view draws nothing.
    if (!m_FrontEnd.ViewActive())
        return;
    m_FrontEnd.MakeCurrent();
    const std::string warning = v.LoadExtensions();
    if (!warning.empty())
        m_FrontEnd.ShowMessage(TMessageKind::Warning, std::string(ApplicationTitle), warning);
    m_FrontEnd.MakeCurrent();
    v.InitBaseState();
    // The zone left last, when this folder still has it; the command line's wins.
    int zone = TGLViewer::StartZone;
    const std::optional<int> left = Remembered<int>(m_FrontEnd, ZoneKey);
    if (left && std::ranges::count(GameZones(v.GameDir), *left) > 0)
        zone = *left;
    LoadGame(m_Options.Zone.value_or(zone));
}

void TSession::SetDefaultSwitches()
{
    TGLViewer& v = *m_Viewer;
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
}

void TSession::ApplyStartOptions()
{
    RestoreState();
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

bool TSession::LoadGame(int zoneId, TZoneChange change, const std::string& previousDir)
{
    try {
        LoadZone(zoneId, change);
    } catch (const std::exception& e) {
        // The zone shown still belongs to the folder it came from.
        if (!previousDir.empty())
            m_Viewer->GameDir = previousDir;
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
    const std::string previous = m_Viewer->GameDir;
    m_Viewer->GameDir = dir;
    // Remembered once its zone has loaded (without a view there is nothing to load
    // into), so that the next start does not open on the failure. A folder whose zone
    // fails leaves the zone shown and its folder as they were.
    if (!m_FrontEnd.ViewActive() || LoadGame(TGLViewer::StartZone, TZoneChange::Whole, previous))
        m_FrontEnd.RememberGameDir(dir);
}

void TSession::ChangeZone()
{
    std::vector<std::string> zones;
    for (const int zone : GameZones(m_Viewer->GameDir))
        zones.push_back(std::to_string(zone));
    std::string text = std::to_string(m_Viewer->ZoneID);
    std::optional<int> zoneId;
    while (!zoneId) {
        const std::optional<std::string> reply =
            m_FrontEnd.AskChoice("Change zone", "Enter new Zone ID:", zones, text);
        if (!reply)
            return;
        text = *reply;
        zoneId = ConvertReply([&] { return StrToInt(text); });
    }
    LoadZone(*zoneId, TZoneChange::Whole);
}

void TSession::GoTo()
{
    std::string text = m_Viewer->LocationText();
    for (;;) {
        const std::optional<std::string> reply = m_FrontEnd.AskText("Go to locaction", "Loc (X,Y,Z,h,p)", text);
        if (!reply)
            return;
        text = *reply;
        if (ConvertReply([&] {
                m_Viewer->ApplyLocationReply(text);
                return true;
            }))
            return;
    }
}

template <typename F>
auto TSession::ConvertReply(F&& convert) -> std::optional<decltype(convert())>
{
    try {
        return convert();
    } catch (const Exception& e) {
        // Unattended, the error is raised; a person gets the box again with the text.
        if (!m_FrontEnd.Interactive())
            throw;
        m_FrontEnd.ShowMessage(TMessageKind::Error, std::string(ApplicationTitle), e.what());
        return std::nullopt;
    }
}

// --- Switches that set OpenGL state ----------------------------------------------------

void TSession::SetRenderer(int tag)
{
    m_FrontEnd.MakeCurrent();
    m_Viewer->SetRenderer(tag);
}

void TSession::SetFog(bool on)
{
    m_Fog = on;
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
    TSaveFileChoice choice;
    return SaveFile("Export zone as glTF", ZoneFileName(m_Viewer->ZoneID, "glb"), filters, &choice,
                    [&](const std::string& target) {
                        TExportOptions options;
                        options.LOD = choice.Filter % 2 == 1 ? TExportLOD::View : TExportLOD::Full;
                        options.ViewCamera = m_Viewer->Camera;
                        const TExportCounts counts = orv::ExportZone(m_Viewer->ZoneSource(), options, target);
                        return Format(": %d terrain triangles, %d water regions",
                                      {counts.TerrainTriangles, counts.WaterPrimitives});
                    },
                    Format("Exported zone %d to ", {m_Viewer->ZoneID}));
}

std::string TSession::SaveZoneMap()
{
    return SaveFile(
        "Save zone map", ZoneFileName(m_Viewer->ZoneID, "png"), {"PNG picture (*.png)"}, nullptr,
        [&](const std::string& target) {
            orv::SaveZoneMap(m_Viewer->ZoneSource(), TMapOptions{}, target);
            return std::string();
        },
        Format("Saved the map of zone %d to ", {m_Viewer->ZoneID}));
}

std::string TSession::SaveViewName(const std::tm& now, const std::string& folder)
{
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &now);
    const std::string stem = std::string("orvandel-") + stamp;
    std::string name = stem + ".png";
    const std::string in = folder.empty() ? std::string(".") : folder;
    for (int n = 2; platform::KindOf(platform::JoinPath(in, name), true) != platform::TFileKind::Missing; ++n)
        name = stem + "-" + std::to_string(n) + ".png";
    return name;
}

std::string TSession::SaveView()
{
    const std::tm local = platform::LocalTime(std::time(nullptr));
    const auto write = [&](const std::string& path) {
        if (!m_FrontEnd.WriteViewPicture(path))
            throw EFCreateError("Cannot create file " + platform::AbsolutePath(path));
        return std::string();
    };
    // Without anyone to choose, the picture goes to the working directory.
    if (!m_FrontEnd.Interactive()) {
        const std::string name = SaveViewName(local);
        write(name);
        Log("Saved the view to " + name);
        return name;
    }
    const std::string folder = SaveFolder();
    return SaveFile("Save view", SaveViewName(local, folder), {"PNG picture (*.png)"}, nullptr, write,
                    "Saved view to ");
}

std::string TSession::SaveFolder()
{
    if (m_SaveFolder.empty())
        m_SaveFolder = Remembered<std::string>(m_FrontEnd, SaveFolderKey).value_or(m_FrontEnd.DocumentsFolder());
    return m_SaveFolder;
}

std::string TSession::SaveFile(const std::string& caption, const std::string& suggestedName,
                               const std::vector<std::string>& filters, TSaveFileChoice* choice,
                               const std::function<std::string(const std::string& path)>& write,
                               const std::string& done)
{
    const std::optional<TSaveFileChoice> reply = m_FrontEnd.AskSaveFile(caption, SaveFolder(), suggestedName, filters);
    if (!reply)
        return {};
    if (choice)
        *choice = *reply;
    std::string details;
    {
        TBusy busy(m_FrontEnd);
        details = write(reply->Path);
    }
    const std::string path = platform::AbsolutePath(reply->Path);
    m_SaveFolder = platform::DirectoryOf(path);
    m_FrontEnd.RememberValue(SaveFolderKey, m_SaveFolder);
    Log(done + reply->Path + details);
    m_FrontEnd.Notify(done + path);
    return reply->Path;
}

std::string TSession::SaveDump(const std::string& caption, const char* suffix, void (TViewer::*dump)(std::FILE*))
{
    // "zone111-d2.txt"
    std::string fileName = ZoneFileName(m_Viewer->ZoneID, "txt");
    fileName.insert(fileName.size() - std::string_view(".txt").size(), suffix);
    return SaveFile(caption, fileName, {"Text (*.txt)"}, nullptr,
                    [&](const std::string& path) {
                        std::FILE* file = platform::OpenStdioFile(path, "w");
                        if (!file)
                            throw EFCreateError("Cannot create file " + path);
                        (m_Viewer.get()->*dump)(file);
                        if (std::fclose(file) != 0)
                            throw EFCreateError("Cannot write file " + path);
                        return std::string();
                    },
                    "Saved the map as text to ");
}

std::string TSession::SaveD2Map() { return SaveDump("Save D2 map as text", "-d2", &TViewer::DumpD2Map); }

std::string TSession::SaveHMap() { return SaveDump("Save H map as text", "-h", &TViewer::DumpHeightMap); }

// --- What the window shows --------------------------------------------------------------

std::string TSession::StatusText() const
{
    const TRendererEntry* renderer = FindRenderer(m_Viewer->RenderVersion);
    const std::string rendererLabel = renderer ? std::string(renderer->Label) : std::string();
    if (!ZoneLoaded())
        return "No zone loaded   " + rendererLabel;
    return Format("Zone %d   Loc %s   %s", {m_Viewer->ZoneID, m_Viewer->LocationText(), rendererLabel});
}

const TActionModel& ActionModel(TActionId id)
{
    for (const TActionModel& model : ActionModels)
        if (model.Id == id)
            return model;
    return ActionModels[0];
}

std::string ControlIdleReason(std::string_view control, int renderer)
{
    const TRendererEntry* entry = FindRenderer(renderer);
    const std::string label = entry ? std::string(entry->Label) : std::string("this renderer");
    // The detail texture and the checker terrain are drawn by the V1 renderer alone, the
    // level of detail is used by the CLOD fans alone.
    const bool v1Only = control == "chkDetailTex" || control == "trackDetailTexScale" || control == "chkCheckerboard";
    if (v1Only && renderer != rvV1)
        return "Only the V1 renderer draws this; " + label + " does not.";
    if (control == "trackCLODDetail" && renderer != rvCLOD)
        return "Only the CLOD fans use the level of detail; " + label + " does not.";
    return {};
}

namespace {
constexpr const char* MessageLogVariable = "ORVANDEL_MESSAGE_LOG";
}  // namespace

bool MessageLogActive()
{
    const char* path = std::getenv(MessageLogVariable);
    return path != nullptr && *path != '\0';
}

bool AppendToMessageLog(const std::string& text, const std::string& action)
{
    if (!MessageLogActive())
        return false;
    const char* path = std::getenv(MessageLogVariable);
    std::string line;
    for (const char c : text)
        line += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    if (!action.empty())
        line += " [" + action + "]";
    if (std::FILE* file = platform::OpenStdioFile(path, "a")) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fputc('\n', file);
        std::fclose(file);
    } else {
        std::fprintf(stderr, "Cannot append to %s: %s\n", path, text.c_str());
    }
    return true;
}

std::string ControlTip(const TPanelControl& control, int renderer)
{
    std::string tip = control.Kind == TPanelKind::Slider ? std::string(control.Caption) : std::string();
    const std::string reason = ControlIdleReason(control.Name, renderer);
    if (!tip.empty() && !reason.empty())
        tip += '\n';
    return tip + reason;
}

TScreenRect FitOuterRect(const TScreenRect& design, const TScreenRect& available, int minimumWidth,
                         int minimumHeight)
{
    const int width = std::max(std::min(design.Width, available.Width), minimumWidth);
    const int height = std::max(std::min(design.Height, available.Height), minimumHeight);
    const bool inside = design.Left >= available.Left && design.Top >= available.Top &&
                        design.Left + design.Width <= available.Left + available.Width &&
                        design.Top + design.Height <= available.Top + available.Height;
    if (width == design.Width && height == design.Height && inside)
        return design;
    return {available.Left + std::max(0, (available.Width - width) / 2),
            available.Top + std::max(0, (available.Height - height) / 2), width, height};
}

std::vector<TShortcut> ParseShortcuts(std::string_view shortcuts)
{
    std::vector<TShortcut> parsed;
    while (!shortcuts.empty()) {
        const size_t comma = shortcuts.find(", ");
        std::string_view sequence = shortcuts.substr(0, comma);
        shortcuts = comma == std::string_view::npos ? std::string_view() : shortcuts.substr(comma + 2);
        TShortcut shortcut;
        // Modifiers before the last "+"; a key of its own may be "+" only at the end.
        for (size_t plus = sequence.find('+'); plus != std::string_view::npos && plus + 1 < sequence.size();
             plus = sequence.find('+')) {
            const std::string_view modifier = sequence.substr(0, plus);
            if (modifier == "Ctrl")
                shortcut.Ctrl = true;
            else if (modifier == "Shift")
                shortcut.Shift = true;
            else if (modifier == "Alt")
                shortcut.Alt = true;
            sequence.remove_prefix(plus + 1);
        }
        shortcut.Key = sequence;
        if (!sequence.empty())
            parsed.push_back(shortcut);
    }
    return parsed;
}

// --- The panel's controls ------------------------------------------------------------------

int TSession::ControlValue(std::string_view control) const
{
    const TGLViewer& v = *m_Viewer;
    const std::pair<std::string_view, bool> boxes[] = {
        {"chkDetailTex", v.DetailTexEnabled}, {"chkGravity", v.Gravity},
        {"chkCheckerboard", v.Checkerboard},  {"chkBoundingSkybox", v.BoundingSkybox},
        {"chkFog", m_Fog},                     {"chkSun", v.TrackSun},
        {"chkLighting", v.atnLightingChecked}, {"chkWireframe", v.atnWireframeChecked},
    };
    for (const auto& [name, checked] : boxes)
        if (name == control)
            return checked ? 1 : 0;
    if (control == "trackDetailTexScale")
        return v.DetailTexScale;
    if (control == "trackCLODDetail")
        return CLODSliderPosition();
    return 0;
}

void TSession::ControlChanged(std::string_view control, int value)
{
    TGLViewer& v = *m_Viewer;
    const bool on = value != 0;
    if (control == "chkDetailTex")
        v.DetailTexEnabled = on;
    else if (control == "chkGravity")
        v.Gravity = on;
    else if (control == "chkCheckerboard")
        v.Checkerboard = on;
    else if (control == "chkBoundingSkybox")
        v.BoundingSkybox = on;
    else if (control == "chkFog")
        SetFog(on);
    else if (control == "chkSun")
        SetTrackSun(on);
    // The two boxes bound to actions invert the action's state, whatever the box says.
    else if (control == "chkLighting")
        v.ToggleLighting();
    else if (control == "chkWireframe")
        ToggleWireframe();
    else if (control == "trackDetailTexScale")
        v.DetailTexScale = value;
    else if (control == "trackCLODDetail")
        v.SetCLODDetail(value);
}

// --- The state kept between runs -----------------------------------------------------------

void TSession::RememberState()
{
    const TGLViewer& v = *m_Viewer;
    // A zone that did not load leaves what was kept before.
    if (ZoneLoaded()) {
        m_FrontEnd.RememberValue(ZoneKey, std::to_string(v.ZoneID));
        m_FrontEnd.RememberValue(LocationKey, v.LocationText());
    }
    m_FrontEnd.RememberValue(RendererKey, std::to_string(v.RenderVersion));
    for (const TKeptSwitch& kept : KeptSwitches)
        m_FrontEnd.RememberValue(kept.Key, std::to_string(static_cast<int>(v.*kept.Member)));
    m_FrontEnd.RememberValue(DetailTexScaleKey, std::to_string(v.DetailTexScale));
    m_FrontEnd.RememberValue(FogKey, std::to_string(static_cast<int>(m_Fog)));
    m_FrontEnd.RememberValue(WireframeKey, std::to_string(static_cast<int>(v.atnWireframeChecked)));
    m_FrontEnd.RememberValue(TrackSunKey, std::to_string(static_cast<int>(v.TrackSun)));
    m_FrontEnd.RememberValue(CLODDetailKey, std::to_string(CLODSliderPosition()));
}

void TSession::RestoreState()
{
    TGLViewer& v = *m_Viewer;
    if (const auto renderer = Remembered<int>(m_FrontEnd, RendererKey); renderer && FindRenderer(*renderer))
        SetRenderer(*renderer);
    for (const TKeptSwitch& kept : KeptSwitches)
        if (const auto on = Remembered<int>(m_FrontEnd, kept.Key))
            v.*kept.Member = *on != 0;
    v.atnLightingChecked = v.Lighting;
    if (const auto scale = Remembered<int>(m_FrontEnd, DetailTexScaleKey);
        scale && *scale >= DetailTexScaleMin && *scale <= DetailTexScaleMax)
        v.DetailTexScale = *scale;
    if (Remembered<int>(m_FrontEnd, FogKey).value_or(0) != 0)
        SetFog(true);
    if (Remembered<int>(m_FrontEnd, WireframeKey).value_or(0) != 0 && !v.atnWireframeChecked)
        ToggleWireframe();
    if (Remembered<int>(m_FrontEnd, TrackSunKey).value_or(0) != 0)
        SetTrackSun(true);
    if (const auto position = Remembered<int>(m_FrontEnd, CLODDetailKey);
        position && *position != CLODDetailStartPosition && *position >= CLODDetailMin && *position <= CLODDetailMax)
        v.SetCLODDetail(*position);
    // The place left last, in the zone left last.
    if (const auto location = Remembered<std::string>(m_FrontEnd, LocationKey);
        location && ZoneLoaded() && Remembered<int>(m_FrontEnd, ZoneKey) == v.ZoneID) {
        try {
            v.ApplyLocationReply(*location);
            v.UpdateCLOD();
        } catch (const Exception&) {
            // A location edited by hand: the start position stays.
        }
    }
}

void TSession::ResetToDefaults()
{
    m_FrontEnd.ForgetValues();
    m_SaveFolder.clear();
    SetDefaultSwitches();
    SetRenderer(m_Viewer->RenderVersion);
    m_Viewer->atnLightingChecked = m_Viewer->Lighting;
    SetFog(false);
    SetTrackSun(false);
    if (m_Viewer->atnWireframeChecked)
        ToggleWireframe();
    m_Viewer->UpdateCLOD();
}

int TSession::CLODSliderPosition() const
{
    // The slider shows its start position until it is moved (CLODDetail is 0.2 then).
    if (m_Viewer->CLODDetail == CLODDetailStart)
        return CLODDetailStartPosition;
    return static_cast<int>(std::lround(m_Viewer->CLODDetail * CLODDetailMax));
}

}  // namespace orv

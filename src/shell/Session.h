// Session: what the viewer does between the user's actions, without any toolkit. A front
// end (the Qt window, orvandel-tool render, a test) owns one, draws its widgets from the
// panel's model below and forwards each event to one call here; the session asks the
// front end for what only widgets can give (TSessionFrontEnd: boxes, the view's context,
// the remembered game folder).
//
//   TSessionFrontEnd plain;                 // no boxes: messages go to standard error
//   TSession session(plain, options);       // options: the command line
//   session.Viewer().ResizeView(640, 480);  // the view's first size puts the camera
//   session.Start();                        // game folder, defaults, zone, shared textures
//   session.ApplyStartOptions();            // --renderer, --loc
//   session.GoTo();                         // asks the front end, then moves
//
// A failure raises an exception carrying its message; the front end shows it and goes on.
#pragma once

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shell/CommandLine.h"
#include "shell/GLViewer.h"

namespace orv {

enum class TMessageKind { Information, Warning, Error };

// A file chosen to be written, and the index of the filter chosen with it.
struct TSaveFileChoice {
    std::string Path;
    int Filter = 0;
};

// What the session needs of a front end. These defaults fit one without a window: no
// box is shown (messages go to standard error, questions get no answer), the view is
// current, nothing is remembered.
class TSessionFrontEnd {
public:
    virtual ~TSessionFrontEnd() = default;
    // A person answers the boxes; without one a failed start-up raises instead of
    // offering another game folder.
    virtual bool Interactive() const { return false; }
    // text: lines separated by carriage returns.
    virtual void ShowMessage(TMessageKind kind, const std::string& caption, const std::string& text);
    // A message with one action offered; true when it was taken.
    virtual bool OfferAction(TMessageKind kind, const std::string& caption, const std::string& text,
                             const std::string& action);
    // A text box; nothing when cancelled.
    virtual std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                               const std::string& text);
    // A text box offering items to pick.
    virtual std::optional<std::string> AskChoice(const std::string& caption, const std::string& prompt,
                                                 const std::vector<std::string>& items, const std::string& text);
    virtual std::optional<std::string> AskFolder(const std::string& caption, const std::string& start);
    // A file to write, suggestedName offered in folder (empty: the working directory).
    virtual std::optional<TSaveFileChoice> AskSaveFile(const std::string& caption, const std::string& folder,
                                                       const std::string& suggestedName,
                                                       const std::vector<std::string>& filters);
    // The view has an OpenGL context; MakeCurrent makes it current before OpenGL calls.
    virtual bool ViewActive() const { return true; }
    virtual void MakeCurrent() {}
    // The game folder chosen last, kept between runs.
    virtual std::optional<std::string> RememberedGameDir() { return std::nullopt; }
    virtual void RememberGameDir(const std::string& /*gameDir*/) {}
    // Writes the view's last picture as a PNG file; false when it cannot.
    virtual bool WriteViewPicture(const std::string& /*path*/) { return false; }
    // A long step (writing a file) begins or ends.
    virtual void SetBusy(bool /*busy*/) {}
    // What the user just did ("Saved view to /home/ann/Pictures/orvandel-...png"), shown
    // for a while; the progress log has it as well.
    virtual void Notify(const std::string& /*text*/) {}
    // Where files the user saves go the first time (the desktop's pictures or documents
    // folder); empty: the working directory.
    virtual std::string DocumentsFolder() { return {}; }
    // Values kept between runs under a key (the state the viewer was left in); nothing
    // when none is kept. ForgetValues drops them all (the game folder stays).
    virtual std::optional<std::string> RememberedValue(const std::string& /*key*/) { return std::nullopt; }
    virtual void RememberValue(const std::string& /*key*/, const std::string& /*value*/) {}
    virtual void ForgetValues() {}
};

// When the environment variable ORVANDEL_MESSAGE_LOG names a file, a front end shows
// no box: it appends the box's text to that file as one line (a carriage return written
// as \r, a line feed as \n, an offered action as " [action]" at the end) and goes on as
// if the user had closed it. Returns false when the variable is not set.
bool AppendToMessageLog(const std::string& text, const std::string& action);
// Whether ORVANDEL_MESSAGE_LOG names a file: no one answers the boxes then.
bool MessageLogActive();

// --- The panel's model: the controls a front end makes, their captions, places (pixels
// from the panel's top left corner) and start states; the session's calls are what each does.

enum class TPanelKind : uint8_t { CheckBox, Slider, Renderers };

// A slider's range, start position and size.
struct TPanelSlider {
    int Width, Height;
    int Min, Max, Position, PageStep, TickInterval;
    bool TickMarks;
};

inline constexpr TPanelSlider DetailTexScaleSlider{73, 18, DetailTexScaleMin, DetailTexScaleMax, DetailTexScaleStart,
                                                   10, 1, false};
inline constexpr TPanelSlider CLODDetailSlider{118, 17, CLODDetailMin, CLODDetailMax, CLODDetailStartPosition,
                                               64, 64, true};

struct TPanelControl {
    TPanelKind Kind;
    std::string_view Name;      // chkFog, trackCLODDetail, ...; none for the renderers
    std::string_view Caption;   // a check box's caption, a slider's hint
    // Renderers: one radio button per row of RendererTable, the first here, each next one
    // RendererSpacing below; the default renderer's is on.
    int Left, Top;
    bool Checked = false;                   // a check box's start state
    const TPanelSlider* Slider = nullptr;   // a slider's range and size
};

inline constexpr int RendererSpacing = 16;

// In the order the keyboard (Tab) reaches them.
inline constexpr TPanelControl PanelControls[] = {
    {TPanelKind::CheckBox, "chkDetailTex", "Detail Texture", 4, 4, true},
    {TPanelKind::Slider, "trackDetailTexScale", "Detail texture scale", 4, 24, false, &DetailTexScaleSlider},
    {TPanelKind::CheckBox, "chkGravity", "Gravity", 4, 40, false},
    {TPanelKind::CheckBox, "chkRender", "Render", 112, 8, true},
    {TPanelKind::CheckBox, "chkWireframe", "Wireframe", 112, 24, false},
    {TPanelKind::CheckBox, "chkSun", "Track Sun", 112, 40, false},
    {TPanelKind::CheckBox, "chkCheckerboard", "Use checker terrain", 196, 4, false},
    {TPanelKind::CheckBox, "chkFog", "Fog", 196, 20, false},
    {TPanelKind::CheckBox, "chkBoundingSkybox", "BoundingSkybox", 196, 36, true},
    {TPanelKind::CheckBox, "chkLighting", "Lighting", 196, 52, true},
    {TPanelKind::Renderers, "", "", 436, 4},
    {TPanelKind::Slider, "trackCLODDetail", "Level of Detail", 516, 52, false, &CLODDetailSlider},
};

// Why a panel control changes nothing on screen with a renderer (a tag of RendererTable);
// empty when it acts. A front end disables such a control and gives this as its tip.
std::string ControlIdleReason(std::string_view control, int renderer);
// A control's tip: a slider's hint, then on a line of its own why the control is idle
// with the renderer; empty when there is neither.
std::string ControlTip(const TPanelControl& control, int renderer);

// --- The window's place.

// A rectangle of the screen in pixels.
struct TScreenRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const TScreenRect&) const = default;
};
// The window's outer size and place at start (the design's: 648 x 580 at 316, 152).
inline constexpr TScreenRect DesignOuterRect{316, 152, 648, 580};
// The outer rectangle of the window on a screen's available area: the design's where it
// fits whole, otherwise the design's size within the area (never below the minimum
// width and height) centred on it; a window larger than the area keeps its top left
// corner (and its caption) on it.
TScreenRect FitOuterRect(const TScreenRect& design, const TScreenRect& available, int minimumWidth,
                         int minimumHeight);

// --- The actions: what the keyboard and the menu reach.

enum class TActionId : uint8_t {
    Go, Zone, DumpD2, DumpH, ExportZone, SaveZoneMap, Wireframe, Lighting, Help, SaveView, Home,
    OpenGameFolder, Quit, PopupMenu, SaveD2Map, SaveHMap, FullScreen, ResetDefaults,
};

struct TActionModel {
    TActionId Id;
    std::string_view Name;        // atnGo, ...
    std::string_view Caption;
    // Key sequences as text ("Ctrl+G", "Shift+F10"), several separated by ", ".
    std::string_view Shortcuts;
    bool Checkable = false, Checked = false;
    bool NeedsZone = false;       // disabled until a zone has loaded
};

inline constexpr TActionModel ActionModels[] = {
    {TActionId::Go, "atnGo", "Go to loc...", "Ctrl+G", false, false, true},
    {TActionId::Zone, "atnZone", "Zone", "Ctrl+Z", false, false, true},
    {TActionId::DumpD2, "atnDumpD2", "Dump D2 Map", "", false, false, true},
    {TActionId::DumpH, "atnDumpH", "Dump H map", "", false, false, true},
    {TActionId::ExportZone, "atnExportZone", "Export zone as glTF...", "", false, false, true},
    {TActionId::SaveZoneMap, "atnSaveZoneMap", "Save zone map...", "", false, false, true},
    {TActionId::Wireframe, "atnWireframe", "Wireframe", "Ctrl+W", true, false},
    {TActionId::Lighting, "atnLighting", "Lighting", "Ctrl+L", true, true},
    {TActionId::Help, "atnHelp", "Keys and mouse", "F1"},
    {TActionId::SaveView, "atnSaveView", "Save view", "F12", false, false, true},
    {TActionId::Home, "atnHome", "Back to the start", "Home", false, false, true},
    {TActionId::OpenGameFolder, "atnOpenGameFolder", "Open game folder...", "Ctrl+O"},
    {TActionId::Quit, "atnQuit", "Quit", "Ctrl+Q"},
    {TActionId::PopupMenu, "atnPopupMenu", "Menu", "Menu, Shift+F10"},
    {TActionId::SaveD2Map, "atnSaveD2Map", "Save D2 map as text...", "", false, false, true},
    {TActionId::SaveHMap, "atnSaveHMap", "Save H map as text...", "", false, false, true},
    {TActionId::FullScreen, "atnFullScreen", "Full screen", "F11", true, false},
    {TActionId::ResetDefaults, "atnResetDefaults", "Reset to defaults", ""},
};

const TActionModel& ActionModel(TActionId id);

// One key sequence of an action's Shortcuts: the modifiers and the key's name ("G",
// "F10", "Home", "Menu", "1").
struct TShortcut {
    bool Ctrl = false, Shift = false, Alt = false;
    std::string_view Key;
};
// The sequences of a Shortcuts text ("Menu, Shift+F10"), in their order.
std::vector<TShortcut> ParseShortcuts(std::string_view shortcuts);

// The popup menu, top to bottom. Item: a menu item of its own bound to the action (its
// caption the action's), empty for the action itself; a separator has no action.
struct TMenuItemModel {
    std::optional<TActionId> Action;
    std::string_view Item;
};

inline constexpr TMenuItemModel PopupMenuItems[] = {
    {TActionId::OpenGameFolder, ""},
    {std::nullopt, ""},
    {TActionId::DumpD2, "DumpD2Map1"},
    {TActionId::DumpH, "DumpHmap1"},
    {TActionId::ExportZone, "ExportZone1"},
    {TActionId::SaveZoneMap, "SaveZoneMap1"},
    {TActionId::SaveD2Map, ""},
    {TActionId::SaveHMap, ""},
    {TActionId::SaveView, ""},
    {std::nullopt, ""},
    {TActionId::FullScreen, ""},
    {TActionId::ResetDefaults, ""},
    {TActionId::Help, ""},
    {std::nullopt, ""},
    {TActionId::Quit, ""},
};

// The keys that pick the renderers, in the order of RendererTable.
inline constexpr std::string_view RendererShortcuts[] = {"1", "2", "3", "4"};

// The help table (F1): keys or mouse, and what they do.
struct THelpEntry {
    std::string_view Keys, Does;
};
std::span<const THelpEntry> HelpEntries();

class TSession {
public:
    static constexpr std::string_view ApplicationTitle = "Orvandel";
    static constexpr std::string_view OpenGameFolderCaption = "Open game folder...";

    explicit TSession(TSessionFrontEnd& frontEnd, TViewerOptions options = {});
    ~TSession();
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    TGLViewer& Viewer() { return *m_Viewer; }

    // --- Start-up ------------------------------------------------------------------
    // Creation once the view exists: the game folder (the command line's, else the one
    // remembered, else the default), the defaults of the state, then with a context the
    // extensions (a warning shown when OpenGL 1.3 is missing), the base state and
    // LoadGame of the command line's zone (else 111). lastMouse: the cursor in the view.
    void Start(TViewer::TPoint lastMouse = {});
    // What the command line asks for beyond the defaults (renderer, location), once
    // Start has ended.
    void ApplyStartOptions();

    // --- Zones and folders -----------------------------------------------------------
    // InPlace: LoadZone (what loaded before a failure stays); Whole: ReplaceZone (the
    // current zone stays whole until the new one has loaded).
    enum class TZoneChange { InPlace, Whole };
    // Loads a zone; one the game folder does not have raises with a note of those it has
    // (for an interactive front end).
    void LoadZone(int zoneId, TZoneChange change = TZoneChange::InPlace);
    // The zone and the shared textures, as start-up loads them. When the zone cannot be
    // loaded the message offers another game folder (an unattended front end raises).
    // Returns whether the zone loaded. previousDir: the game folder to go back to when
    // the zone fails (empty: the failed folder stays, as at start-up).
    bool LoadGame(int zoneId, TZoneChange change = TZoneChange::InPlace, const std::string& previousDir = {});
    // Asks for another game folder; one with zones gets its zone 111 loaded with the
    // shared textures, and is remembered when that zone loaded; another one is explained.
    void OpenGameFolder();
    // "Zone": asks for a zone (the game folder's offered) and changes to it whole.
    // "Go to loc...": asks for a location and goes there. A reply that does not convert
    // moves nothing: its error is shown and the box opens again with the reply (an
    // unattended front end raises it).
    void ChangeZone();
    void GoTo();

    // --- Switches that set OpenGL state (the view's context made current) -------------
    void SetRenderer(int tag);
    void SetFog(bool on);
    void SetTrackSun(bool on);
    void ToggleWireframe();

    // --- Taking the zone out ---------------------------------------------------------
    // Ask where, write, log; each returns the file written, empty when cancelled.
    // ExportZone: a .glb or .gltf, the whole grid or the view's level of detail, as the
    // filter chosen says; SaveZoneMap: the zone's map as a PNG picture.
    std::string ExportZone();
    std::string SaveZoneMap();
    // The view as a PNG picture: asked where ("orvandel-<date>-<time>.png" suggested in
    // the folder used last); without anyone to ask, that name in the working directory.
    // Returns the file written, empty when cancelled.
    std::string SaveView();
    // The name SaveView suggests for a picture saved at this local time in folder (the
    // working directory when empty): a number added when the name is taken.
    static std::string SaveViewName(const std::tm& now, const std::string& folder = {});
    // "Save D2 map as text...", "Save H map as text...": the dump as text in a file.
    std::string SaveD2Map();
    std::string SaveHMap();

    // --- What the window shows -----------------------------------------------------
    // A zone has loaded: until then the view shows EmptyViewText and draws nothing.
    bool ZoneLoaded() const { return m_Viewer->ZoneID != 0; }
    static constexpr std::string_view EmptyViewText =
        "No zone loaded.\rOpen a game folder with Ctrl+O, or right click for the menu.";
    // The status line: "Zone 111   Loc 32768,65279,256,0,80   CLOD fans".
    std::string StatusText() const;
    // Whether an action can run now: some need a zone.
    bool ActionEnabled(TActionId id) const { return !ActionModel(id).NeedsZone || ZoneLoaded(); }

    // --- The panel's controls, by their names in PanelControls -------------------------
    // What a check box or slider shows for the state: a tick as 1 or 0, a position.
    int ControlValue(std::string_view control) const;
    // A box ticked or unticked, a slider moved: the state follows. "chkRender" is the
    // front end's own (its frame loop); the renderers' buttons call SetRenderer.
    void ControlChanged(std::string_view control, int value);

    // --- The state kept between runs -------------------------------------------------
    // Keeps the zone, the location, the renderer, the switches and the sliders.
    void RememberState();
    // What RememberState kept comes back by itself: Start loads the zone kept (when
    // the folder has it), ApplyStartOptions takes back the rest before the command
    // line's options, which win.
    // Forgets the state kept and sets the defaults of start-up again (the zone stays).
    // The front end sets its controls from the viewer after RestoreState and this.
    void ResetToDefaults();
    // Fog and the wireframe are OpenGL state without a flag of the viewer: kept here.
    bool FogOn() const { return m_Fog; }
    // The level-of-detail slider's position for the viewer's CLODDetail.
    int CLODSliderPosition() const;

private:
    // The drawing switches and sliders of start-up.
    void SetDefaultSwitches();
    void RestoreState();
    // Asks where a file goes (in the folder used last), writes it (write returns what the
    // log adds after the path), remembers the folder, logs and notifies done followed by
    // the path; returns the path, empty when cancelled. choice: set before write runs.
    std::string SaveFile(const std::string& caption, const std::string& suggestedName,
                         const std::vector<std::string>& filters, TSaveFileChoice* choice,
                         const std::function<std::string(const std::string& path)>& write, const std::string& done);
    // A dump as text, suggested as "zone111<suffix>.txt".
    std::string SaveDump(const std::string& caption, const char* suffix, void (TViewer::*dump)(std::FILE*));
    // The folder files are saved to: the one used last, else the front end's documents.
    std::string SaveFolder();

    // convert's result; nothing when it raised a conversion error, which was shown.
    template <typename F>
    auto ConvertReply(F&& convert) -> std::optional<decltype(convert())>;

    TSessionFrontEnd& m_FrontEnd;
    TViewerOptions m_Options;
    bool m_Fog = false;
    std::string m_SaveFolder;
    std::unique_ptr<TGLViewer> m_Viewer;
};

}  // namespace orv

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

#include <ctime>
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
    virtual std::optional<TSaveFileChoice> AskSaveFile(const std::string& caption, const std::string& suggestedName,
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
};

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
    // Returns whether the zone loaded.
    bool LoadGame(int zoneId);
    // Asks for another game folder; one with zones gets its zone 111 loaded with the
    // shared textures, and is remembered when that zone loaded; another one is explained.
    void OpenGameFolder();
    // "Zone": asks for a zone (the game folder's offered) and changes to it whole.
    void ChangeZone();
    // "Go to loc...": asks for a location and goes there.
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
    // The view as "orvandel-<date>-<time>.png" (a number added when taken) in the
    // working directory; returns the name.
    std::string SaveView();
    // The name SaveView takes for a picture saved at this local time.
    static std::string SaveViewName(const std::tm& now);

private:
    TSessionFrontEnd& m_FrontEnd;
    TViewerOptions m_Options;
    std::unique_ptr<TGLViewer> m_Viewer;
};

}  // namespace orv

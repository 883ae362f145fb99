// The window as it opens, and what each control, action and menu item changes.
#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "GLWindow.h"
#include "KeyTracker.h"
#include "shell/GLViewer.h"
#include "terrain/CLOD.h"

namespace fs = std::filesystem;
using orvtest::TWindowTest;

namespace {

// Every switch of the viewer, the OpenGL state the controls set, and the state of the
// two actions and their boxes, as text, by name.
using TSnapshot = std::map<std::string, std::string>;

template <typename T>
std::string Text(const T& value)
{
    std::ostringstream out;
    out.precision(9);
    out << value;
    return out.str();
}

TSnapshot Snapshot(orv::TForm1& form)
{
    orv::TGLViewer& v = form.Viewer();
    TSnapshot s;
    s["RenderVersion"] = Text(int(v.RenderVersion));
    s["Lighting"] = Text(v.Lighting);
    s["DetailTexEnabled"] = Text(v.DetailTexEnabled);
    s["DetailTexScale"] = Text(v.DetailTexScale);
    s["Checkerboard"] = Text(v.Checkerboard);
    s["BoundingSkybox"] = Text(v.BoundingSkybox);
    s["Gravity"] = Text(v.Gravity);
    s["TrackSun"] = Text(v.TrackSun);
    s["CLODDetail"] = Text(v.CLODDetail);
    s["TexturesEnabled"] = Text(v.TexturesEnabled);
    s["Camera"] = Text(v.Camera.Pos.x) + "," + Text(v.Camera.Pos.y) + "," + Text(v.Camera.Pos.z) + "," +
                  Text(v.Camera.Pitch) + "," + Text(v.Camera.Heading);
    s["ZoneID"] = Text(v.ZoneID);
    s["Rendering"] = Text(form.Rendering());
    s["Wireframe"] = Text(v.atnWireframeChecked) + Text(form.atnWireframe->isChecked()) +
                     Text(form.chkWireframe->isChecked());
    s["LightingControls"] = Text(v.atnLightingChecked) + Text(form.atnLighting->isChecked()) +
                            Text(form.chkLighting->isChecked());
    form.glMap->makeCurrent();
    GLint polygonMode[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    s["PolygonMode"] = Text(polygonMode[0]) + "," + Text(polygonMode[1]);
    s["CullFace"] = Text(int(glIsEnabled(GL_CULL_FACE)));
    s["Fog"] = Text(int(glIsEnabled(GL_FOG)));
    GLfloat light[4] = {};
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    s["Light0Position"] = Text(light[0]) + "," + Text(light[1]) + "," + Text(light[2]) + "," + Text(light[3]);
    return s;
}

std::set<std::string> Changed(const TSnapshot& before, const TSnapshot& after)
{
    std::set<std::string> names;
    for (const auto& [name, value] : before)
        if (after.at(name) != value)
            names.insert(name);
    return names;
}

class ControlsTest : public orvtest::TSampleGameWindowTest {
protected:
    // Runs the step and expects exactly `names` to change.
    std::set<std::string> ChangesOf(const std::function<void()>& step)
    {
        const TSnapshot before = Snapshot(*form);
        step();
        return Changed(before, Snapshot(*form));
    }
};

}  // namespace

// --- The window as it opens ------------------------------------------------------------

TEST_F(ControlsTest, OpensWithTheDesignSizeCaptionAndPanel)
{
    // Rendering was switched off before any 20 frames could pass: the program's name.
    EXPECT_EQ(form->windowTitle(), "Orvandel");
    EXPECT_EQ(form->frameGeometry().size(), QSize(orv::TForm1::OuterWidth, orv::TForm1::OuterHeight));
    EXPECT_EQ(form->pnlTop->height(), orv::TForm1::PanelHeight);
    EXPECT_EQ(form->pnlTop->frameShadow(), QFrame::Sunken);
    // The view fills everything below the panel.
    EXPECT_EQ(form->glMap->geometry().top(), orv::TForm1::PanelHeight);
    EXPECT_EQ(form->glMap->width(), form->centralWidget()->width());
    EXPECT_EQ(form->glMap->geometry().bottom(), form->centralWidget()->height() - 1);
}

TEST_F(ControlsTest, PanelControlsSitInTheirColumnsWithCaptionsAndStates)
{
    struct TExpected {
        QAbstractButton* Button;
        const char* Caption;
        int Left, Top;
        bool Checked;
    };
    const TExpected expected[] = {
        {form->chkDetailTex, "Detail Texture", 4, 4, true},
        {form->chkGravity, "Gravity", 4, 40, false},
        {form->chkRender, "Render", 112, 8, false},   // unticked by the fixture
        {form->chkWireframe, "Wireframe", 112, 24, false},
        {form->chkSun, "Track Sun", 112, 40, false},
        {form->chkCheckerboard, "Use checker terrain", 196, 4, false},
        {form->chkFog, "Fog", 196, 20, false},
        {form->chkBoundingSkybox, "BoundingSkybox", 196, 36, true},
        {form->chkLighting, "Lighting", 196, 52, true},
        {form->RendererButton(orv::rvV1), "V1 renderer", 436, 4, false},
        {form->RendererButton(orv::rvPointer), "Pointer renderer", 436, 20, false},
        {form->RendererButton(orv::rvFan), "Fan renderer", 436, 36, false},
        {form->RendererButton(orv::rvCLOD), "CLOD fans", 436, 52, true},
    };
    for (const TExpected& e : expected) {
        SCOPED_TRACE(e.Caption);
        EXPECT_EQ(e.Button->parentWidget(), form->pnlTop);
        EXPECT_EQ(e.Button->text(), e.Caption);
        EXPECT_EQ(e.Button->pos(), QPoint(e.Left, e.Top));
        EXPECT_EQ(e.Button->isChecked(), e.Checked);
    }
    int tag = 0;
    for (QRadioButton* button : {form->RendererButton(orv::rvV1), form->RendererButton(orv::rvPointer), form->RendererButton(orv::rvFan), form->RendererButton(orv::rvCLOD)})
        EXPECT_EQ(button->property("Tag").toInt(), tag++);

    EXPECT_EQ(form->trackDetailTexScale->geometry(), QRect(4, 24, 73, 18));
    EXPECT_EQ(form->trackDetailTexScale->minimum(), 1);
    EXPECT_EQ(form->trackDetailTexScale->maximum(), 32);
    EXPECT_EQ(form->trackDetailTexScale->value(), 16);
    EXPECT_EQ(form->trackDetailTexScale->tickPosition(), QSlider::NoTicks);
    // The hint, and why the slider is idle with the CLOD fans.
    EXPECT_TRUE(form->trackDetailTexScale->toolTip().startsWith("Detail texture scale"));
    EXPECT_EQ(form->trackCLODDetail->geometry(), QRect(516, 52, 118, 17));
    EXPECT_EQ(form->trackCLODDetail->minimum(), 1);
    EXPECT_EQ(form->trackCLODDetail->maximum(), 255);
    EXPECT_EQ(form->trackCLODDetail->value(), 50);
    EXPECT_EQ(form->trackCLODDetail->pageStep(), 64);
    EXPECT_EQ(form->trackCLODDetail->tickInterval(), 64);
    EXPECT_NE(form->trackCLODDetail->tickPosition(), QSlider::NoTicks);
    EXPECT_EQ(form->trackCLODDetail->toolTip(), "Level of Detail");
}

TEST_F(ControlsTest, ActionsCarryTheirCaptionsShortcutsAndChecks)
{
    struct TExpected {
        QAction* Action;
        const char* Caption;
        const char* Shortcut;
    };
    const TExpected expected[] = {
        {form->atnGo, "Go to loc...", "Ctrl+G"},     {form->atnZone, "Zone", "Ctrl+Z"},
        {form->atnDumpD2, "Dump D2 Map", ""},        {form->atnDumpH, "Dump H map", ""},
        {form->atnWireframe, "Wireframe", "Ctrl+W"}, {form->atnLighting, "Lighting", "Ctrl+L"},
    };
    for (const TExpected& e : expected) {
        SCOPED_TRACE(e.Caption);
        EXPECT_EQ(e.Action->text(), e.Caption);
        EXPECT_EQ(e.Action->shortcut().toString(), e.Shortcut);
        EXPECT_TRUE(form->actions().contains(e.Action));
    }
    EXPECT_FALSE(form->atnWireframe->isChecked());
    EXPECT_TRUE(form->atnLighting->isChecked());
    // The popup menu: the folder choice, then the two dumps, the export and the map,
    // then the rest of the menu's model.
    const QList<QAction*> items = form->pumMain->actions();
    ASSERT_EQ(items.size(), static_cast<qsizetype>(std::size(orv::PopupMenuItems)));
    EXPECT_EQ(items[0], form->atnOpenGameFolder);
    EXPECT_EQ(items[0]->text(), "Open game folder...");
    EXPECT_EQ(items[0]->shortcut().toString(), "Ctrl+O");
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2], form->DumpD2Map1);
    EXPECT_EQ(items[3], form->DumpHmap1);
    EXPECT_EQ(items[4], form->ExportZone1);
    EXPECT_EQ(items[5], form->SaveZoneMap1);
    EXPECT_EQ(items[2]->text(), form->atnDumpD2->text());
    EXPECT_EQ(items[3]->text(), form->atnDumpH->text());
    EXPECT_EQ(items[4]->text(), "Export zone as glTF...");
    EXPECT_EQ(items[5]->text(), "Save zone map...");
}

TEST_F(ControlsTest, CreationSetsTheDefaultsAndLoadsZone111)
{
    const orv::TGLViewer& v = form->Viewer();
    EXPECT_EQ(v.GameDir, orvtest::SampleGame() + "/");
    EXPECT_EQ(v.ZoneID, 111);
    EXPECT_EQ(v.DetailTexScale, 16);
    // The slider shows 50 while the factor is the creation's 0.2.
    EXPECT_FLOAT_EQ(v.CLODDetail, 0.2f);
    EXPECT_EQ(form->trackCLODDetail->value(), 50);
    EXPECT_EQ(v.RenderVersion, orv::rvCLOD);
    EXPECT_TRUE(v.TexturesEnabled);
    EXPECT_NE(v.SkyTexture, 0u);
    EXPECT_FALSE(v.WaterRegions.empty());
    EXPECT_TRUE(messages.Messages.empty());
    // The log: one line of extensions, then the loading of the zone and the shared textures.
    ASSERT_FALSE(log.Lines.empty());
    EXPECT_NE(log.Lines[0].find("GL_ARB_multitexture"), std::string::npos);
    EXPECT_TRUE(log.Contains("Loading terrain verticies..."));
    EXPECT_TRUE(log.Contains("Loading checker terrain texture..."));
}

// --- Each control changes exactly its own switch or OpenGL state ----------------------

TEST_F(ControlsTest, EachCheckBoxChangesOnlyItsSwitch)
{
    using S = std::set<std::string>;
    // The detail texture and the checker terrain are live with the V1 renderer alone.
    form->RendererButton(orv::rvV1)->click();
    EXPECT_EQ(ChangesOf([&] { form->chkDetailTex->click(); }), S{"DetailTexEnabled"});
    EXPECT_FALSE(form->Viewer().DetailTexEnabled);
    EXPECT_EQ(ChangesOf([&] { form->chkGravity->click(); }), S{"Gravity"});
    EXPECT_TRUE(form->Viewer().Gravity);
    EXPECT_EQ(ChangesOf([&] { form->chkCheckerboard->click(); }), S{"Checkerboard"});
    EXPECT_TRUE(form->Viewer().Checkerboard);
    EXPECT_EQ(ChangesOf([&] { form->chkBoundingSkybox->click(); }), S{"BoundingSkybox"});
    EXPECT_FALSE(form->Viewer().BoundingSkybox);
    EXPECT_EQ(ChangesOf([&] { form->chkRender->click(); }), S{"Rendering"});
    EXPECT_TRUE(form->Rendering());
    EXPECT_EQ(ChangesOf([&] { form->chkRender->click(); }), S{"Rendering"});
    EXPECT_FALSE(form->Rendering());
    // A real click on the box goes the same way.
    EXPECT_EQ(ChangesOf([&] { QTest::mouseClick(form->chkDetailTex, Qt::LeftButton); }), S{"DetailTexEnabled"});
    EXPECT_TRUE(form->Viewer().DetailTexEnabled);
}

TEST_F(ControlsTest, FogWireframeAndSunSetOpenGLState)
{
    using S = std::set<std::string>;
    EXPECT_EQ(ChangesOf([&] { form->chkFog->click(); }), S{"Fog"});
    EXPECT_EQ(Snapshot(*form)["Fog"], "1");
    EXPECT_EQ(ChangesOf([&] { form->chkFog->click(); }), S{"Fog"});
    EXPECT_EQ(Snapshot(*form)["Fog"], "0");

    EXPECT_EQ(ChangesOf([&] { form->chkWireframe->click(); }), (S{"Wireframe", "PolygonMode"}));
    EXPECT_EQ(Snapshot(*form)["PolygonMode"], Text(GL_LINE) + "," + Text(GL_LINE));
    EXPECT_EQ(Snapshot(*form)["Wireframe"], "111");
    EXPECT_EQ(ChangesOf([&] { form->chkWireframe->click(); }), (S{"Wireframe", "PolygonMode"}));
    EXPECT_EQ(Snapshot(*form)["PolygonMode"], Text(GL_FILL) + "," + Text(GL_FILL));

    // Ticking only lets the sun move; unticking fixes light 0 at (-1, 0, 1, 0) as well.
    EXPECT_EQ(ChangesOf([&] { form->chkSun->click(); }), S{"TrackSun"});
    EXPECT_EQ(ChangesOf([&] { form->chkSun->click(); }), (S{"TrackSun", "Light0Position"}));
    EXPECT_EQ(Snapshot(*form)["Light0Position"], "-1,0,1,0");
}

TEST_F(ControlsTest, PointerRendererSwitchesCullingOffAndTheOthersBackOn)
{
    using S = std::set<std::string>;
    EXPECT_EQ(ChangesOf([&] { form->RendererButton(orv::rvPointer)->click(); }), (S{"RenderVersion", "CullFace"}));
    EXPECT_EQ(form->Viewer().RenderVersion, orv::rvPointer);
    EXPECT_EQ(Snapshot(*form)["CullFace"], "0");
    struct TOther {
        QRadioButton* Button;
        int Tag;
    };
    for (const TOther& other : {TOther{form->RendererButton(orv::rvV1), 0}, TOther{form->RendererButton(orv::rvFan), 2},
                                TOther{form->RendererButton(orv::rvCLOD), 3}}) {
        SCOPED_TRACE(other.Tag);
        form->RendererButton(orv::rvPointer)->click();
        EXPECT_EQ(ChangesOf([&] { other.Button->click(); }), (S{"RenderVersion", "CullFace"}));
        EXPECT_EQ(form->Viewer().RenderVersion, other.Tag);
        EXPECT_EQ(Snapshot(*form)["CullFace"], "1");
        // Selecting it again keeps culling on.
        EXPECT_EQ(ChangesOf([&] { other.Button->click(); }), S{});
    }
    // A real click selects the button under the mouse.
    EXPECT_EQ(ChangesOf([&] { QTest::mouseClick(form->RendererButton(orv::rvPointer), Qt::LeftButton, {}, QPoint(8, 8)); }),
              (S{"RenderVersion", "CullFace"}));
}

TEST_F(ControlsTest, SlidersSetScaleAndDetailAndTheDetailRefinesAtOnce)
{
    using S = std::set<std::string>;
    EXPECT_EQ(ChangesOf([&] { form->trackDetailTexScale->setValue(20); }), S{"DetailTexScale"});
    EXPECT_EQ(form->Viewer().DetailTexScale, 20);

    auto subdivided = [&] {
        int count = 0;
        for (const auto& column : form->Viewer().Terrain)
            for (const orv::TTerrainVertex& vertex : column)
                count += vertex.Subdivided != 0;
        return count;
    };
    // 51 / 255 is the creation's 0.2 itself; 52 shows the change.
    EXPECT_EQ(ChangesOf([&] { form->trackCLODDetail->setValue(52); }), S{"CLODDetail"});
    EXPECT_FLOAT_EQ(form->Viewer().CLODDetail, 52.0f / 255.0f);
    form->trackCLODDetail->setValue(1);
    const int coarse = subdivided();
    form->trackCLODDetail->setValue(255);
    EXPECT_FLOAT_EQ(form->Viewer().CLODDetail, 1.0f);
    EXPECT_NE(subdivided(), coarse) << "the terrain is refined for the new factor without a frame";
}

TEST_F(ControlsTest, CtrlLAndTheLightingBoxNeverDisagree)
{
    ASSERT_NO_FATAL_FAILURE(Activate());
    bool lighting = true;
    // Box, key, key, box, key: each flips all four together.
    const std::function<void()> steps[] = {
        [&] { form->chkLighting->click(); },
        [&] { QTest::keyClick(form.get(), Qt::Key_L, Qt::ControlModifier); },
        [&] { QTest::keyClick(form->chkFog, Qt::Key_L, Qt::ControlModifier); },   // focus on the panel
        [&] { QTest::mouseClick(form->chkLighting, Qt::LeftButton); },
        [&] { QTest::keyClick(form->glMap, Qt::Key_L, Qt::ControlModifier); },
    };
    int step = 0;
    for (const auto& run : steps) {
        SCOPED_TRACE(step++);
        EXPECT_EQ(ChangesOf(run), (std::set<std::string>{"Lighting", "LightingControls"}));
        lighting = !lighting;
        EXPECT_EQ(form->Viewer().Lighting, lighting);
        EXPECT_EQ(form->atnLighting->isChecked(), lighting);
        EXPECT_EQ(form->chkLighting->isChecked(), lighting);
        EXPECT_EQ(form->Viewer().atnLightingChecked, lighting);
    }
}

TEST_F(ControlsTest, CtrlWAndTheWireframeBoxStayInStep)
{
    ASSERT_NO_FATAL_FAILURE(Activate());
    EXPECT_EQ(ChangesOf([&] { QTest::keyClick(form.get(), Qt::Key_W, Qt::ControlModifier); }),
              (std::set<std::string>{"Wireframe", "PolygonMode"}));
    EXPECT_TRUE(form->chkWireframe->isChecked());
    form->chkWireframe->click();
    EXPECT_FALSE(form->atnWireframe->isChecked());
    EXPECT_EQ(Snapshot(*form)["PolygonMode"], Text(GL_FILL) + "," + Text(GL_FILL));
}

// --- The panel's popup menu and the dumps ----------------------------------------------

namespace {

// Standard output of a step, through a temporary file.
std::string CapturedStdout(const std::function<void()>& step)
{
    std::fflush(stdout);
    std::FILE* capture = std::tmpfile();
    const int saved = ::dup(::fileno(stdout));
    ::dup2(::fileno(capture), ::fileno(stdout));
    step();
    std::fflush(stdout);
    ::dup2(saved, ::fileno(stdout));
    ::close(saved);
    std::rewind(capture);
    std::string text;
    for (int c; (c = std::fgetc(capture)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(capture);
    return text;
}

}  // namespace

TEST_F(ControlsTest, RightClickOnThePanelOpensTheDumpMenu)
{
    const QPoint inside(300, 60);
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside, form->pnlTop->mapToGlobal(inside));
    QApplication::sendEvent(form->pnlTop, &event);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->pumMain->isVisible(); }, 5000));
    form->pumMain->close();
}

TEST_F(ControlsTest, MenuItemsDumpTheMapsOfTheLoadedZone)
{
    const std::string heights = CapturedStdout([&] { form->DumpHmap1->trigger(); });
    const std::string d2 = CapturedStdout([&] { form->DumpD2Map1->trigger(); });
    auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
    EXPECT_EQ(lines(heights), orv::GridVertices);
    EXPECT_EQ(lines(d2), orv::GridVertices);
    // The first value of the height map is vertex (0, 0) in four hexadecimal digits.
    char first[8];
    std::snprintf(first, sizeof first, "%04X ", form->Viewer().Terrain[0][0].Height);
    EXPECT_EQ(heights.substr(0, 5), first);
    EXPECT_NE(heights, d2);
}

// --- Taking the zone out ------------------------------------------------------------------

// Answers the file dialogs with the given path and filter, and records what they offered.
struct TFileAnswer {
    QString Path;
    int Filter = 0;
    bool Cancel = false;
    QStringList Offered;
    QString Folder, Suggested;
    orv::TSaveFileQuery Query()
    {
        return [this](QWidget*, const QString&, const QString& folder, const QString& name, const QStringList& filters)
                   -> std::optional<orv::TSaveFileReply> {
            Offered = filters;
            Folder = folder;
            Suggested = name;
            if (Cancel)
                return std::nullopt;
            return orv::TSaveFileReply{Path, Filter};
        };
    }
};

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What orvandel-tool COMMAND GAME 111 -o NAME writes, run in dir (where it also leaves
// sector.dat).
std::string ToolOutput(const char* command, const std::string& name, const std::string& dir)
{
    QProcess tool;
    tool.setWorkingDirectory(QString::fromStdString(dir));
    tool.start(QStringLiteral(ORVANDEL_BINARY_DIR "/tools/orvandel-tool"),
               {QString::fromLatin1(command), QString::fromStdString(orvtest::SampleGame() + "/"),
                QStringLiteral("111"), QStringLiteral("-o"), QString::fromStdString(name)});
    if (!tool.waitForFinished(120000) || tool.exitCode() != 0)
        return "orvandel-tool failed: " + tool.readAllStandardError().toStdString();
    return FileText(dir + "/" + name);
}

class TTriangleCount : public orv::IFanSink {
public:
    void BindTile(int) override {}
    void DrawFan(const orv::TFanBuffers&, int) override {}
};

TEST_F(ControlsTest, ExportMenuWritesWhatTheToolWritesOrTheViewsTriangles)
{
    const std::string dir = orvtest::NewTempDir("orvandel-export");
    TFileAnswer answer;
    answer.Path = QString::fromStdString(dir + "/whole.glb");
    form->SaveFileQuery = answer.Query();
    form->ExportZone1->trigger();
    EXPECT_TRUE(messages.Messages.empty()) << messages.Texts()[0].toStdString();
    EXPECT_EQ(answer.Suggested, "zone111.glb");
    ASSERT_EQ(answer.Offered.size(), 4);
    EXPECT_TRUE(answer.Offered[1].contains("view's level of detail"));
    // The whole grid: the bytes the tool writes for the zone.
    const std::string written = FileText(dir + "/whole.glb");
    EXPECT_FALSE(written.empty());
    EXPECT_EQ(written, ToolOutput("export", "tool.glb", dir));
    EXPECT_TRUE(log.Contains("Exported zone 111 to " + dir + "/whole.glb: 131072 terrain triangles, 16 water regions"));

    // The view's level of detail: exactly the triangles the renderer draws now.
    form->trackCLODDetail->setValue(200);
    TTriangleCount sink;
    const int drawn = orv::DrawCLODFanWalk(form->Viewer().Terrain, form->Viewer().TerrainNormals, false, false, sink);
    answer.Path = QString::fromStdString(dir + "/view.gltf");
    answer.Filter = 3;
    form->ExportZone1->trigger();
    EXPECT_TRUE(fs::exists(dir + "/view.bin"));
    EXPECT_TRUE(log.Contains("Exported zone 111 to " + dir + "/view.gltf: " + std::to_string(drawn) +
                             " terrain triangles, 16 water regions"));
    fs::remove_all(dir);
}

TEST_F(ControlsTest, MapMenuWritesWhatTheToolWrites)
{
    const std::string dir = orvtest::NewTempDir("orvandel-map");
    TFileAnswer answer;
    answer.Path = QString::fromStdString(dir + "/map.png");
    form->SaveFileQuery = answer.Query();
    form->SaveZoneMap1->trigger();
    EXPECT_TRUE(messages.Messages.empty());
    EXPECT_EQ(answer.Suggested, "zone111.png");
    const std::string written = FileText(dir + "/map.png");
    EXPECT_FALSE(written.empty());
    EXPECT_EQ(written, ToolOutput("map", "tool.png", dir));
    EXPECT_EQ(QImage(answer.Path).size(), QSize(2048, 2048));
    fs::remove_all(dir);
}

TEST_F(ControlsTest, CancelledOrFailedExportsWriteNothing)
{
    const std::string dir = orvtest::NewTempDir("orvandel-export");
    TFileAnswer answer;
    answer.Cancel = true;
    form->SaveFileQuery = answer.Query();
    form->ExportZone1->trigger();
    form->SaveZoneMap1->trigger();
    EXPECT_TRUE(messages.Messages.empty());
    answer.Cancel = false;
    answer.Path = QString::fromStdString(dir + "/missing/zone.glb");
    form->ExportZone1->trigger();
    ASSERT_EQ(messages.Messages.size(), 1u);
    EXPECT_EQ(messages.Messages[0].Kind, orv::TMessageKind::Error);
    EXPECT_EQ(messages.Messages[0].Text.toStdString(), "Cannot create file " + dir + "/missing/zone.glb");
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}

// --- Help and pictures --------------------------------------------------------------------

TEST_F(ControlsTest, F1ListsEveryShortcutOfTheWindow)
{
    ASSERT_NO_FATAL_FAILURE(Activate());
    QTest::keyClick(form.get(), Qt::Key_F1);
    ASSERT_EQ(messages.Messages.size(), 1u);
    const QString help = messages.Messages[0].Text;
    EXPECT_EQ(messages.Messages[0].Kind, orv::TMessageKind::Information);
    for (QAction* action : form->actions()) {
        const QString shortcut = action->shortcut().toString();
        if (!shortcut.isEmpty()) {
            EXPECT_TRUE(help.contains(shortcut)) << shortcut.toStdString();
        }
    }
    for (const char* key : {"Up", "Down", "Left", "Right", "Shift", "Alt", "Mouse wheel", "mouse drag", "Right click",
                            "Menu", "Shift+F10", "Tab, Space"})
        EXPECT_TRUE(help.contains(key)) << key;
    // A table of two columns: each row a key and what it does.
    EXPECT_TRUE(help.startsWith("<table")) << help.toStdString();
    EXPECT_TRUE(help.contains("<tr><td style=\"padding-right:12px\"><b>d</b></td><td>level the view</td></tr>"));
    EXPECT_EQ(help.count("<tr>"), help.count("</td><td>"));
    EXPECT_FALSE(help.contains(QLatin1Char('\t')));
}

TEST_F(ControlsTest, F12SavesTheViewAsPngWhereTheUserChooses)
{
    const std::string dir = orvtest::NewTempDir("orvandel-shot");
    TFileAnswer answer;
    answer.Path = QString::fromStdString(dir + "/view.png");
    form->SaveFileQuery = answer.Query();
    ASSERT_NO_FATAL_FAILURE(Activate());
    QTest::keyClick(form.get(), Qt::Key_F12);
    // The name of the picture's time is suggested.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^orvandel-\\d{8}-\\d{6}\\.png$")).match(answer.Suggested).hasMatch())
        << answer.Suggested.toStdString();

    std::vector<fs::path> pictures;
    for (const auto& entry : fs::directory_iterator(dir))
        pictures.push_back(entry.path());
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].extension(), ".png");
    // Said on the status line with the whole path, and in the log.
    EXPECT_EQ(form->statusBar()->currentMessage().toStdString(), "Saved view to " + dir + "/view.png");
    EXPECT_TRUE(log.Contains("Saved view to " + dir + "/view.png"));
    // The next save starts in the folder chosen.
    answer.Cancel = true;
    QTest::keyClick(form.get(), Qt::Key_F12);
    EXPECT_EQ(answer.Folder.toStdString(), dir);
    QImage picture(QString::fromStdString(pictures[0].string()));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(form->glMap->PixelWidth(), form->glMap->PixelHeight()));
    // Not an empty picture: the sky and the land differ.
    EXPECT_NE(picture.pixel(picture.width() / 2, 2), picture.pixel(picture.width() / 2, picture.height() - 2));
    fs::remove_all(dir);
}

// --- Start-up without the zone -------------------------------------------------------------

class StartupFailureTest : public TWindowTest {};

TEST_F(StartupFailureTest, MissingZoneShowsOneBoxAndOpensWithFlatTerrain)
{
    const std::string empty = orvtest::NewTempDir("orvandel-nozones");
    Open(empty, true);
    ASSERT_EQ(messages.Messages.size(), 1u);
    EXPECT_EQ(messages.Messages[0].Kind, orv::TMessageKind::Error);
    EXPECT_TRUE(messages.Messages[0].Text.contains("dat111.mpk")) << messages.Messages[0].Text.toStdString();
    const orv::TGLViewer& v = form->Viewer();
    EXPECT_EQ(v.ZoneID, 0);
    for (const auto& column : v.Terrain)
        for (const orv::TTerrainVertex& vertex : column)
            ASSERT_EQ(vertex.Height, 0);
    // The steps before the failure ran (the extensions line), the ones after did not.
    ASSERT_EQ(log.Lines.size(), 1u);
    EXPECT_NE(log.Lines[0].find("GL_"), std::string::npos);
    // The window goes on, but without a zone it draws nothing: the view says what to do
    // and what needs a zone is disabled, until a game folder with the zone is opened.
    EXPECT_FALSE(form->Rendering());
    EXPECT_TRUE(form->lblEmptyView->isVisible());
    EXPECT_TRUE(form->lblEmptyView->text().contains("Ctrl+O"));
    EXPECT_EQ(form->windowTitle(), "Orvandel");
    for (QAction* action : {form->atnGo, form->atnZone, form->atnExportZone, form->atnSaveView, form->ExportZone1})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    EXPECT_TRUE(form->atnOpenGameFolder->isEnabled());
    if (orvtest::SampleGame().empty()) {
        fs::remove_all(empty);
        GTEST_SKIP() << "orvandel-mkgame is not built";
    }
    form->FolderQuery = [](QWidget*, const QString&, const QString&) {
        return std::optional<QString>(QString::fromStdString(orvtest::SampleGame()));
    };
    form->atnOpenGameFolder->trigger();
    EXPECT_EQ(form->Viewer().ZoneID, 111);
    EXPECT_FALSE(form->lblEmptyView->isVisible());
    EXPECT_TRUE(form->atnExportZone->isEnabled());
    EXPECT_TRUE(form->ExportZone1->isEnabled());
    EXPECT_TRUE(form->Rendering());
    EXPECT_TRUE(form->lblStatus->text().startsWith("Zone 111   Loc ")) << form->lblStatus->text().toStdString();
    fs::remove_all(empty);
}

// How the window starts: the command line's options, the game folder it opens (the
// argument, the one remembered, the default), the folder choice and the checker texture.
#include <GL/gl.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include <QCheckBox>
#include <QFrame>
#include <QSettings>
#include <QRadioButton>
#include <QTest>

#include "AppTestSupport.h"
#include "GLWindow.h"
#include "Settings.h"
#include "shell/GLViewer.h"

namespace fs = std::filesystem;
using orvtest::TWindowTest;

namespace {

class StartOptionsTest : public TWindowTest {
protected:
    void SetUp() override
    {
        TWindowTest::SetUp();
        if (!IsSkipped() && orvtest::SampleGame().empty())
            GTEST_SKIP() << "orvandel-mkgame is not built";
    }
};

}  // namespace

TEST_F(StartOptionsTest, ZoneLocationAndRendererOfTheCommandLine)
{
    orv::TViewerOptions options = orvtest::GameOptions(orvtest::SampleGame());
    options.Zone = 5;
    options.Location = "1000,2000,3000,90,60";
    options.RenderVersion = orv::rvPointer;
    OpenWith(options);
    const orv::TGLViewer& v = form->Viewer();
    EXPECT_EQ(v.ZoneID, 5);
    EXPECT_EQ(v.Camera.Pos, (orv::TVec3f{1000.0f, 63535.0f, 3000.0f}));
    EXPECT_FLOAT_EQ(v.Camera.Heading, 270.0f);
    EXPECT_FLOAT_EQ(v.Camera.Pitch, 60.0f);
    EXPECT_EQ(v.RenderVersion, orv::rvPointer);
    EXPECT_TRUE(form->RendererButton(orv::rvPointer)->isChecked());
    EXPECT_FALSE(form->RendererButton(orv::rvCLOD)->isChecked());
    form->glMap->makeCurrent();
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << "the radio button's handler ran";
    EXPECT_TRUE(messages.Messages.empty());
    // The location survives the window's first frames and sizes.
    Pump(200);
    EXPECT_EQ(form->Viewer().Camera.Pos.x, 1000.0f);
}

TEST_F(StartOptionsTest, WithoutOptionsZone111AtTheStartCameraWithCLODFans)
{
    Open(orvtest::SampleGame());
    const orv::TGLViewer& v = form->Viewer();
    EXPECT_EQ(v.ZoneID, 111);
    EXPECT_EQ(v.Camera.Pos, (orv::TVec3f{32768.0f, 256.0f, v.Camera.Pos.z}));
    EXPECT_FLOAT_EQ(v.Camera.Pitch, 80.0f);
    EXPECT_EQ(v.RenderVersion, orv::rvCLOD);
    EXPECT_TRUE(form->RendererButton(orv::rvCLOD)->isChecked());
}

// --- The game folder ---------------------------------------------------------------------

namespace {

class GameFolderTest : public StartOptionsTest {
protected:
    void TearDown() override
    {
        TWindowTest::TearDown();
        QSettings(orv::OrganizationName, orv::ApplicationName).clear();
        for (const std::string& dir : scratch)
            fs::remove_all(dir);
    }

    std::string Scratch(const std::string& stem)
    {
        scratch.push_back(orvtest::NewTempDir(stem));
        return scratch.back();
    }

    // The sample game without its checker.bmp: its folders linked.
    std::string GameWithoutChecker()
    {
        const std::string dir = Scratch("orvandel-nochecker");
        for (const char* folder : {"zones", "data"})
            fs::create_directory_symlink(fs::path(orvtest::SampleGame()) / folder, fs::path(dir) / folder);
        return dir;
    }

    void AnswerFolder(std::optional<std::string> dir)
    {
        form->FolderQuery = [this, dir](QWidget*, const QString& caption, const QString& start) {
            folderQueries.push_back(caption + QLatin1Char('|') + start);
            return dir ? std::optional<QString>(QString::fromStdString(*dir)) : std::nullopt;
        };
    }

    // The first texel of a texture of the view's context.
    std::array<int, 3> FirstTexel(uint32_t name)
    {
        form->glMap->makeCurrent();
        glBindTexture(GL_TEXTURE_2D, name);
        GLint width = 0, height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        if (width == 0 || height == 0)
            return {-1, -1, -1};
        std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        return {texels[0], texels[1], texels[2]};
    }

    std::vector<std::string> scratch;
    std::vector<QString> folderQueries;
};

}  // namespace

TEST_F(GameFolderTest, TheRememberedFolderIsUsedOnlyWithoutAnArgument)
{
    // Nothing remembered: the default installation directory.
    OpenWith({});
    EXPECT_EQ(form->Viewer().GameDir, orv::DefaultGameDir());
    form.reset();

    orv::RememberGameDir(orvtest::SampleGame() + "/");
    OpenWith({});
    EXPECT_EQ(form->Viewer().GameDir, orvtest::SampleGame() + "/");
    EXPECT_EQ(form->Viewer().ZoneID, 111);
    form.reset();

    // An argument wins, and is not remembered.
    const std::string other = Scratch("orvandel-argument");
    Open(other);
    EXPECT_EQ(form->Viewer().GameDir, other + "/");
    EXPECT_EQ(orv::RememberedGameDir(), orvtest::SampleGame() + "/");
}

TEST_F(GameFolderTest, AStartWithoutTheZoneOffersTheFolderChoiceAndTakesIt)
{
    const std::string empty = Scratch("orvandel-nozones");
    messages.TakeActions = true;
    // The answer to the folder box must be there before creation: the fixture's form is
    // made here by hand.
    form = std::make_unique<orv::TForm1>(orvtest::GameOptions(empty));
    AnswerFolder(orvtest::SampleGame());
    form->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Created(); }, 60000));
    ASSERT_EQ(messages.Messages.size(), 1u);
    const orvtest::TMessage& box = messages.Messages[0];
    EXPECT_EQ(box.Kind, orv::TMessageKind::Error);
    EXPECT_EQ(box.Action, "Open game folder...");
    EXPECT_EQ(box.Text.toStdString(), "Cannot open file " + empty + "/zones/zone111/dat111.mpk\rThere is no zones folder in " +
                                          empty + "/, so it is no game folder: choose the folder that holds zones and data.");
    ASSERT_EQ(folderQueries.size(), 1u);
    EXPECT_EQ(folderQueries[0].toStdString(), "Open game folder|" + empty + "/");
    const orv::TGLViewer& v = form->Viewer();
    EXPECT_EQ(v.GameDir, orvtest::SampleGame() + "/");
    EXPECT_EQ(v.ZoneID, 111);
    EXPECT_NE(FirstTexel(v.SkyTexture)[0], -1) << "the shared textures are loaded as at start-up";
    EXPECT_EQ(orv::RememberedGameDir(), orvtest::SampleGame() + "/");
}

TEST_F(GameFolderTest, AFolderWithoutZonesIsExplainedAndChangesNothing)
{
    Open(orvtest::SampleGame());
    const std::string noGame = Scratch("orvandel-nogame");
    AnswerFolder(noGame);
    form->atnOpenGameFolder->trigger();
    ASSERT_EQ(messages.Messages.size(), 1u);
    EXPECT_EQ(messages.Messages[0].Text.toStdString(),
              "There is no zones folder in " + noGame + "/, so it is no game folder: choose the folder that holds zones and data.");
    EXPECT_EQ(messages.Messages[0].Action, "Open game folder...");
    EXPECT_EQ(form->Viewer().GameDir, orvtest::SampleGame() + "/");
    EXPECT_EQ(form->Viewer().ZoneID, 111);
    EXPECT_FALSE(orv::RememberedGameDir());
    // Cancelled: nothing at all.
    messages.Messages.clear();
    AnswerFolder(std::nullopt);
    form->atnOpenGameFolder->trigger();
    EXPECT_TRUE(messages.Messages.empty());
    EXPECT_EQ(folderQueries.size(), 2u);
}

TEST_F(GameFolderTest, AnotherGameFolderLoadsItsZone111AndItsTexturesAndIsRemembered)
{
    Open(orvtest::SampleGame());
    // The same game under another name whose zones folder is written in capitals.
    const std::string other = Scratch("orvandel-other");
    fs::create_directory_symlink(fs::path(orvtest::SampleGame()) / "zones", fs::path(other) / "ZONES");
    fs::create_directory_symlink(fs::path(orvtest::SampleGame()) / "data", fs::path(other) / "Data");
    form->Viewer().ZoneID = 5;
    AnswerFolder(other);
    ASSERT_NO_FATAL_FAILURE(Activate());
    QTest::keyClick(form->glMap, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(folderQueries.size(), 1u);
    EXPECT_TRUE(messages.Messages.empty()) << messages.Messages[0].Text.toStdString();
    EXPECT_EQ(form->Viewer().GameDir, other + "/");
    EXPECT_EQ(form->Viewer().ZoneID, 111);
    EXPECT_EQ(orv::RememberedGameDir(), other + "/");
}

TEST_F(GameFolderTest, CheckerFromTheWorkingDirectoryThenTheGameFolderThenMadeInMemory)
{
    // The fixture reads the checker texture from the game folder as its first place.
    Open(orvtest::SampleGame());
    const std::array<int, 3> gameChecker = FirstTexel(form->Viewer().CheckerTexture);
    EXPECT_NE(gameChecker[0], -1);
    form.reset();

    // Not in the working directory: the game folder's, without a box.
    const std::string cwd = Scratch("orvandel-cwd");
    const fs::path previous = fs::current_path();
    fs::current_path(cwd);
    OpenWith(orvtest::GameOptions(orvtest::SampleGame()));
    form->Viewer().CheckerTexturePath = "checker.bmp";
    messages.Messages.clear();
    log.Lines.clear();
    form->glMap->makeCurrent();
    form->Viewer().LoadSharedTextures();
    EXPECT_EQ(FirstTexel(form->Viewer().CheckerTexture), gameChecker);
    EXPECT_TRUE(log.Contains("Cannot open file checker.bmp: the checker terrain texture is looked for further"));
    form.reset();

    // Neither there nor in the game folder: one made in memory, still without a box.
    log.Lines.clear();
    OpenWith(orvtest::GameOptions(GameWithoutChecker()));
    fs::current_path(previous);
    EXPECT_TRUE(messages.Messages.empty());
    EXPECT_EQ(form->Viewer().ZoneID, 111);
    EXPECT_TRUE(log.Contains("No checker.bmp could be read: the checker terrain texture is made in memory"));
    const std::array<int, 3> made = FirstTexel(form->Viewer().CheckerTexture);
    EXPECT_NE(made[0], -1);
    // A damaged checker.bmp in the working directory is passed over the same way.
    form.reset();
    std::ofstream(fs::path(cwd) / "checker.bmp") << "BM not a bitmap";
    fs::current_path(cwd);
    log.Lines.clear();
    OpenWith(orvtest::GameOptions(orvtest::SampleGame()));
    form->Viewer().CheckerTexturePath = "checker.bmp";
    form->glMap->makeCurrent();
    form->Viewer().LoadSharedTextures();
    fs::current_path(previous);
    EXPECT_EQ(FirstTexel(form->Viewer().CheckerTexture), gameChecker);
    EXPECT_TRUE(messages.Messages.empty());
}

// --- The window's place and size ---------------------------------------------------------

TEST(WindowGeometry, TheDesignWhereItFitsElseCentredWithinTheScreen)
{
    const QRect design(316, 152, 648, 580);
    const QSize minimum(640, 193);
    // 1280 x 1024 less a panel at the bottom: the design.
    EXPECT_EQ(orv::TForm1::FitOuterGeometry(design, QRect(0, 0, 1280, 990), minimum), design);
    // 1280 x 1024 at 150 %: 853 x 682 device-independent pixels; the size fits, the place does not.
    EXPECT_EQ(orv::TForm1::FitOuterGeometry(design, QRect(0, 0, 853, 682), minimum), QRect(102, 51, 648, 580));
    // Smaller than the design: as large as the area, never below the minimum.
    EXPECT_EQ(orv::TForm1::FitOuterGeometry(design, QRect(0, 0, 800, 500), minimum), QRect(76, 0, 648, 500));
    EXPECT_EQ(orv::TForm1::FitOuterGeometry(design, QRect(0, 0, 600, 150), minimum), QRect(0, 0, 640, 193));
    // A second screen beside the first, with a panel at its top.
    EXPECT_EQ(orv::TForm1::FitOuterGeometry(design, QRect(1280, 30, 1024, 738), minimum), QRect(1468, 109, 648, 580));
}

TEST_F(StartOptionsTest, TheMinimumSizeKeepsThePanelWhole)
{
    Open(orvtest::SampleGame());
    form->resize(100, 50);
    Pump(100);
    EXPECT_EQ(form->size(), form->minimumSize());
    EXPECT_GE(form->height(), orv::TForm1::PanelHeight + 100);
    for (const QWidget* control : form->pnlTop->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        SCOPED_TRACE(control->objectName().toStdString() + control->property("text").toString().toStdString());
        EXPECT_TRUE(form->pnlTop->contentsRect().contains(control->geometry()));
    }
    EXPECT_GT(form->glMap->height(), 0);
}

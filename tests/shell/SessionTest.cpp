// The session's flows without a window: start-up on a folder without the zone, zone
// changes and "Go to loc...", with a front end that answers the boxes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <GL/gl.h>

#include "TestSystem.h"
#include "gl/GLTestSupport.h"
#include "shell/Session.h"
#include "terrain/RendererTable.h"

namespace orvtest {
namespace {

using namespace orv;

// Answers the boxes as a test says and keeps what it was asked.
class TAnsweringFrontEnd : public TSessionFrontEnd {
public:
    bool Interactive() const override { return true; }
    void ShowMessage(TMessageKind kind, const std::string&, const std::string& text) override
    {
        Shown.push_back(text);
        m_Errors += kind == TMessageKind::Error;
    }
    bool OfferAction(TMessageKind, const std::string&, const std::string& text, const std::string& action) override
    {
        Offered.push_back(text + " [" + action + "]");
        return TakeOffer;
    }
    std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                       const std::string& text) override
    {
        Asked.push_back(caption + "|" + prompt + "|" + text);
        return Reply();
    }
    std::optional<std::string> AskChoice(const std::string& caption, const std::string& prompt,
                                         const std::vector<std::string>& items, const std::string& text) override
    {
        std::string asked = caption + "|" + prompt + "|" + text + "|";
        for (const std::string& item : items)
            asked += item + " ";
        Asked.push_back(asked);
        return Reply();
    }
    std::optional<std::string> AskFolder(const std::string&, const std::string&) override
    {
        TakeOffer = false;   // once
        return FolderReply;
    }
    void RememberGameDir(const std::string& gameDir) override { Remembered.push_back(gameDir); }
    std::optional<std::string> RememberedValue(const std::string& key) override
    {
        const auto found = Values.find(key);
        return found == Values.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    void RememberValue(const std::string& key, const std::string& value) override { Values[key] = value; }
    void ForgetValues() override { Values.clear(); }
    std::map<std::string, std::string> Values;

    bool TakeOffer = false;
    std::optional<std::string> TextReply, FolderReply;
    std::vector<std::string> Shown, Offered, Asked, Remembered;

private:
    // A box reopened after an error is cancelled: the same bad reply would come again.
    std::optional<std::string> Reply()
    {
        const bool reopened = m_Errors > m_ErrorsAtLastAsk;
        m_ErrorsAtLastAsk = m_Errors;
        return reopened ? std::nullopt : TextReply;
    }
    int m_Errors = 0, m_ErrorsAtLastAsk = 0;
};

class SessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Game = FreshDirectory("session-game");
        TTestGame game;
        game.Height = [](int x, int) { return 400 + 8 * x; };
        game.SectorDat = "[waterdefs]\nnum=1\n[river00]\nbankpoints=1\nleft00=10,20\nright00=200,240\n"
                         "height=1200\ncolor=0xFF0000\n";
        game.Write(s_Game);
        game.SectorDat = "[waterdefs]\nnum=0\n";
        game.Zone = 5;
        game.Height = [](int, int y) { return 2000 + 8 * y; };
        game.Write(s_Game);
        // Zone 7: its data loads, its texture archive is cut short.
        game.Zone = 7;
        game.Write(s_Game);
        const std::string textures = s_Game + "zones/zone007/tex007.mpk";
        std::filesystem::resize_file(textures, std::filesystem::file_size(textures) / 2);
        s_Empty = FreshDirectory("session-empty");
        std::filesystem::create_directories(s_Empty + "zones");
    }

    TSession& Start(const std::string& gameDir)
    {
        TViewerOptions options;
        options.GameDir = gameDir;
        m_Session = std::make_unique<TSession>(m_FrontEnd, options);
        m_Session->Viewer().ResizeView(64, 48);
        m_Session->Start();
        return *m_Session;
    }

    static std::string s_Game, s_Empty;
    THeadlessContext m_Context{64, 48};
    TAnsweringFrontEnd m_FrontEnd;
    std::unique_ptr<TSession> m_Session;
};

std::string SessionTest::s_Game;
std::string SessionTest::s_Empty;

TEST_F(SessionTest, StartOnAFolderWithoutTheZoneExplainsAndOffersAnotherFolder)
{
    m_FrontEnd.TakeOffer = true;
    m_FrontEnd.FolderReply = s_Game;
    TSession& session = Start(s_Empty);
    ASSERT_EQ(m_FrontEnd.Offered.size(), 1u);
    EXPECT_NE(m_FrontEnd.Offered[0].find(MissingZoneNote(s_Empty, TGLViewer::StartZone)), std::string::npos);
    EXPECT_TRUE(m_FrontEnd.Offered[0].ends_with(" [Open game folder...]"));
    // The folder chosen then is remembered and its zone 111 loaded.
    EXPECT_EQ(m_FrontEnd.Remembered, std::vector<std::string>{s_Game});
    EXPECT_EQ(session.Viewer().GameDir, s_Game);
    EXPECT_EQ(session.Viewer().ZoneID, 111);
    EXPECT_NE(session.Viewer().Terrain[200][128].Height, 0);

    // A folder whose zone does not load is not remembered: the next start would open
    // on the failure.
    m_FrontEnd.FolderReply = s_Empty;
    session.OpenGameFolder();
    EXPECT_EQ(m_FrontEnd.Offered.size(), 2u);
    EXPECT_EQ(m_FrontEnd.Remembered, std::vector<std::string>{s_Game});
    // The zone shown and its folder stay.
    EXPECT_EQ(session.Viewer().GameDir, s_Game);
    EXPECT_EQ(session.Viewer().ZoneID, 111);
    EXPECT_NE(session.Viewer().Terrain[200][128].Height, 0);

    // Without anyone to answer, the failure is raised, not offered.
    TSessionFrontEnd unattended;
    TViewerOptions options;
    options.GameDir = s_Empty;
    TSession plain(unattended, options);
    EXPECT_THROW(plain.Start(), Exception);
}

TEST_F(SessionTest, ChangeZoneOffersTheFolderZonesAndExplainsAMissingOne)
{
    TSession& session = Start(s_Game);
    const int height111 = session.Viewer().Terrain[200][128].Height;
    m_FrontEnd.TextReply = "5";
    session.ChangeZone();
    EXPECT_EQ(m_FrontEnd.Asked.back(), "Change zone|Enter new Zone ID:|111|5 7 111 ");
    EXPECT_EQ(session.Viewer().ZoneID, 5);
    EXPECT_NE(session.Viewer().Terrain[200][128].Height, height111);

    m_FrontEnd.TextReply = "8";
    try {
        session.ChangeZone();
        ADD_FAILURE() << "zone 8 loaded";
    } catch (const Exception& e) {
        EXPECT_TRUE(std::string(e.what()).ends_with("\r" + MissingZoneNote(s_Game, 8))) << e.what();
    }
    EXPECT_EQ(session.Viewer().ZoneID, 5);

    // Cancelled: nothing loads.
    m_FrontEnd.TextReply.reset();
    session.ChangeZone();
    EXPECT_EQ(session.Viewer().ZoneID, 5);
}

TEST_F(SessionTest, AZoneChangeThatFailsHalfwayLeavesTheCurrentZoneWhole)
{
    TSession& session = Start(s_Game);
    TGLViewer& v = session.Viewer();
    const auto terrain = std::make_unique<TTerrain>(v.Terrain);
    const auto normals = std::make_unique<TTerrainNormals>(v.TerrainNormals);
    const auto tiles = v.TileTextures;
    ASSERT_EQ(v.WaterRegions.size(), 1u);
    m_FrontEnd.TextReply = "7";
    EXPECT_THROW(session.ChangeZone(), Exception);
    EXPECT_EQ(v.ZoneID, 111);
    EXPECT_EQ(v.WaterRegions.size(), 1u);
    EXPECT_EQ(v.TileTextures, tiles);
    for (int x = 0; x < GridVertices; ++x)
        for (int y = 0; y < GridVertices; ++y) {
            ASSERT_EQ(v.Terrain[x][y].Height, (*terrain)[x][y].Height) << x << "," << y;
            ASSERT_EQ(v.TerrainNormals[x][y], (*normals)[x][y]) << x << "," << y;
        }
    // The tiles kept are still textures.
    for (int tile = 0; tile < TileCount; ++tile)
        ASSERT_TRUE(glIsTexture(v.TileTextures[tile])) << tile;
}

TEST_F(SessionTest, GoToAsksWithTheCurrentPlaceAndGoesToTheReply)
{
    TSession& session = Start(s_Game);
    const std::string before = session.Viewer().LocationText();
    m_FrontEnd.TextReply = "1000 2000 300";
    session.GoTo();
    EXPECT_EQ(m_FrontEnd.Asked.back(), "Go to locaction|Loc (X,Y,Z,h,p)|" + before);
    EXPECT_EQ(session.Viewer().Camera.Pos.x, 1000.0f);
    EXPECT_EQ(session.Viewer().Camera.Pos.y, 63535.0f);
    EXPECT_EQ(session.Viewer().Camera.Pos.z, 300.0f);

    // A reply that does not convert moves nothing and opens the box again with it;
    // so does a zone that is no number.
    m_FrontEnd.TextReply = "5";
    session.GoTo();
    EXPECT_EQ(m_FrontEnd.Shown.back(), "List index out of bounds (1)");
    EXPECT_EQ(m_FrontEnd.Asked.back(), "Go to locaction|Loc (X,Y,Z,h,p)|5");
    EXPECT_EQ(session.Viewer().Camera.Pos.x, 1000.0f);
    m_FrontEnd.TextReply = "five";
    session.ChangeZone();
    EXPECT_EQ(m_FrontEnd.Shown.back(), "'five' is not a valid integer value");
    EXPECT_TRUE(m_FrontEnd.Asked.back().starts_with("Change zone|Enter new Zone ID:|five|")) << m_FrontEnd.Asked.back();
    EXPECT_EQ(session.Viewer().ZoneID, 111);

    m_FrontEnd.TextReply.reset();
    session.GoTo();
    EXPECT_EQ(session.Viewer().Camera.Pos.x, 1000.0f);
}

TEST_F(SessionTest, TheStateLeftIsTakenBackTheCommandLineWinsAndResetForgetsIt)
{
    {
        TSession& session = Start(s_Game);
        m_FrontEnd.TextReply = "5";
        session.ChangeZone();
        m_FrontEnd.TextReply = "1000,2000,3000,90,45";
        session.GoTo();
        session.SetRenderer(rvFan);
        session.SetFog(true);
        session.ToggleWireframe();
        session.Viewer().Gravity = true;
        session.Viewer().DetailTexScale = 7;
        session.Viewer().SetCLODDetail(100);
        session.RememberState();
    }
    auto restart = [&](TViewerOptions options) -> TSession& {
        options.GameDir = s_Game;
        m_Session = std::make_unique<TSession>(m_FrontEnd, options);
        m_Session->Viewer().ResizeView(64, 48);
        m_Session->Start();
        m_Session->ApplyStartOptions();
        return *m_Session;
    };
    TSession& again = restart({});
    const TGLViewer& v = again.Viewer();
    EXPECT_EQ(v.ZoneID, 5);
    EXPECT_EQ(v.LocationText(), "1000,2000,3000,90,45");
    EXPECT_EQ(v.RenderVersion, rvFan);
    EXPECT_TRUE(again.FogOn());
    EXPECT_TRUE(v.atnWireframeChecked);
    EXPECT_TRUE(v.Gravity);
    EXPECT_EQ(v.DetailTexScale, 7);
    EXPECT_EQ(again.CLODSliderPosition(), 100);
    EXPECT_EQ(again.StatusText(), "Zone 5   Loc 1000,2000,3000,90,45   Fan renderer");

    // The command line wins over what was kept.
    TViewerOptions options;
    options.Zone = 111;
    options.RenderVersion = rvPointer;
    options.Location = "10,20";
    TSession& commanded = restart(options);
    EXPECT_EQ(commanded.Viewer().ZoneID, 111);
    EXPECT_EQ(commanded.Viewer().RenderVersion, rvPointer);
    EXPECT_EQ(commanded.Viewer().Camera.Pos.x, 10.0f);
    EXPECT_TRUE(commanded.Viewer().Gravity);

    // Reset: the defaults now and at the next start.
    commanded.ResetToDefaults();
    EXPECT_EQ(commanded.Viewer().RenderVersion, DefaultRenderer().Tag);
    EXPECT_FALSE(commanded.FogOn());
    EXPECT_FALSE(commanded.Viewer().atnWireframeChecked);
    EXPECT_FALSE(commanded.Viewer().Gravity);
    EXPECT_EQ(commanded.CLODSliderPosition(), CLODDetailStartPosition);
    EXPECT_TRUE(m_FrontEnd.Values.empty());
    TSession& fresh = restart({});
    EXPECT_EQ(fresh.Viewer().ZoneID, 111);
    EXPECT_EQ(fresh.Viewer().DetailTexScale, DetailTexScaleStart);
}

TEST_F(SessionTest, SavesAskInTheFolderUsedLastAndSayWhatWasWritten)
{
    class TSavingFrontEnd : public TAnsweringFrontEnd {
    public:
        std::optional<TSaveFileChoice> AskSaveFile(const std::string&, const std::string& folder,
                                                   const std::string& name, const std::vector<std::string>&) override
        {
            Folders.push_back(folder);
            Names.push_back(name);
            return TSaveFileChoice{Target, 0};
        }
        void Notify(const std::string& text) override { Notices.push_back(text); }
        std::string DocumentsFolder() override { return "/documents"; }
        std::string Target;
        std::vector<std::string> Folders, Names, Notices;
    } frontEnd;
    const std::string dir = FreshDirectory("session-saves");
    TViewerOptions options;
    options.GameDir = s_Game;
    TSession session(frontEnd, options);
    session.Viewer().ResizeView(64, 48);
    session.Start();
    frontEnd.Target = dir + "d2.txt";
    EXPECT_EQ(session.SaveD2Map(), frontEnd.Target);
    frontEnd.Target = dir + "map.png";
    session.SaveZoneMap();
    // The first time in the documents, then where the user saved last.
    EXPECT_EQ(frontEnd.Folders, (std::vector<std::string>{"/documents", std::filesystem::path(dir).parent_path().string()}));
    EXPECT_EQ(frontEnd.Names, (std::vector<std::string>{"zone111-d2.txt", "zone111.png"}));
    EXPECT_EQ(frontEnd.Notices,
              (std::vector<std::string>{"Saved the map as text to " + orv::test::SystemPath(dir + "d2.txt"),
                                        "Saved the map of zone 111 to " + orv::test::SystemPath(dir + "map.png")}));
    // The dump as text: one line per grid row.
    std::ifstream dump(dir + "d2.txt");
    const auto lines = std::count(std::istreambuf_iterator<char>(dump), std::istreambuf_iterator<char>(), '\n');
    EXPECT_GE(lines, 257);
}

// The shortcuts as a front end without key sequences of its own reads them: modifiers,
// the key's name, several sequences of one action; every action's shortcut has a key.
TEST(ShortcutsTest, ActionShortcutsParseIntoModifiersAndKeys)
{
    const std::vector<TShortcut> menu = ParseShortcuts("Menu, Shift+F10");
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[0].Key, "Menu");
    EXPECT_FALSE(menu[0].Shift || menu[0].Ctrl || menu[0].Alt);
    EXPECT_EQ(menu[1].Key, "F10");
    EXPECT_TRUE(menu[1].Shift);
    EXPECT_FALSE(menu[1].Ctrl);
    const std::vector<TShortcut> all = ParseShortcuts("Ctrl+Alt+Shift+G");
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(all[0].Ctrl && all[0].Alt && all[0].Shift);
    EXPECT_EQ(all[0].Key, "G");
    EXPECT_TRUE(ParseShortcuts("").empty());
    for (const TActionModel& model : ActionModels)
        for (const TShortcut& shortcut : ParseShortcuts(model.Shortcuts))
            EXPECT_FALSE(shortcut.Key.empty() || shortcut.Key.find('+') != std::string_view::npos) << model.Name;
}

}  // namespace
}  // namespace orvtest

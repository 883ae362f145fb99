// Flying: the two input boxes, the frame loop with its caption and keys, mouse look, the
// level-view key, and the mends of start-up timing and resizing.
#include <GL/gl.h>

#include <cmath>
#include <optional>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "GLWindow.h"
#include "KeyTracker.h"
#include "base/CgUtils.h"
#include "shell/GLViewer.h"

using orvtest::TWindowTest;

namespace {

struct TQuery {
    QString Caption, Prompt, Text;
    QStringList Items;   // the items offered ("Zone")
};

class NavigationTest : public orvtest::TSampleGameWindowTest {
protected:
    void SetUp() override
    {
        TSampleGameWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // The input boxes are answered by the test: each query is recorded and gets
        // the next reply (nothing: Cancel). A box reopened after an error is cancelled,
        // so that a bad reply is not given again and again.
        form->InputQuery = [this](QWidget*, const QString& caption, const QString& prompt, const QString& text) {
            queries.push_back({caption, prompt, text, {}});
            return messages.Messages.empty() ? reply : std::nullopt;
        };
        form->ZoneQuery = [this](QWidget*, const QString& caption, const QString& prompt, const QStringList& items,
                                 const QString& text) {
            queries.push_back({caption, prompt, text, items});
            return messages.Messages.empty() ? reply : std::nullopt;
        };
    }

    void PlaceCamera(float x, float y, float z, float pitch, float heading)
    {
        form->Viewer().Camera.Pos = {x, y, z};
        form->Viewer().Camera.Pitch = pitch;
        form->Viewer().Camera.Heading = heading;
    }

    orv::TCamera& Camera() { return form->Viewer().Camera; }

    std::uint64_t TerrainHash()
    {
        std::uint64_t hash = 1469598103934665603ull;
        for (const auto& column : form->Viewer().Terrain)
            for (const orv::TTerrainVertex& vertex : column)
                hash = (hash ^ vertex.Height) * 1099511628211ull;
        return hash;
    }

    void SendMouse(QEvent::Type type, QPoint position, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, QPointF(position), form->glMap->mapToGlobal(QPointF(position)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(form->glMap, &event);
    }

    std::optional<QString> reply;
    std::vector<TQuery> queries;
};

}  // namespace

// --- "Go to loc..." --------------------------------------------------------------------

TEST_F(NavigationTest, GoToLocationShowsTheCurrentLocationAndTakesItBackRounded)
{
    PlaceCamera(1000.4f, 2000.6f, 3000.5f, 45.5f, 10.4f);
    // Confirmed unchanged: the box's own text comes back.
    form->InputQuery = [this](QWidget*, const QString& caption, const QString& prompt, const QString& text) {
        queries.push_back({caption, prompt, text, {}});
        return std::optional<QString>(text);
    };
    form->atnGo->trigger();
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].Caption, "Go to locaction");
    EXPECT_EQ(queries[0].Prompt, "Loc (X,Y,Z,h,p)");
    // y shown as 65535 - 2001; h as (-10 + 360) mod 360; halves to even (3000.5 -> 3000, 45.5 -> 46).
    EXPECT_EQ(queries[0].Text, "1000,63534,3000,350,46");
    EXPECT_EQ(Camera().Pos, (orv::TVec3f{1000.0f, 2001.0f, 3000.0f}));
    EXPECT_FLOAT_EQ(Camera().Heading, 10.0f);
    EXPECT_FLOAT_EQ(Camera().Pitch, 46.0f);
    EXPECT_TRUE(messages.Messages.empty());
}

TEST_F(NavigationTest, GoToLocationRepliesAndTheirMessages)
{
    struct TCase {
        const char* Reply;
        orv::TVec3f Pos;
        float Pitch, Heading;
        const char* Message;   // "" for none
    };
    // From (5000, 6000, 7000), pitch 70, heading 20 each time.
    const TCase cases[] = {
        {"ABOVE", {29963.0f, 10360.0f, 30683.0f}, 7.0f, 1.0f, ""},
        {"above", {29963.0f, 10360.0f, 30683.0f}, 7.0f, 1.0f, ""},
        {"1000,2000", {1000.0f, 63535.0f, 7000.0f}, 70.0f, 20.0f, ""},
        {"1000 2000 300", {1000.0f, 63535.0f, 300.0f}, 70.0f, 20.0f, ""},
        {"1000, 2000, 300, 90, 120", {1000.0f, 63535.0f, 300.0f}, 120.0f, 270.0f, ""},
        // A bad item moves nothing, not even the good ones before it.
        {"1000,2x00", {5000.0f, 6000.0f, 7000.0f}, 70.0f, 20.0f, "'2x00' is not a valid integer value"},
        {"1000", {5000.0f, 6000.0f, 7000.0f}, 70.0f, 20.0f, "List index out of bounds (1)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Reply);
        PlaceCamera(5000.0f, 6000.0f, 7000.0f, 70.0f, 20.0f);
        messages.Messages.clear();
        reply = QString::fromLatin1(c.Reply);
        form->atnGo->trigger();
        EXPECT_EQ(Camera().Pos, c.Pos);
        EXPECT_FLOAT_EQ(Camera().Pitch, c.Pitch);
        EXPECT_FLOAT_EQ(Camera().Heading, c.Heading);
        if (*c.Message) {
            ASSERT_EQ(messages.Messages.size(), 1u);
            EXPECT_EQ(messages.Messages[0].Text, c.Message);
            EXPECT_EQ(messages.Messages[0].Kind, orv::TMessageKind::Error);
            // The box opened again with the reply.
            EXPECT_EQ(queries.back().Text, c.Reply);
        } else {
            EXPECT_TRUE(messages.Messages.empty());
        }
    }
}

TEST_F(NavigationTest, CancelledBoxesChangeNothing)
{
    PlaceCamera(5000.0f, 6000.0f, 7000.0f, 70.0f, 20.0f);
    const std::uint64_t terrain = TerrainHash();
    reply.reset();
    form->atnGo->trigger();
    form->atnZone->trigger();
    EXPECT_EQ(queries.size(), 2u);
    EXPECT_EQ(Camera().Pos, (orv::TVec3f{5000.0f, 6000.0f, 7000.0f}));
    EXPECT_EQ(form->Viewer().ZoneID, 111);
    EXPECT_EQ(TerrainHash(), terrain);
    EXPECT_TRUE(messages.Messages.empty());
}

// --- "Zone" --------------------------------------------------------------------------------

TEST_F(NavigationTest, ZoneLoadsTheTypedZoneAndKeepsTheCamera)
{
    PlaceCamera(5000.0f, 6000.0f, 20000.0f, 70.0f, 20.0f);
    const std::uint64_t zone111 = TerrainHash();
    reply = QStringLiteral("112");
    form->atnZone->trigger();
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].Caption, "Change zone");
    EXPECT_EQ(queries[0].Prompt, "Enter new Zone ID:");
    EXPECT_EQ(queries[0].Text, "111");
    // The zones of the game folder are offered, in order.
    EXPECT_EQ(queries[0].Items, (QStringList{"5", "111", "112"}));
    EXPECT_TRUE(messages.Messages.empty());
    EXPECT_EQ(form->Viewer().ZoneID, 112);
    EXPECT_NE(TerrainHash(), zone111);
    EXPECT_EQ(Camera().Pos, (orv::TVec3f{5000.0f, 6000.0f, 20000.0f}));
    // The next box offers the new zone.
    reply.reset();
    form->atnZone->trigger();
    EXPECT_EQ(queries.back().Text, "112");
}

TEST_F(NavigationTest, MissingZoneKeepsThePreviousZone)
{
    const std::uint64_t zone111 = TerrainHash();
    const size_t regions = form->Viewer().WaterRegions.size();
    reply = QStringLiteral("7");
    form->atnZone->trigger();
    ASSERT_EQ(messages.Messages.size(), 1u);
    // The error names the archive and says which zones there are.
    const QString expected = QString::fromStdString("Cannot open file " + orvtest::SampleGame() +
                                                    "/zones/zone007/dat007.mpk\rThe zones of this game folder: 5, 111, 112.");
    EXPECT_EQ(messages.Messages[0].Text, expected);
    EXPECT_EQ(form->Viewer().ZoneID, 111);
    EXPECT_EQ(TerrainHash(), zone111);
    EXPECT_EQ(form->Viewer().WaterRegions.size(), regions);
    // The program goes on: another zone still loads.
    messages.Messages.clear();
    reply = QStringLiteral("5");
    form->atnZone->trigger();
    EXPECT_TRUE(messages.Messages.empty());
    EXPECT_EQ(form->Viewer().ZoneID, 5);
}

TEST_F(NavigationTest, ZoneThatIsNotANumberIsRefused)
{
    const std::uint64_t zone111 = TerrainHash();
    reply = QStringLiteral("twelve");
    form->atnZone->trigger();
    ASSERT_EQ(messages.Messages.size(), 1u);
    EXPECT_EQ(messages.Messages[0].Text, "'twelve' is not a valid integer value");
    EXPECT_EQ(queries.back().Text, "twelve");
    EXPECT_EQ(form->Viewer().ZoneID, 111);
    EXPECT_EQ(TerrainHash(), zone111);
}

// --- The frame loop ------------------------------------------------------------------------

TEST_F(NavigationTest, CaptionShowsTheRateAfterTwentyFrames)
{
    const QRegularExpression caption(QStringLiteral("^Orvandel -- (\\d+) fps \\((\\d+) terrain tris\\)$"));
    // Frames ran at real speed before the fixture stopped the loop; count from nothing.
    form->Viewer().FrameCount = 0;
    form->Viewer().FPSSum = 0.0f;
    form->Viewer().TriCount = 0;
    form->setWindowTitle("Form1");
    clock->StepMs = 10.0f;
    RunFrames(19);
    EXPECT_EQ(form->windowTitle(), "Form1");
    RunFrames(1);
    QRegularExpressionMatch match = caption.match(form->windowTitle());
    ASSERT_TRUE(match.hasMatch()) << form->windowTitle().toStdString();
    EXPECT_EQ(match.captured(1), "100");
    EXPECT_TRUE(clock->Sleeps.empty());

    // Frames drawn in between count their triangles: the caption shows the mean.
    clock->StepMs = 4.0f;
    int drawn = 0;
    for (int i = 0; i < 20; ++i) {
        form->glMap->grabFramebuffer();   // one picture before each frame's bookkeeping
        drawn += form->Viewer().LastFrameTriangles;
        form->ApplicationEvents1Idle();
    }
    match = caption.match(form->windowTitle());
    ASSERT_TRUE(match.hasMatch()) << form->windowTitle().toStdString();
    EXPECT_EQ(match.captured(1), "250");
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(match.captured(2).toInt(), static_cast<int>(std::nearbyint(drawn / 20.0)));
    EXPECT_EQ(clock->Sleeps, std::vector<int>{50});
}

TEST_F(NavigationTest, RenderBoxStartsAndStopsTheFrames)
{
    form->chkRender->click();
    ASSERT_TRUE(form->Rendering());
    const int framesBefore = form->Viewer().FrameCount;
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->Viewer().FrameCount != framesBefore; }, 10000));
    form->chkRender->click();
    EXPECT_FALSE(form->Rendering());
    const int stoppedAt = form->Viewer().FrameCount;
    Pump(200);
    EXPECT_EQ(form->Viewer().FrameCount, stoppedAt);
}

TEST_F(NavigationTest, HeldArrowsAreTrackedWhateverHasTheFocus)
{
    PlaceCamera(30000.0f, 30000.0f, 20000.0f, 90.0f, 0.0f);
    clock->StepMs = 10.0f;
    // Up held on the view: 10 ms at 2 units per millisecond towards +y.
    QTest::keyPress(form->glMap, Qt::Key_Up);
    EXPECT_TRUE(form->Keys().State().Up);
    RunFrames(1);
    EXPECT_NEAR(Camera().Pos.y, 30020.0f, 1e-3f);
    EXPECT_NEAR(Camera().Pos.x, 30000.0f, 1e-3f);
    // Shift held on a panel control: four times as fast.
    QTest::keyPress(form->chkFog, Qt::Key_Shift);
    RunFrames(1);
    EXPECT_NEAR(Camera().Pos.y, 30100.0f, 1e-3f);
    // Alt wins over Shift.
    QTest::keyPress(form->chkFog, Qt::Key_Alt, Qt::ShiftModifier);
    RunFrames(1);
    EXPECT_NEAR(Camera().Pos.y, 30100.0f + 4.296875f, 1e-3f);
    QTest::keyRelease(form->chkFog, Qt::Key_Alt, Qt::ShiftModifier);
    QTest::keyRelease(form->chkFog, Qt::Key_Shift);
    QTest::keyRelease(form->glMap, Qt::Key_Up);
    EXPECT_FALSE(form->Keys().State().Up);
    EXPECT_FALSE(form->Keys().State().Shift);
    // Left wins over right and moves sideways, parallel to the ground.
    const orv::TVec3f before = Camera().Pos;
    QTest::keyPress(form.get(), Qt::Key_Left);
    QTest::keyPress(form.get(), Qt::Key_Right);
    RunFrames(1);
    EXPECT_NEAR(Camera().Pos.x, before.x - 20.0f, 1e-3f);
    EXPECT_NEAR(Camera().Pos.z, before.z, 1e-3f);
    QTest::keyRelease(form.get(), Qt::Key_Left);
    QTest::keyRelease(form.get(), Qt::Key_Right);
    // Nothing held: nothing moves.
    const orv::TVec3f still = Camera().Pos;
    RunFrames(3);
    EXPECT_EQ(Camera().Pos, still);
}

// --- Mouse look ----------------------------------------------------------------------------

TEST_F(NavigationTest, LeftDragTurnsTheViewFivePixelsPerDegree)
{
    PlaceCamera(30000.0f, 30000.0f, 20000.0f, 80.0f, 5.0f);
    SendMouse(QEvent::MouseMove, {100, 100}, Qt::NoButton, Qt::NoButton);
    EXPECT_FLOAT_EQ(Camera().Heading, 5.0f);   // moving without a button only tracks
    SendMouse(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(QEvent::MouseMove, {150, 100}, Qt::NoButton, Qt::LeftButton);
    EXPECT_FLOAT_EQ(Camera().Heading, 355.0f);   // 5 - 10, wrapped once
    EXPECT_FLOAT_EQ(Camera().Pitch, 80.0f);
    // Dragging down looks further down.
    SendMouse(QEvent::MouseMove, {150, 125}, Qt::NoButton, Qt::LeftButton);
    EXPECT_FLOAT_EQ(Camera().Pitch, 75.0f);
    // A thousand pixels upwards stops at straight up.
    SendMouse(QEvent::MouseMove, {150, -875}, Qt::NoButton, Qt::LeftButton);
    EXPECT_FLOAT_EQ(Camera().Pitch, 180.0f);
    SendMouse(QEvent::MouseButtonRelease, {150, -875}, Qt::LeftButton, Qt::NoButton);
    // A right drag does not look around.
    SendMouse(QEvent::MouseButtonPress, {150, -875}, Qt::RightButton, Qt::RightButton);
    SendMouse(QEvent::MouseMove, {400, 0}, Qt::NoButton, Qt::RightButton);
    EXPECT_FLOAT_EQ(Camera().Heading, 355.0f);
    EXPECT_FLOAT_EQ(Camera().Pitch, 180.0f);
    EXPECT_EQ(form->Viewer().LastMouse.X, 400);
    EXPECT_EQ(form->Viewer().LastMouse.Y, 0);
}

TEST_F(NavigationTest, AnyButtonInTheViewGivesItTheFocus)
{
    form->chkFog->setFocus();
    ASSERT_EQ(form->focusWidget(), form->chkFog);
    SendMouse(QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(form->focusWidget(), form->glMap);
}

// --- "d" --------------------------------------------------------------------------------------

TEST_F(NavigationTest, LowerCaseDLevelsTheViewWithTheFocusOnTheViewOrThePanel)
{
    PlaceCamera(30000.0f, 30000.0f, 20000.0f, 30.0f, 0.0f);
    SendMouse(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton);
    QTest::keyClick(form->glMap, Qt::Key_D);
    EXPECT_FLOAT_EQ(Camera().Pitch, 90.0f);
    Camera().Pitch = 30.0f;
    QTest::keyClick(form->glMap, 'D', Qt::ShiftModifier);   // "D" is not "d"
    EXPECT_FLOAT_EQ(Camera().Pitch, 30.0f);
    QTest::keyClick(form->chkCheckerboard, Qt::Key_D);
    EXPECT_FLOAT_EQ(Camera().Pitch, 90.0f);
    EXPECT_FALSE(form->chkCheckerboard->isChecked());
}

// --- Mends -----------------------------------------------------------------------------------

TEST_F(NavigationTest, ResizingKeepsTheCameraAndHomePutsItBack)
{
    PlaceCamera(1000.0f, 2000.0f, 20000.0f, 30.0f, 40.0f);
    const QSize before = form->glMap->size();
    form->resize(form->width() + 120, form->height() + 90);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->glMap->size() != before; }, 10000));
    form->glMap->grabFramebuffer();   // the resize reaches the view's context before a picture
    EXPECT_EQ(Camera().Pos, (orv::TVec3f{1000.0f, 2000.0f, 20000.0f}));
    EXPECT_FLOAT_EQ(Camera().Pitch, 30.0f);
    EXPECT_FLOAT_EQ(Camera().Heading, 40.0f);
    // The viewport follows the new size all the same.
    form->glMap->makeCurrent();
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], form->glMap->PixelWidth());
    EXPECT_EQ(viewport[3], form->glMap->PixelHeight());

    form->atnHome->trigger();
    EXPECT_EQ(Camera().Pos, (orv::TVec3f{32768.0f, 256.0f, 256.0f}));
    EXPECT_FLOAT_EQ(Camera().Pitch, 80.0f);
    EXPECT_FLOAT_EQ(Camera().Heading, 0.0f);
}

class FirstFrameTest : public TWindowTest {};

TEST_F(FirstFrameTest, FirstFrameIsMeasuredFromTheStartOfTheLoop)
{
    if (orvtest::SampleGame().empty())
        GTEST_SKIP() << "orvandel-mkgame is not built";
    // The program's timer has not been reset in this process yet: its origin is the
    // clock's, long ago. Up is held before the window opens.
    form = std::make_unique<orv::TForm1>(orvtest::GameOptions(orvtest::SampleGame()));
    form->Viewer().CheckerTexturePath = orvtest::SampleGame() + "/checker.bmp";
    std::vector<float> frameTimes;
    form->FrameLoop().Clock().ElapsedMs = [&] {
        frameTimes.push_back(orv::ElapsedMs());
        return frameTimes.back();
    };
    QTest::keyPress(form.get(), Qt::Key_Up);
    ASSERT_TRUE(form->Keys().State().Up);
    form->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frameTimes.empty(); }, 60000));
    QTest::keyRelease(form.get(), Qt::Key_Up);
    // Measured from the loop's start, right after creation: a short time, and the
    // camera stays over the zone.
    EXPECT_LT(frameTimes[0], 5000.0f);
    EXPECT_GE(frameTimes[0], 0.0f);
    EXPECT_LT(form->Viewer().Camera.Pos.y, 65536.0f);
    EXPECT_GT(form->Viewer().Camera.Pos.y, 256.0f);   // it did fly forward

    // Restarting the loop later measures from the restart, not from where it stopped.
    form->chkRender->click();
    ASSERT_FALSE(form->Rendering());
    Pump(300);
    frameTimes.clear();
    form->chkRender->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frameTimes.empty(); }, 10000));
    EXPECT_LT(frameTimes[0], 300.0f);
}

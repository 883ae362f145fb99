// The scene's OpenGL calls, recorded and compared with the call lists they are
// specified by: the sky box in both forms, the water, the compass, and the frame's
// projection, view transform and order of elements. The expected lists are written from
// the calls' description, not from the drawing code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "gl/GLCalls.h"
#include "gl/GLRecorder.h"
#include "scene/Compass.h"
#include "scene/Frame.h"
#include "scene/SkyBox.h"
#include "scene/Water.h"

namespace orvtest {
namespace {

using namespace orv;

constexpr uint32_t SkyName = 11, WaterName = 12, CompassName = 13;

// SetTexGenPlanes(sAxis, tAxis, scale): object-linear s and t, 1 / (256 scale) on the
// named axis.
void AddTexGen(std::vector<TGLCall>& c, int sAxis, int tAxis, float scale)
{
    // The sky's scale 128 makes f = 1 / 32768: the clouds repeat every 32768 units.
    const float f = 1.0f / (256.0f * scale);
    std::array<float, 4> p{}, q{};
    p[sAxis] = f;
    q[tAxis] = f;
    c.push_back(Call("glTexGeni", GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR));
    c.push_back(Call("glTexGenfv", GL_S, GL_OBJECT_PLANE, p[0], p[1], p[2], p[3]));
    c.push_back(Call("glEnable", GL_TEXTURE_GEN_S));
    c.push_back(Call("glTexGeni", GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR));
    c.push_back(Call("glTexGenfv", GL_T, GL_OBJECT_PLANE, q[0], q[1], q[2], q[3]));
    c.push_back(Call("glEnable", GL_TEXTURE_GEN_T));
}

struct TQuad {
    std::array<float, 3> Normal;
    std::array<std::array<float, 3>, 4> Corners;
};

void AddQuad(std::vector<TGLCall>& c, const TQuad& quad)
{
    c.push_back(Call("glNormal3f", quad.Normal[0], quad.Normal[1], quad.Normal[2]));
    for (const auto& v : quad.Corners)
        c.push_back(Call("glVertex3f", v[0], v[1], v[2]));
}

// The faces and panels of the two forms.
const TQuad FaceA{{0, -1, 0}, {{{0, 65280, 0}, {65280, 65280, 0}, {65280, 65280, 32000}, {0, 65280, 32000}}}};
const TQuad FaceB{{0, 0, -1}, {{{0, 0, 32000}, {0, 65280, 32000}, {65280, 65280, 32000}, {65280, 0, 32000}}}};
const TQuad FaceC{{1, 0, 0}, {{{0, 0, 0}, {0, 65280, 0}, {0, 65280, 32000}, {0, 0, 32000}}}};
const TQuad FaceD{{-1, 0, 0}, {{{65280, 65280, 0}, {65280, 0, 0}, {65280, 0, 32000}, {65280, 65280, 32000}}}};
const TQuad PanelF{{0, -1, 0}, {{{-32640, -32000, 0}, {32640, -32000, 0}, {32640, 32000, 0}, {-32640, 32000, 0}}}};
const TQuad PanelL{{1, 0, 0}, {{{0, -32640, -32000}, {0, 32640, -32000}, {0, 32640, 32000}, {0, -32640, 32000}}}};
const TQuad PanelR{{-1, 0, 0}, {{{0, 32640, -32000}, {0, -32640, -32000}, {0, -32640, 32000}, {0, 32640, 32000}}}};

std::vector<TGLCall> ExpectedSkyBox(bool bounding)
{
    std::vector<TGLCall> c{
        Call("glEnable", GL_DEPTH_TEST), Call("glDisable", GL_LIGHTING), Call("glDisable", GL_BLEND),
        Call("glDisable", GL_TEXTURE_2D), Call("glFrontFace", GL_CCW),   Call("glColor3f", 0.5f, 0.6f, 0.9f),
    };
    auto group = [&](std::initializer_list<const TQuad*> quads) {
        c.push_back(Call("glBegin", GL_QUADS));
        for (const TQuad* quad : quads)
            AddQuad(c, *quad);
        c.push_back(Call("glEnd"));
    };
    auto panel = [&](const TQuad& quad, float x, float z) {
        c.push_back(Call("glPushMatrix"));
        c.push_back(Call("glTranslatef", x, 0.0f, z));
        group({&quad});
        c.push_back(Call("glPopMatrix"));
    };
    for (const bool clouds : {false, true}) {
        if (clouds) {
            c.push_back(Call("glDepthFunc", GL_LEQUAL));
            c.push_back(Call("glEnable", GL_BLEND));
            c.push_back(Call("glBlendFunc", GL_ONE, GL_SRC_ALPHA));
            c.push_back(Call("glEnable", GL_TEXTURE_2D));
            c.push_back(Call("glBindTexture", GL_TEXTURE_2D, SkyName));
        }
        if (bounding) {
            if (clouds)
                AddTexGen(c, 0, 2, 128.0f);
            group({&FaceA});
            if (clouds)
                AddTexGen(c, 0, 1, 128.0f);
            group({&FaceB});
            if (clouds)
                AddTexGen(c, 1, 2, 128.0f);
            group({&FaceC, &FaceD});
        } else {
            if (clouds)
                AddTexGen(c, 0, 1, 128.0f);
            panel(PanelF, 0.0f, -25600.0f);
            if (clouds)
                AddTexGen(c, 1, 2, 128.0f);
            panel(PanelL, -25600.0f, 0.0f);
            panel(PanelR, 25600.0f, 0.0f);
        }
    }
    c.push_back(Call("glDepthFunc", GL_LESS));
    c.push_back(Call("glDisable", GL_BLEND));
    c.push_back(Call("glEnable", GL_DEPTH_TEST));
    c.push_back(Call("glDisable", GL_TEXTURE_GEN_S));
    c.push_back(Call("glDisable", GL_TEXTURE_GEN_T));
    return c;
}

TEST(SkyBoxCalls, BoundingForm)
{
    TGLRecorder recorder;
    DrawSkyBox(true, SkyName);
    EXPECT_TRUE(SameCalls(recorder.Calls(), ExpectedSkyBox(true)));
}

TEST(SkyBoxCalls, CameraAttachedForm)
{
    TGLRecorder recorder;
    DrawSkyBox(false, SkyName);
    EXPECT_TRUE(SameCalls(recorder.Calls(), ExpectedSkyBox(false)));
}

TEST(WaterCalls, OneQuadPerRegionInListOrder)
{
    TWaterRegionList regions;
    regions.push_back(std::make_unique<TWaterRegion>(TWaterRegion{3000, {10, 5, 30, 20}, 0xFF0000}));
    regions.push_back(std::make_unique<TWaterRegion>(TWaterRegion{-20, {0, 0, 0, 0}, 0x0080FF}));
    std::vector<TGLCall> c{
        Call("glFrontFace", GL_CCW),
        Call("glEnable", GL_TEXTURE_2D),
        Call("glBindTexture", GL_TEXTURE_2D, WaterName),
    };
    AddTexGen(c, 0, 1, 1.0f);
    c.push_back(Call("glEnable", GL_BLEND));
    c.push_back(Call("glBlendFunc", GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA));
    c.push_back(Call("glNormal3f", 0.0f, 0.0f, 1.0f));
    c.push_back(Call("glBegin", GL_QUADS));
    c.push_back(Call("glColor4f", 0.0f, 0.0f, 1.0f, 0.7f));
    c.push_back(Call("glVertex3f", 2560.0f, 60160.0f, 3000.0f));
    c.push_back(Call("glVertex3f", 7680.0f, 60160.0f, 3000.0f));
    c.push_back(Call("glVertex3f", 7680.0f, 64000.0f, 3000.0f));
    c.push_back(Call("glVertex3f", 2560.0f, 64000.0f, 3000.0f));
    c.push_back(Call("glColor4f", 1.0f, 128.0f / 255.0f, 0.0f, 0.7f));
    for (int corner = 0; corner < 4; ++corner)
        c.push_back(Call("glVertex3f", 0.0f, 65280.0f, -20.0f));
    c.push_back(Call("glEnd"));
    c.push_back(Call("glDisable", GL_TEXTURE_GEN_S));
    c.push_back(Call("glDisable", GL_TEXTURE_GEN_T));

    TGLRecorder recorder;
    DrawWater(regions, WaterName);
    EXPECT_TRUE(SameCalls(recorder.Calls(), c));
}

TEST(WaterCalls, NoRegionsIsAnEmptyQuadList)
{
    TGLRecorder recorder;
    DrawWater({}, WaterName);
    const std::vector<TGLCall>& calls = recorder.Calls();
    auto begin = std::find(calls.begin(), calls.end(), Call("glBegin", GL_QUADS));
    ASSERT_NE(begin, calls.end());
    ASSERT_NE(begin + 1, calls.end());
    EXPECT_EQ(*(begin + 1), Call("glEnd"));
}

std::vector<TGLCall> ExpectedCompass(float u)
{
    return {
        Call("glDisable", GL_LIGHTING),
        Call("glDisable", GL_BLEND),
        Call("glDisable", GL_DEPTH_TEST),
        Call("glFrontFace", GL_CCW),
        Call("glEnable", GL_TEXTURE_2D),
        Call("glBindTexture", GL_TEXTURE_2D, CompassName),
        Call("glColor3f", 1.0f, 1.0f, 1.0f),
        Call("glBegin", GL_QUADS),
        Call("glTexCoord2f", u, 0.0f),
        Call("glVertex3f", 0.0f, 0.0f, 0.0f),
        Call("glTexCoord2f", u + 0.25f, 0.0f),
        Call("glVertex3f", 48.0f, 0.0f, 0.0f),
        Call("glTexCoord2f", u + 0.25f, 1.0f),
        Call("glVertex3f", 48.0f, 16.0f, 0.0f),
        Call("glTexCoord2f", u, 1.0f),
        Call("glVertex3f", 0.0f, 16.0f, 0.0f),
        Call("glEnd"),
    };
}

TEST(CompassCalls, StripOfAQuarterOfTheImageAtTheHeading)
{
    for (const auto& [heading, u] : {std::pair{0.0f, 0.9375f}, std::pair{360.0f, 0.9375f}, std::pair{337.5f, 0.0f},
                                     std::pair{90.0f, 0.6875f}, std::pair{270.0f, 0.1875f}}) {
        SCOPED_TRACE(testing::Message() << "heading " << heading);
        TGLRecorder recorder;
        DrawCompass(heading, CompassName);
        EXPECT_TRUE(SameCalls(recorder.Calls(), ExpectedCompass(u)));
    }
}

class FrameCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (auto& column : *m_Terrain)
            for (TTerrainVertex& v : column)
                v.Height = 1000;
        m_Scene.Camera = &m_Camera;
        m_Scene.WaterRegions = &m_Regions;
        m_Scene.TerrainDraw.Terrain = m_Terrain.get();
        m_Scene.TerrainDraw.Normals = m_Normals.get();
        m_Scene.TerrainDraw.Switches.RenderVersion = rvCLOD;
        m_Scene.TerrainDraw.SkyTexture = SkyName;
        m_Scene.WaterTexture = WaterName;
        m_Scene.CompassTexture = CompassName;
        m_Camera.Pos = {1000.0f, 2000.0f, 5000.0f};
        m_Camera.Heading = 30.0f;
    }
    static TFrameGeometry Frame(int width, int height)
    {
        TFrameGeometry frame;
        frame.ViewWidth = width;
        frame.ViewHeight = height;
        return frame;
    }
    std::vector<TGLCall> Compose(const TFrameGeometry& frame)
    {
        TGLRecorder recorder;
        ComposeFrame(m_Scene, frame);
        return recorder.Calls();
    }
    // The projection, the view transform and the overlay, as the frame sets them.
    static std::vector<TGLCall> Transforms(const std::vector<TGLCall>& calls)
    {
        return OnlyCalls(calls, {"glMatrixMode", "glLoadIdentity", "gluPerspective", "glOrtho", "glRotatef",
                                 "glTranslatef", "glClear", "glLightfv"});
    }
    static std::vector<TGLCall> ExpectedTransforms(double aspect, double nearPlane, float pitch, float heading,
                                                   TVec3f eye, int width, int height)
    {
        return {
            Call("glMatrixMode", GL_PROJECTION),
            Call("glLoadIdentity"),
            Call("gluPerspective", 90.0, aspect, nearPlane, 76800.0),
            Call("glMatrixMode", GL_MODELVIEW),
            Call("glLoadIdentity"),
            Call("glClear", GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT),
            Call("glRotatef", -pitch, 1.0f, 0.0f, 0.0f),
            Call("glRotatef", -heading, 0.0f, 0.0f, 1.0f),
            Call("glTranslatef", -eye.x, -eye.y, -eye.z),
            Call("glMatrixMode", GL_PROJECTION),
            Call("glLoadIdentity"),
            Call("glOrtho", 0.0, width, 0.0, height, 1.0, -1.0),
            Call("glMatrixMode", GL_MODELVIEW),
            Call("glLoadIdentity"),
        };
    }

    TCamera m_Camera;
    TWaterRegionList m_Regions;
    TSceneState m_Scene;
    std::unique_ptr<TTerrain> m_Terrain = std::make_unique<TTerrain>();
    std::unique_ptr<TTerrainNormals> m_Normals = std::make_unique<TTerrainNormals>();
};

TEST_F(FrameCalls, ProjectionAndViewTransformAtPitch45)
{
    m_Camera.Pitch = 45.0f;
    const auto calls = Compose(Frame(640, 480));
    EXPECT_TRUE(SameCalls(Transforms(calls), ExpectedTransforms(640.0 / 480.0, 100.0, 45.0f, 30.0f,
                                                                 {1000.0f, 2000.0f, 5000.0f}, 640, 480)));
}

TEST_F(FrameCalls, ProjectionAndViewTransformAtPitch44Point9)
{
    m_Camera.Pitch = 44.9f;
    const auto calls = Compose(Frame(300, 200));
    EXPECT_TRUE(SameCalls(Transforms(calls), ExpectedTransforms(1.5, 50.0, 44.9f, 30.0f,
                                                                 {1000.0f, 2000.0f, 5000.0f}, 300, 200)));
}

TEST_F(FrameCalls, TheEyeIsClampedAboveTheGroundBeforeTheViewTransform)
{
    m_Camera.Pitch = 80.0f;
    m_Camera.Pos.z = 10.0f;
    const auto calls = Compose(Frame(640, 480));
    // Clamped first, the eye is 90 above the flat ground: the near plane comes to 90 times
    // the cosine of the view's corner angle, 3 / sqrt(34), so that no ground is cut away.
    TCamera clamped = m_Camera;
    const double nearPlane = GroundNearPlane(clamped, *m_Terrain, 640.0 / 480.0);
    EXPECT_NEAR(nearPlane, 90.0 * 3.0 / std::sqrt(34.0), 1e-4);
    EXPECT_EQ(m_Camera.Pos.z, 1090.0f);
    EXPECT_TRUE(SameCalls(Transforms(calls), ExpectedTransforms(640.0 / 480.0, nearPlane, 80.0f, 30.0f,
                                                                 {1000.0f, 2000.0f, 1090.0f}, 640, 480)));
}

TEST_F(FrameCalls, TheSunFollowsTheViewTransform)
{
    m_Camera.Pitch = 80.0f;
    m_Scene.TerrainDraw.Switches.TrackSun = true;
    TFrameGeometry frame = Frame(640, 480);
    frame.SunTick = 2500;
    const auto calls = Compose(frame);
    std::vector<TGLCall> expected =
        ExpectedTransforms(640.0 / 480.0, 100.0, 80.0f, 30.0f, {1000.0f, 2000.0f, 5000.0f}, 640, 480);
    expected.insert(expected.begin() + 9, Call("glLightfv", GL_LIGHT0, GL_POSITION, 0.5f, 0.0f, 0.5f, 0.0f));
    EXPECT_TRUE(SameCalls(Transforms(calls), expected));
}

// The index of the first call equal to `call` at or after `from`.
size_t IndexOf(const std::vector<TGLCall>& calls, const TGLCall& call, size_t from = 0)
{
    const auto it = std::find(calls.begin() + static_cast<long>(from), calls.end(), call);
    EXPECT_NE(it, calls.end()) << ToString(call);
    return static_cast<size_t>(it - calls.begin());
}

TEST_F(FrameCalls, ElementsInTheirOrder)
{
    for (const bool bounding : {true, false}) {
        SCOPED_TRACE(bounding ? "bounding sky box" : "camera-attached sky box");
        m_Scene.TerrainDraw.Switches.BoundingSkybox = bounding;
        m_Camera.Pitch = 80.0f;
        const auto calls = Compose(Frame(640, 480));
        const size_t clear = IndexOf(calls, Call("glClear", GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT));
        const size_t view = IndexOf(calls, Call("glRotatef", -80.0f, 1.0f, 0.0f, 0.0f));
        const size_t sky = IndexOf(calls, Call("glColor3f", 0.5f, 0.6f, 0.9f));
        const size_t terrain = IndexOf(calls, Call("glColor4f", 1.0f, 1.0f, 1.0f, 1.0f), sky);
        const size_t water = IndexOf(calls, Call("glBindTexture", GL_TEXTURE_2D, WaterName), terrain);
        const size_t overlay = IndexOf(calls, Call("glOrtho", 0.0, 640, 0.0, 480, 1.0, -1.0), water);
        const size_t compass = IndexOf(calls, Call("glBindTexture", GL_TEXTURE_2D, CompassName), overlay);
        EXPECT_LT(clear, std::min(view, sky));
        if (bounding)
            EXPECT_LT(view, sky) << "the box is drawn in world space";
        else
            EXPECT_LT(sky, view) << "the panels are drawn in eye space";
        EXPECT_LT(std::max(view, sky), terrain);
        EXPECT_LT(compass, calls.size());
        EXPECT_EQ(calls.back(), Call("glGetError")) << "the frame ends with the error check";
    }
}

TEST_F(FrameCalls, NothingWhileTheWindowIsHidden)
{
    TFrameGeometry frame = Frame(640, 480);
    frame.Visible = false;
    EXPECT_TRUE(Compose(frame).empty());
}

}  // namespace
}  // namespace orvtest

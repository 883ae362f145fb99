#include "AppTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QSettings>
#include <QSurfaceFormat>
#include <QTest>

#include "ExternalPrograms.h"
#include "GLWindow.h"
#include "Settings.h"
#include "base/Log.h"
#include "shell/GLViewer.h"

namespace fs = std::filesystem;

namespace orvtest {
namespace {

constexpr int CreationTimeoutMs = 60000;

bool HaveDisplay()
{
    const char* display = std::getenv("DISPLAY");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return (display && *display) || (platform && *platform);
}

// One application for the whole test program, as the viewer has.
class TQtEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        if (!HaveDisplay())
            return;
        QSurfaceFormat::setDefaultFormat(orv::TglWindow::ViewFormat());
        m_App = std::make_unique<QApplication>(m_Argc, m_Argv);
        // The remembered game folder of the tests, never the user's.
        m_Settings = NewTempDir("orvandel-settings");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(m_Settings));
    }
    void TearDown() override
    {
        m_App.reset();
        if (!m_Settings.empty())
            fs::remove_all(m_Settings);
    }

private:
    int m_Argc = 1;
    char m_Name[16] = "orvandel-test";
    char* m_Argv[2] = {m_Name, nullptr};
    std::unique_ptr<QApplication> m_App;
    std::string m_Settings;
};

[[maybe_unused]] testing::Environment* const g_QtEnvironment = testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace

// --- Recorders ---------------------------------------------------------------------

TMessageRecorder::TMessageRecorder()
    : m_Previous(orv::SetMessageHook(
          [this](orv::TMessageKind kind, const QString& caption, const QString& text, const QString& action) {
              Messages.push_back({kind, caption, text, action});
              return TakeActions && !action.isEmpty();
          }))
{
}

TMessageRecorder::~TMessageRecorder() { orv::SetMessageHook(std::move(m_Previous)); }

std::vector<QString> TMessageRecorder::Texts() const
{
    std::vector<QString> texts;
    for (const TMessage& m : Messages)
        texts.push_back(m.Text);
    return texts;
}

TLogRecorder::TLogRecorder()
{
    orv::SetLogSink([this](std::string_view line) { Lines.emplace_back(line); });
}

TLogRecorder::~TLogRecorder() { orv::SetLogSink({}); }

bool TLogRecorder::Contains(const std::string& line) const
{
    for (const std::string& l : Lines)
        if (l == line)
            return true;
    return false;
}

orv::TFrameClock TStepClock::Clock()
{
    return {.ElapsedMs = [this] { return SinceReset + StepMs; },
            .Reset = [this] { SinceReset = 0.0f; },
            .Sleep = [this](int ms) {
                Sleeps.push_back(ms);
                SinceReset += static_cast<float>(ms);
            }};
}

orv::TViewerOptions GameOptions(const std::string& gameDir)
{
    orv::TViewerOptions options;
    options.GameDir = gameDir;
    return options;
}

// --- The window fixture ----------------------------------------------------------------

void TWindowTest::SetUp()
{
    REQUIRE_OR_SKIP(QApplication::instance() != nullptr, "an X display (scripts/test starts Xvfb)");
}

void TWindowTest::TearDown()
{
    form.reset();
    // What a test left remembered (a folder, a window's state) is not the next test's start.
    QSettings(orv::OrganizationName, orv::ApplicationName).clear();
}

void TWindowTest::Open(const std::string& gameDir, bool keepRendering, orv::TViewerOptions options)
{
    options.GameDir = gameDir;
    OpenWith(options, keepRendering);
}

void TWindowTest::OpenWith(const orv::TViewerOptions& options, bool keepRendering)
{
    form = std::make_unique<orv::TForm1>(options);
    if (options.GameDir)
        form->Viewer().CheckerTexturePath = (fs::path(*options.GameDir) / "checker.bmp").string();
    form->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Created(); }, CreationTimeoutMs));
    if (!keepRendering) {
        form->chkRender->click();
        ASSERT_FALSE(form->Rendering());
        form->FrameLoop().Clock() = clock->Clock();
        // The frames the idle loop ran before are timed by the real clock; the caption's
        // average starts afresh so that it cannot ask the step clock for a pause.
        form->Viewer().FrameCount = 0;
        form->Viewer().FPSSum = 0.0f;
        form->Viewer().TriCount = 0;
    }
}

void TWindowTest::RunFrames(int count)
{
    for (int i = 0; i < count; ++i)
        form->ApplicationEvents1Idle();
}

void TWindowTest::Pump(int ms) { QTest::qWait(ms); }

void TWindowTest::Activate()
{
    // Without a window manager the X server gives the focus only to a mapped window, and
    // a request made while the map is on its way is lost: wait for the window to show,
    // then ask again if the first request did not take.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get(), CreationTimeoutMs));
    for (int attempt = 0; attempt < 3; ++attempt) {
        form->raise();
        form->activateWindow();
        if (QTest::qWaitForWindowActive(form.get(), 3000))
            return;
    }
    FAIL() << "the window never became the active one";
}

void TSampleGameWindowTest::SetUp()
{
    TWindowTest::SetUp();
    if (IsSkipped())
        return;
    if (SampleGame().empty())
        GTEST_SKIP() << "orvandel-mkgame is not built";
    Open(SampleGame());
}

}  // namespace orvtest

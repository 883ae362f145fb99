// AppTestSupport: what the window tests share: the Qt application (created once per
// test program when there is a display), the sample game written by orvandel-mkgame,
// recorders for message boxes and log lines, a frame clock of fixed steps and a window
// fixture that opens TForm1 on a game and waits for its creation.
//
//   class MyTest : public orvtest::TWindowTest {};
//   TEST_F(MyTest, Something) { Open(SampleGame()); form->chkFog->click(); ... }
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QString>

#include "Dialogs.h"
#include "MainWindow.h"
#include "SampleGame.h"
#include "shell/FrameLoop.h"

namespace orvtest {

struct TMessage {
    orv::TMessageKind Kind;
    QString Caption;
    QString Text;
    QString Action;   // the action the box offered, empty for none
};

// Records every message box while it lives (none is shown); an offered action is taken
// when TakeActions says so.
class TMessageRecorder {
public:
    TMessageRecorder();
    ~TMessageRecorder();
    std::vector<TMessage> Messages;
    bool TakeActions = false;
    std::vector<QString> Texts() const;

private:
    orv::TMessageHook m_Previous;
};

// Records every log line while it lives.
class TLogRecorder {
public:
    TLogRecorder();
    ~TLogRecorder();
    std::vector<std::string> Lines;
    bool Contains(const std::string& line) const;
};

// Frames of a fixed length; counts the pauses it was asked for.
struct TStepClock {
    float StepMs = 10.0f;
    float SinceReset = 0.0f;   // what the next ElapsedMs reports before the step is added
    std::vector<int> Sleeps;
    orv::TFrameClock Clock();
};

// The command line with a game folder alone.
orv::TViewerOptions GameOptions(const std::string& gameDir);

// Opens the window and waits until its creation has ended.
class TWindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens TForm1 on gameDir (the checker texture is read from there too) with the
    // other options of the command line. With keepRendering false the idle loop is
    // switched off by unticking "Render", so that the test runs the frames.
    void Open(const std::string& gameDir, bool keepRendering = false, orv::TViewerOptions options = {});
    // The same with the options alone (no game folder argument).
    void OpenWith(const orv::TViewerOptions& options, bool keepRendering = false);
    // Runs frames of the loop with the step clock.
    void RunFrames(int count);
    // Lets the window process its events for a while.
    static void Pump(int ms = 50);
    // Makes the window the active one (shortcuts and key clicks reach it only then).
    // Call it through ASSERT_NO_FATAL_FAILURE.
    void Activate();

    TMessageRecorder messages;
    TLogRecorder log;
    std::shared_ptr<TStepClock> clock = std::make_shared<TStepClock>();
    std::unique_ptr<orv::TForm1> form;
};

// A window open on the sample game (skipped when orvandel-mkgame is not built).
class TSampleGameWindowTest : public TWindowTest {
protected:
    void SetUp() override;
};

}  // namespace orvtest

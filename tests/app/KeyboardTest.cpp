// The keyboard and the mouse wheel: the arrows fly whatever has the focus and never move
// a control, Tab and Space still work the controls, the keyboard goes back to the view,
// the wheel flies, Ctrl+Q closes, the menu opens from the keyboard.
#include <set>

#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "AppTestSupport.h"
#include "GLWindow.h"
#include "KeyTracker.h"
#include "shell/GLViewer.h"
#include "terrain/RendererTable.h"

using orvtest::TWindowTest;

namespace {

class KeyboardTest : public orvtest::TSampleGameWindowTest {
protected:
    // Every control's state, as text.
    QString Controls() const
    {
        QString text;
        for (const QAbstractButton* button : form->pnlTop->findChildren<QAbstractButton*>())
            text += button->text() + QString::number(button->isChecked()) + QLatin1Char(' ');
        for (const QAbstractSlider* slider : form->pnlTop->findChildren<QAbstractSlider*>())
            text += QString::number(slider->value()) + QLatin1Char(' ');
        return text;
    }

    void PlaceCamera()
    {
        orv::TCamera& camera = form->Viewer().Camera;
        camera.Pos = {30000.0f, 30000.0f, 20000.0f};
        camera.Pitch = 90.0f;
        camera.Heading = 0.0f;
    }

    void Wheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPointF at(50, 50);
        QWheelEvent event(at, form->glMap->mapToGlobal(at), QPoint(), angleDelta, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->glMap, &event);
    }
};

}  // namespace

TEST_F(KeyboardTest, ArrowsFlyAndNeverMoveAControlWhateverHasTheFocus)
{
    clock->StepMs = 10.0f;
    QWidget* const holders[] = {form->glMap,         form.get(),           form->chkFog, form->chkLighting,
                                form->RendererButton(orv::rvV1),   form->RendererButton(orv::rvCLOD),    form->trackDetailTexScale,
                                form->trackCLODDetail};
    struct TKey {
        Qt::Key Key;
        float Dx, Dy;   // at pitch 90, heading 0, per unit of speed
    };
    const TKey keys[] = {{Qt::Key_Up, 0, 20}, {Qt::Key_Down, 0, -20}, {Qt::Key_Left, -20, 0}, {Qt::Key_Right, 20, 0}};
    struct TModifier {
        Qt::KeyboardModifiers Modifiers;
        Qt::Key Key;
        float Speed;
    };
    const TModifier modifiers[] = {{Qt::NoModifier, Qt::Key_unknown, 1.0f},
                                   {Qt::ShiftModifier, Qt::Key_Shift, 4.0f},
                                   {Qt::AltModifier, Qt::Key_Alt, 0.4296875f / 2.0f}};
    for (QWidget* holder : holders) {
        SCOPED_TRACE(holder->metaObject()->className() + std::string(" ") +
                     holder->property("text").toString().toStdString());
        // A control takes the keyboard only with a renderer that uses it.
        if (!holder->isEnabled())
            form->RendererButton(holder == form->trackCLODDetail ? orv::rvCLOD : orv::rvV1)->click();
        holder->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(form->focusWidget(), holder == form.get() ? form->focusWidget() : holder);
        QWidget* const focus = form->focusWidget();
        const QString controls = Controls();
        for (const TModifier& m : modifiers)
            for (const TKey& k : keys) {
                SCOPED_TRACE(k.Key);
                PlaceCamera();
                if (m.Key != Qt::Key_unknown)
                    QTest::keyPress(focus, m.Key, m.Modifiers);
                QTest::keyPress(focus, k.Key, m.Modifiers);
                RunFrames(1);
                QTest::keyRelease(focus, k.Key, m.Modifiers);
                if (m.Key != Qt::Key_unknown)
                    QTest::keyRelease(focus, m.Key, Qt::NoModifier);
                EXPECT_NEAR(form->Viewer().Camera.Pos.x, 30000.0f + k.Dx * m.Speed, 1e-2f);
                EXPECT_NEAR(form->Viewer().Camera.Pos.y, 30000.0f + k.Dy * m.Speed, 1e-2f);
                const orv::TKeyState held = form->Keys().State();
                EXPECT_FALSE(held.Up || held.Down || held.Left || held.Right || held.Shift || held.Alt);
            }
        EXPECT_EQ(Controls(), controls) << "no control moved";
        EXPECT_EQ(form->focusWidget(), focus) << "the focus stayed";
    }
}

TEST_F(KeyboardTest, KeysOfAnotherWindowStayTheirs)
{
    // An input box of the program: its arrows move its own cursor, they do not fly.
    QWidget other;
    other.show();
    QTest::keyPress(&other, Qt::Key_Up);
    EXPECT_FALSE(form->Keys().State().Up);
    QTest::keyRelease(&other, Qt::Key_Up);
}

TEST_F(KeyboardTest, TheKeyboardStartsWithTheViewAndComesBackToIt)
{
    ASSERT_NO_FATAL_FAILURE(Activate());
    EXPECT_EQ(QApplication::focusWidget(), form->glMap);
    // Tab reaches the panel's controls and Space toggles one; the change gives the
    // keyboard back to the view.
    for (int i = 0; i < 20 && QApplication::focusWidget() != form->chkFog; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->chkFog);
    QTest::keyClick(form->chkFog, Qt::Key_Space);
    EXPECT_TRUE(form->chkFog->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), form->glMap);
    // A click on a control takes no keyboard: it stays with the view.
    QTest::mouseClick(form->chkGravity, Qt::LeftButton);
    EXPECT_TRUE(form->chkGravity->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), form->glMap);
    QTest::mouseClick(form->RendererButton(orv::rvFan), Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(form->Viewer().RenderVersion, orv::rvFan);
    EXPECT_EQ(QApplication::focusWidget(), form->glMap);
    // Moved with the mouse, a slider gives it back too, also from a control reached by Tab
    // (the detail texture's slider is live with the V1 renderer).
    form->RendererButton(orv::rvV1)->click();
    form->chkFog->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(form->trackDetailTexScale, Qt::LeftButton, {}, QPoint(70, 9));
    EXPECT_NE(form->trackDetailTexScale->value(), 16);
    EXPECT_EQ(QApplication::focusWidget(), form->glMap);
}

TEST_F(KeyboardTest, WheelNotchesFlyAlongTheView)
{
    PlaceCamera();
    Wheel({0, 120});
    EXPECT_NEAR(form->Viewer().Camera.Pos.y, 30200.0f, 1e-2f);
    Wheel({0, -240});
    EXPECT_NEAR(form->Viewer().Camera.Pos.y, 29800.0f, 1e-2f);
    Wheel({0, 120}, Qt::ShiftModifier);
    EXPECT_NEAR(form->Viewer().Camera.Pos.y, 30600.0f, 1e-2f);
    // With Alt the window system may turn the wheel sideways.
    Wheel({120, 0}, Qt::AltModifier);
    EXPECT_NEAR(form->Viewer().Camera.Pos.y, 30600.0f + 42.96875f, 1e-2f);
    EXPECT_NEAR(form->Viewer().Camera.Pos.x, 30000.0f, 1e-2f);
}

TEST_F(KeyboardTest, CtrlQCloses)
{
    ASSERT_NO_FATAL_FAILURE(Activate());
    QTest::keyClick(form->chkFog, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(KeyboardTest, TheMenuOpensFromTheKeyboardWithTheFolderChoiceFirst)
{
    ASSERT_NO_FATAL_FAILURE(Activate());
    for (const QKeyCombination key : {QKeyCombination(Qt::Key_Menu), QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)}) {
        SCOPED_TRACE(QKeySequence(key).toString().toStdString());
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->pumMain->isVisible(); }, 5000));
        EXPECT_EQ(form->pumMain->activeAction(), form->atnOpenGameFolder);
        // Its keys are the menu's own: Down moves to the next item.
        QTest::keyClick(form->pumMain, Qt::Key_Down);
        EXPECT_EQ(form->pumMain->activeAction(), form->DumpD2Map1);
        form->pumMain->close();
    }
}

TEST_F(KeyboardTest, DesktopKeysRightClickAndTabReachEveryControl)
{
    ASSERT_NO_FATAL_FAILURE(Activate());
    // Keys 1 to 4 pick the renderers; what a renderer does not use is disabled, its tip
    // says why.
    const Qt::Key digits[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4};
    for (size_t i = 0; i < orv::RendererTable.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), digits[i]);
        const int tag = orv::RendererTable[i].Tag;
        EXPECT_EQ(form->Viewer().RenderVersion, tag);
        EXPECT_TRUE(form->RendererButton(tag)->isChecked());
        EXPECT_EQ(form->chkDetailTex->isEnabled(), tag == orv::rvV1);
        EXPECT_EQ(form->trackCLODDetail->isEnabled(), tag == orv::rvCLOD);
        EXPECT_EQ(form->chkCheckerboard->toolTip().isEmpty(), tag == orv::rvV1);
    }
    // Tab reaches every control that is live, each renderer button too.
    form->RendererButton(orv::rvFan)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form->RendererButton(orv::rvFan), Qt::Key_Space);
    std::set<QWidget*> reached;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.insert(QApplication::focusWidget());
    }
    for (QWidget* control : form->pnlTop->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (control->isEnabled()) {
            EXPECT_TRUE(reached.contains(control)) << control->objectName().toStdString()
                                                    << control->property("text").toString().toStdString();
        }
    }
    // The right button opens the menu in the view; a left drag only looks around.
    form->glMap->setFocus();
    const QPoint at(40, 40);
    QTest::mousePress(form->glMap, Qt::LeftButton, {}, at);
    QTest::mouseRelease(form->glMap, Qt::LeftButton, {}, at);
    EXPECT_FALSE(form->pumMain->isVisible());
    QTest::mousePress(form->glMap, Qt::RightButton, {}, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->pumMain->isVisible(); }, 5000));
    EXPECT_TRUE(form->pumMain->geometry().contains(form->glMap->mapToGlobal(at) + QPoint(1, 1)));
    form->pumMain->close();
    QTest::mouseRelease(form->glMap, Qt::RightButton, {}, at);
    // F11: full screen and back.
    ASSERT_NO_FATAL_FAILURE(Activate());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->isFullScreen(); }, 5000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isFullScreen(); }, 5000));
}

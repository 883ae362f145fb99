// The real boxes, shown and answered by a timer: wide enough for their caption and their
// whole text, the offered action reported when taken, a file replaced only when the user says so.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "AppTestSupport.h"
#include "Dialogs.h"
#include "ExternalPrograms.h"

namespace {

class DialogsTest : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_OR_SKIP(QApplication::instance() != nullptr, "an X display (scripts/test starts Xvfb)");
        if (std::getenv("ORVANDEL_MESSAGE_LOG"))
            GTEST_SKIP() << "ORVANDEL_MESSAGE_LOG is set: no box is shown";
    }

    // Runs `answer` on the modal box once it is up.
    static void WhenShown(std::function<void(QWidget*)> answer)
    {
        QTimer::singleShot(0, [answer] {
            if (!QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 5000)) {
                ADD_FAILURE() << "no box came up";
                return;
            }
            QWidget* box = QApplication::activeModalWidget();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(box));
            answer(box);
        });
    }

    static int TextWidth(const QWidget* widget, const QString& text)
    {
        return QFontMetrics(widget->font()).horizontalAdvance(text);
    }
};

}  // namespace

TEST_F(DialogsTest, AnErrorShowsItsFileNameWhole)
{
    const QString first = QStringLiteral(
        "/home/someone/.wine/drive_c/games/isles/zones/zone111/dat111.mpk: terrain.pcx: error (damaged compressed data)");
    const QString text = first + QStringLiteral("\rThe zones of this game folder: 5, 111, 112.");
    int labelWidth = 0, needed = 0, boxWidth = 0, titleNeeded = 0;
    WhenShown([&](QWidget* box) {
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        labelWidth = label->width();
        needed = TextWidth(label, first);
        boxWidth = box->width();
        titleNeeded = TextWidth(box, box->windowTitle());
        EXPECT_EQ(label->text().count(QLatin1Char('\n')), 1) << "the carriage return is a line break";
        const QList<QAbstractButton*> buttons = qobject_cast<QMessageBox*>(box)->buttons();
        ASSERT_EQ(buttons.size(), 1);
        EXPECT_EQ(buttons.first()->text(), "OK");
        buttons.first()->click();
    });
    orv::ShowMessageBox(nullptr, orv::TMessageKind::Error, QStringLiteral("Orvandel"), text);
    EXPECT_GE(labelWidth, needed) << "the longest line fits without a break";
    EXPECT_GT(boxWidth, titleNeeded);
}

TEST_F(DialogsTest, ALineLongerThanTheBoxWrapsInsideIt)
{
    const QString text = QStringLiteral(
        "/home/someone/.wine/drive_c/games/isles/zones/zone111/tex111.mpk: tex00-07.bmp: BMP image of 8192 x 8192 "
        "pixels needs 201326592 bytes, more than the 134217728 bytes left of the zone's texture budget");
    int labelRight = 0, boxWidth = 0, labelHeight = 0, needed = 0;
    WhenShown([&](QWidget* box) {
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        labelRight = label->geometry().right();
        boxWidth = box->width();
        labelHeight = label->height();
        needed = label->heightForWidth(label->width());
        qobject_cast<QMessageBox*>(box)->buttons().first()->click();
    });
    orv::ShowMessageBox(nullptr, orv::TMessageKind::Error, QStringLiteral("Orvandel"), text);
    EXPECT_LT(labelRight, boxWidth) << "no part of the text is cut off at the box's edge";
    EXPECT_GE(labelHeight, needed) << "every wrapped line is shown";
}

TEST_F(DialogsTest, AShortTextLeavesRoomForALongTitle)
{
    const QString title = QStringLiteral("Orvandel: /home/someone/.wine/drive_c/games/isles/zones/zone111/tex111.mpk and the shared textures of the game");
    int boxWidth = 0, titleNeeded = 0;
    for (const Qt::TextFormat format : {Qt::PlainText, Qt::RichText}) {
        WhenShown([&](QWidget* box) {
            boxWidth = box->width();
            titleNeeded = TextWidth(box, box->windowTitle());
            qobject_cast<QMessageBox*>(box)->buttons().first()->click();
        });
        orv::ShowMessageBox(nullptr, orv::TMessageKind::Error, title, QStringLiteral("error"), format);
        EXPECT_GT(boxWidth, titleNeeded) << format;
    }
}

TEST_F(DialogsTest, TheOfferedActionIsReportedOnlyWhenTaken)
{
    for (const bool take : {true, false}) {
        SCOPED_TRACE(take);
        QStringList buttons;
        WhenShown([&](QWidget* box) {
            for (QAbstractButton* button : qobject_cast<QMessageBox*>(box)->buttons())
                buttons << button->text();
            for (QAbstractButton* button : qobject_cast<QMessageBox*>(box)->buttons())
                if ((button->text() == "Open game folder...") == take) {
                    button->click();
                    break;
                }
        });
        const bool taken = orv::AskMessageBox(nullptr, orv::TMessageKind::Error, QStringLiteral("Orvandel"),
                                              QStringLiteral("Cannot open file x"), QStringLiteral("Open game folder..."));
        EXPECT_EQ(taken, take);
        buttons.sort();
        EXPECT_EQ(buttons, (QStringList{"Close", "Open game folder..."}));
    }
}

TEST_F(DialogsTest, InputBoxesHoldAFullLocationAndTheirCaption)
{
    const QString location = QStringLiteral("-65535,-65535,-65535,359,-180");
    int fieldWidth = 0, needed = 0, boxWidth = 0, captionNeeded = 0;
    WhenShown([&](QWidget* box) {
        const auto* field = box->findChild<QLineEdit*>();
        ASSERT_NE(field, nullptr);
        fieldWidth = field->width();
        needed = TextWidth(field, location);
        boxWidth = box->width();
        captionNeeded = TextWidth(box, box->windowTitle());
        qobject_cast<QInputDialog*>(box)->setTextValue(QStringLiteral("above"));
        qobject_cast<QInputDialog*>(box)->accept();
    });
    const std::optional<QString> reply =
        orv::DefaultInputQuery(nullptr, QStringLiteral("Go to locaction"), QStringLiteral("Loc (X,Y,Z,h,p)"), location);
    EXPECT_EQ(reply, QStringLiteral("above"));
    EXPECT_GT(fieldWidth, needed);
    // Room for the caption beside a window manager's buttons.
    EXPECT_GT(boxWidth, captionNeeded + 100);

    // The zone box offers its items and takes a typed number.
    QStringList offered;
    WhenShown([&](QWidget* box) {
        const auto* combo = box->findChild<QComboBox*>();
        ASSERT_NE(combo, nullptr);
        for (int i = 0; i < combo->count(); ++i)
            offered << combo->itemText(i);
        EXPECT_EQ(combo->currentText(), "111");
        qobject_cast<QInputDialog*>(box)->setTextValue(QStringLiteral("7"));
        qobject_cast<QInputDialog*>(box)->accept();
    });
    const std::optional<QString> zone = orv::DefaultChoiceQuery(nullptr, QStringLiteral("Change zone"),
                                                                QStringLiteral("Enter new Zone ID:"),
                                                                {"5", "111", "112"}, QStringLiteral("111"));
    EXPECT_EQ(offered, (QStringList{"5", "111", "112"}));
    EXPECT_EQ(zone, QStringLiteral("7"));
}

// A name typed without its extension gets the filter's before the dialog looks for a file
// to replace: the user is asked, and "No" leaves the file as it was.
TEST_F(DialogsTest, ANameTypedWithoutItsExtensionIsAskedAboutBeforeReplacing)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString existing = folder.filePath(QStringLiteral("existing.png"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    QString question;
    WhenShown([&](QWidget* dialog) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr) << "not the toolkit's own file dialog";
        name->setText(QStringLiteral("existing"));
        QTimer::singleShot(0, [&] {
            if (QTest::qWaitFor([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }, 5000)) {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                question = box->text();
                box->button(QMessageBox::No)->click();
            }
        });
        qobject_cast<QDialog*>(dialog)->accept();   // the file dialog's own check, then the question
        qobject_cast<QDialog*>(dialog)->reject();
    });
    const auto reply = orv::DefaultSaveFileQuery(nullptr, QStringLiteral("Save view"), folder.path(),
                                                 QStringLiteral("orvandel.png"), {QStringLiteral("PNG picture (*.png)")});
    EXPECT_TRUE(question.contains(QStringLiteral("existing.png"))) << question.toStdString();
    EXPECT_FALSE(reply.has_value());
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "old");
}

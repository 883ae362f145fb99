#include "Dialogs.h"

#include <algorithm>

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWidget>

namespace orv {
namespace {

constexpr const char* CloseCaption = "Close";
// The longest location the "Go to loc..." box shows, for the width of the input boxes.
constexpr const char* WidestLocation = "-65535,-65535,-65535,359,-180";
// Room beside a caption for the window manager's buttons, and around a text for the
// box's own margins and icon.
constexpr int CaptionRoom = 160;
constexpr int TextRoom = 80;
constexpr int WrapSlack = 4;
// A box never grows beyond this share of the screen's width.
constexpr double MaxScreenShare = 0.9;

TMessageHook& Hook()
{
    static TMessageHook hook;
    return hook;
}

bool AppendToMessageLog(const QString& text, const QString& action)
{
    return orv::AppendToMessageLog(text.toStdString(), action.toStdString());
}

// The screen area a box of parent's may take.
QRect AvailableArea(const QWidget* parent)
{
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// The widest a box may be on the screen of its parent.
int MaxBoxWidth(const QWidget* parent) { return static_cast<int>(AvailableArea(parent).width() * MaxScreenShare); }

// The widest a message box becomes: the toolkit fixes its size at no more than the screen
// less 480 pixels, and 1000 (the whole screen up to 1024 pixels wide), and wraps a label
// that needs more. A label wider than that would be cut off at the box's edge.
int MaxMessageBoxWidth(const QWidget* parent)
{
    constexpr int SmallScreen = 1024, ScreenMargin = 480, MostWidth = 1000;
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int width = screen ? screen->availableGeometry().width() : SmallScreen;
    return width <= SmallScreen ? width : std::min(width - ScreenMargin, MostWidth);
}

int LongestLine(const QFontMetrics& metrics, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// Gives the keyboard back to the window, also where no window manager returns it.
void Reactivate(QWidget* parent)
{
    if (parent && parent->isVisible())
        parent->activateWindow();
}

// A text too tall for the screen (the help at a large scale on a small screen): shown in
// a box that fits the screen and scrolls, its button always on screen.
void ExecScrollingBox(QWidget* parent, const QString& caption, const QString& text, Qt::TextFormat format,
                      QSize wanted)
{
    QDialog box(parent);
    box.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&box);
    auto* view = new QTextBrowser(&box);
    if (format == Qt::RichText)
        view->setHtml(text);
    else
        view->setPlainText(text);
    view->setFrameShape(QFrame::NoFrame);
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    const QRect area = AvailableArea(parent);
    box.resize(wanted.boundedTo(QSize(static_cast<int>(area.width() * MaxScreenShare),
                                      static_cast<int>(area.height() * MaxScreenShare))));
    box.exec();
    Reactivate(parent);
}

// Shows a box with the text whole: its label is as wide as the longest line, up to the
// widest the box becomes (longer lines wrap inside it).
bool ExecMessageBox(QWidget* parent, TMessageKind kind, const QString& caption, const QString& text,
                    Qt::TextFormat format, const QString& action)
{
    // A carriage return separates lines in the texts the viewer raises.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QMessageBox::Icon icon = kind == TMessageKind::Information ? QMessageBox::Information
                                   : kind == TMessageKind::Warning   ? QMessageBox::Warning
                                                                     : QMessageBox::Critical;
    QMessageBox box(icon, caption, shown, QMessageBox::NoButton, parent);
    box.setTextFormat(format);
    QPushButton* offered = action.isEmpty() ? nullptr : box.addButton(action, QMessageBox::AcceptRole);
    QPushButton* close = box.addButton(action.isEmpty() ? QStringLiteral("OK") : QString::fromLatin1(CloseCaption),
                                       QMessageBox::RejectRole);
    box.setDefaultButton(offered ? offered : close);
    box.setEscapeButton(close);
    if (format == Qt::PlainText) {
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            // The label wraps a little inside its width: a few characters to spare.
            label->setMinimumWidth(std::min(LongestLine(label->fontMetrics(), shown) + WrapSlack * label->fontMetrics().averageCharWidth(),
                                            MaxMessageBoxWidth(parent) - TextRoom));
    }
    // Taller than the screen: the same text in a box that scrolls.
    const QSize wanted = box.sizeHint();
    if (!offered && wanted.height() > AvailableArea(parent).height() * MaxScreenShare) {
        ExecScrollingBox(parent, caption, shown, format, wanted);
        return false;
    }
    box.exec();
    Reactivate(parent);
    return offered != nullptr && box.clickedButton() == offered;
}

// Wide enough for the caption with the window manager's buttons, the prompt, the text
// and a full location.
void WidenInputBox(QInputDialog& dialog, const QString& caption, const QString& prompt, const QString& text,
                   const QStringList& items = {})
{
    const QFontMetrics metrics = dialog.fontMetrics();
    int widest = std::max({metrics.horizontalAdvance(prompt), metrics.horizontalAdvance(text),
                           metrics.horizontalAdvance(QString::fromLatin1(WidestLocation))});
    for (const QString& item : items)
        widest = std::max(widest, metrics.horizontalAdvance(item));
    const int width = std::min(std::max(widest + TextRoom, metrics.horizontalAdvance(caption) + CaptionRoom),
                               MaxBoxWidth(dialog.parentWidget()));
    // The dialog's layout sets its size from its widgets: the input field gets the width.
    const int margins = dialog.layout() ? dialog.layout()->contentsMargins().left() + dialog.layout()->contentsMargins().right() : 0;
    for (QWidget* input : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (qobject_cast<QLineEdit*>(input) || qobject_cast<QComboBox*>(input))
            input->setMinimumWidth(width - margins);
}

}  // namespace

void ShowMessageBox(QWidget* parent, TMessageKind kind, const QString& caption, const QString& text,
                    Qt::TextFormat format)
{
    if (Hook()) {
        Hook()(kind, caption, text, QString());
        return;
    }
    if (AppendToMessageLog(text, QString()))
        return;
    ExecMessageBox(parent, kind, caption, text, format, QString());
}

bool AskMessageBox(QWidget* parent, TMessageKind kind, const QString& caption, const QString& text,
                   const QString& action)
{
    if (Hook())
        return Hook()(kind, caption, text, action);
    if (AppendToMessageLog(text, action))
        return false;
    return ExecMessageBox(parent, kind, caption, text, Qt::PlainText, action);
}

TMessageHook SetMessageHook(TMessageHook hook)
{
    TMessageHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

std::optional<QString> DefaultInputQuery(QWidget* parent, const QString& caption, const QString& prompt,
                                         const QString& text)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(text);
    WidenInputBox(dialog, caption, prompt, text);
    const bool ok = dialog.exec() == QDialog::Accepted;
    Reactivate(parent);
    if (!ok)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> DefaultChoiceQuery(QWidget* parent, const QString& caption, const QString& prompt,
                                          const QStringList& items, const QString& text)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(true);
    dialog.setTextValue(text);
    WidenInputBox(dialog, caption, prompt, text, items);
    const bool ok = dialog.exec() == QDialog::Accepted;
    Reactivate(parent);
    if (!ok)
        return std::nullopt;
    return dialog.textValue();
}

namespace {

// A file dialog of the toolkit's own, within the screen (at a large scale its own size
// would pass a small screen's edges); the path chosen, empty when cancelled.
QString ExecFileDialog(QFileDialog& dialog, QWidget* parent)
{
    const QRect area = AvailableArea(parent);
    dialog.resize(dialog.sizeHint().boundedTo(QSize(static_cast<int>(area.width() * MaxScreenShare),
                                                    static_cast<int>(area.height() * MaxScreenShare))));
    const bool ok = dialog.exec() == QDialog::Accepted;
    Reactivate(parent);
    return ok ? dialog.selectedFiles().value(0) : QString();
}

}  // namespace

std::optional<QString> DefaultFolderQuery(QWidget* parent, const QString& caption, const QString& start)
{
    QFileDialog dialog(parent, caption, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const QString dir = ExecFileDialog(dialog, parent);
    if (dir.isEmpty())
        return std::nullopt;
    return dir;
}

std::optional<TSaveFileReply> DefaultSaveFileQuery(QWidget* parent, const QString& caption, const QString& folder,
                                                   const QString& suggestedName, const QStringList& filters)
{
    const QString start = folder.isEmpty() ? suggestedName : QDir(folder).filePath(suggestedName);
    QFileDialog dialog(parent, caption, start, filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without an extension gets the chosen filter's, before the dialog asks
    // whether to replace a file of that name.
    const auto useExtensionOf = [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter).captured(1));
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, useExtensionOf);
    dialog.selectNameFilter(filters.value(0));
    useExtensionOf(filters.value(0));
    const QString path = ExecFileDialog(dialog, parent);
    if (path.isEmpty())
        return std::nullopt;
    const int filter = std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
    return TSaveFileReply{path, filter};
}

}  // namespace orv

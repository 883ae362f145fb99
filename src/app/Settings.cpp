#include "Settings.h"

#include <QCoreApplication>
#include <QSettings>

namespace orv {
namespace {

constexpr const char* GameDirKey = "GameDir";

}  // namespace

void SetApplicationNames()
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(OrganizationName));
    QCoreApplication::setApplicationName(QString::fromLatin1(ApplicationName));
}

std::optional<std::string> RememberedGameDir()
{
    const QSettings settings(QString::fromLatin1(OrganizationName), QString::fromLatin1(ApplicationName));
    const QString dir = settings.value(GameDirKey).toString();
    if (dir.isEmpty())
        return std::nullopt;
    return dir.toStdString();
}

void RememberGameDir(const std::string& gameDir)
{
    QSettings settings(QString::fromLatin1(OrganizationName), QString::fromLatin1(ApplicationName));
    settings.setValue(GameDirKey, QString::fromStdString(gameDir));
}

}  // namespace orv

#include "Settings.h"

#include <QCoreApplication>
#include <QSettings>

namespace orv {
namespace {

constexpr const char* GameDirKey = "GameDir";
constexpr const char* StateGroup = "State/";
constexpr const char* GeometryKey = "Geometry";

// Runs use on the viewer's settings.
template <typename F>
auto WithStore(F&& use)
{
    QSettings settings(QString::fromLatin1(OrganizationName), QString::fromLatin1(ApplicationName));
    return use(settings);
}

}  // namespace

void SetApplicationNames()
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(OrganizationName));
    QCoreApplication::setApplicationName(QString::fromLatin1(ApplicationName));
}

std::optional<std::string> RememberedGameDir()
{
    const QString dir = WithStore([](QSettings& settings) { return settings.value(GameDirKey).toString(); });
    if (dir.isEmpty())
        return std::nullopt;
    return dir.toStdString();
}

void RememberGameDir(const std::string& gameDir)
{
    WithStore([&](QSettings& settings) { settings.setValue(GameDirKey, QString::fromStdString(gameDir)); });
}

std::optional<std::string> RememberedValue(const std::string& key)
{
    const QVariant value = WithStore([&](QSettings& settings) {
        return settings.value(QString::fromLatin1(StateGroup) + QString::fromStdString(key));
    });
    if (!value.isValid())
        return std::nullopt;
    return value.toString().toStdString();
}

void RememberValue(const std::string& key, const std::string& value)
{
    WithStore([&](QSettings& settings) {
        settings.setValue(QString::fromLatin1(StateGroup) + QString::fromStdString(key), QString::fromStdString(value));
    });
}

void ForgetValues()
{
    WithStore([](QSettings& settings) {
        settings.remove(QString::fromLatin1(StateGroup).chopped(1));
        settings.remove(GeometryKey);
    });
}

QByteArray RememberedGeometry()
{
    return WithStore([](QSettings& settings) { return settings.value(GeometryKey).toByteArray(); });
}

void RememberGeometry(const QByteArray& geometry)
{
    WithStore([&](QSettings& settings) { settings.setValue(GeometryKey, geometry); });
}

}  // namespace orv

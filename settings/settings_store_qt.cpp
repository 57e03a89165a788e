// The settings store outside Windows: one QSettings INI file per application,
// settingsFilePath(company, application), read and written through QSettings.

#include "settings/settings_store.h"
#include "settings/user_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMetaType>
#include <QSettings>
#include <QVariant>

#include <filesystem>
#include <limits>
#include <optional>

namespace qv {
namespace {

// The values sit at the top level unless a section is named.
QString keyOf(const char* section, const char* entry) {
    const QString name = QString::fromLatin1(entry);
    if (section == nullptr || *section == '\0')
        return name;
    return QString::fromLatin1(section) + QLatin1Char('/') + name;
}

// A settings file that failed to parse, as it was then. QSettings parses a file again
// only when its size or time changed, and only that parse reports the format error; a
// file that still looks the same is therefore still the corrupt one.
struct FileStamp {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& fileName) {
    const QFileInfo info(fileName);
    return {info.size(), info.lastModified()};
}

// User-interface thread only, like the store itself.
QHash<QString, FileStamp>& corruptFiles() {
    static QHash<QString, FileStamp> files;
    return files;
}

} // namespace

// A QSettings object is made for each operation, so that each read sees what another
// copy of the program wrote meanwhile (QSettings re-reads a file whose size or time
// changed) and no handle stays open between operations. The file is named explicitly, so
// only the user's own store is consulted and its place is the one the port folder and
// the simulator go by.
class SettingsAccess {
public:
    SettingsAccess(const std::string& company, const std::string& application)
        : settings_(QString::fromStdString(settingsFilePath(company, application).string()),
                    QSettings::IniFormat),
          company_(company), application_(application) {
        const QString file = settings_.fileName();
        if (settings_.status() == QSettings::FormatError) {
            corruptFiles().insert(file, stampOf(file));
            corrupt_ = true;
        } else if (const auto it = corruptFiles().constFind(file); it != corruptFiles().cend()) {
            corrupt_ = *it == stampOf(file);
            if (!corrupt_)
                corruptFiles().erase(it);
        }
    }

    // The stored value, or nothing when it is missing or the store cannot be read (an
    // unreadable or malformed file counts as unreadable: its contents are not trusted).
    std::optional<QVariant> read(const QString& key) const {
        if (corrupt_ || settings_.status() != QSettings::NoError || !settings_.contains(key))
            return std::nullopt;
        return settings_.value(key);
    }

    // A file that does not parse is replaced by one holding just this value: its
    // contents were never used, and writing them back would make them count next time.
    bool write(const QString& key, const QVariant& value) {
        if (corrupt_)
            settings_.clear();
        settings_.setValue(key, value);
        settings_.sync();
        if (corrupt_) // the status may still report the old contents' format error
            return SettingsAccess(company_, application_).read(key) == value;
        return settings_.status() == QSettings::NoError;
    }

private:
    QSettings settings_;
    std::string company_;
    std::string application_;
    bool corrupt_ = false;
};

SettingsStore::SettingsStore(std::string applicationName)
    : application_(std::move(applicationName)) {}

void SettingsStore::SetRegistryKey(const std::string& company) {
    company_ = company;
}

int SettingsStore::GetProfileInt(const char* section, const char* entry, int defaultValue) const {
    const auto value = SettingsAccess(company_, application_).read(keyOf(section, entry));
    if (!value)
        return defaultValue;
    // Through 64 bits: QVariant's own toInt() wraps a too large number silently.
    bool ok = false;
    const qlonglong number = value->toLongLong(&ok);
    if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return defaultValue;
    return static_cast<int>(number);
}

std::string SettingsStore::GetProfileString(const char* section, const char* entry,
                                            const std::string& defaultValue) const {
    const auto value = SettingsAccess(company_, application_).read(keyOf(section, entry));
    // Text only: a list (unquoted commas in a hand-edited file) or any other type is a
    // value of the wrong type.
    if (!value || value->typeId() != QMetaType::QString)
        return defaultValue;
    return value->toString().toStdString();
}

bool SettingsStore::WriteProfileInt(const char* section, const char* entry, int value) {
    return SettingsAccess(company_, application_).write(keyOf(section, entry), value);
}

bool SettingsStore::WriteProfileString(const char* section, const char* entry,
                                       const std::string& value) {
    return SettingsAccess(company_, application_)
        .write(keyOf(section, entry), QString::fromStdString(value));
}

// Outside Windows a program file has no extension to drop: "QV-5300.v2" is a name of
// its own, and a copy under it keeps values of its own.
std::string applicationNameFromProgramPath(const std::string& programPath) {
    return std::filesystem::path(programPath).filename().string();
}

std::string defaultLogFileName() {
    // A drive-letter path means nothing here; the user's home folder is where a user
    // looks for a file the program made on its own.
    return QDir(QDir::homePath()).filePath(QStringLiteral("tavrin.log")).toStdString();
}

} // namespace qv

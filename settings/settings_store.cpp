#include "settings/settings_store.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMetaType>
#include <QSettings>
#include <QVariant>

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
// changed) and no handle stays open between operations. Only the user's own store is
// consulted: the system-wide fallbacks of QSettings are switched off.
class SettingsAccess {
public:
    SettingsAccess(const QString& company, const QString& application)
        : settings_(QSettings::NativeFormat, QSettings::UserScope, company, application) {
        settings_.setFallbacksEnabled(false);
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
            return SettingsAccess(settings_.organizationName(), settings_.applicationName())
                       .read(key) == value;
        return settings_.status() == QSettings::NoError;
    }

    QString fileName() const { return settings_.fileName(); }

private:
    QSettings settings_;
    bool corrupt_ = false;
};

SettingsStore::SettingsStore(QString applicationName) : application_(std::move(applicationName)) {}

void SettingsStore::SetRegistryKey(const QString& company) {
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

QString SettingsStore::GetProfileString(const char* section, const char* entry,
                                        const QString& defaultValue) const {
    const auto value = SettingsAccess(company_, application_).read(keyOf(section, entry));
    // Text only: a list (unquoted commas in a hand-edited file) or any other type is a
    // value of the wrong type.
    if (!value || value->typeId() != QMetaType::QString)
        return defaultValue;
    return value->toString();
}

bool SettingsStore::WriteProfileInt(const char* section, const char* entry, int value) {
    return SettingsAccess(company_, application_).write(keyOf(section, entry), value);
}

bool SettingsStore::WriteProfileString(const char* section, const char* entry,
                                       const QString& value) {
    return SettingsAccess(company_, application_).write(keyOf(section, entry), value);
}

QString SettingsStore::fileName() const {
    return SettingsAccess(company_, application_).fileName();
}

QString SettingsStore::portsDir() const {
    return QFileInfo(fileName()).absolutePath() + QStringLiteral("/ports");
}

QString applicationNameFromProgramPath(const QString& programPath) {
    return QFileInfo(programPath).completeBaseName();
}

QString defaultLogFileName() {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\tavrin.log");
#else
    // A drive-letter path means nothing here; the user's home folder is where a user
    // looks for a file the program made on its own.
    return QDir(QDir::homePath()).filePath(QStringLiteral("tavrin.log"));
#endif
}

AppSettings loadAppSettings(const SettingsStore& store) {
    AppSettings s;
    s.port = store.GetProfileInt(nullptr, kComPortEntry, 1);
    s.interval = store.GetProfileInt(nullptr, kLogIntervalEntry, 5);
    s.fileName = store.GetProfileString(nullptr, kLogFileNameEntry, defaultLogFileName());
    s.append = store.GetProfileInt(nullptr, kAppendEntry, 1);
    return s;
}

} // namespace qv

#include "core/SettingsStore.h"

#include <QSettings>
#include <QStandardPaths>
#include <limits>

namespace {

// One short-lived QSettings per operation: constructing it reads the file as it is now,
// which is what makes the other program's last write visible.
struct Section {
    QSettings settings{QStringLiteral("Vastrelle"), QStringLiteral("Shuttlebox")};
    explicit Section(const QString& name) { settings.beginGroup(name); }
    bool commit() {
        settings.sync();
        return settings.status() == QSettings::NoError;
    }
};

} // namespace

int SettingsStore::ReadInt(const QString& section, const QString& key, int fallback) {
    Section s(section);
    const QVariant value = s.settings.value(key);
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint32>::min() ||
        number > std::numeric_limits<qint32>::max())
        return fallback;
    return int(number);
}

bool SettingsStore::WriteInt(const QString& section, const QString& key, int value) {
    Section s(section);
    s.settings.setValue(key, value);
    return s.commit();
}

QString SettingsStore::ReadText(const QString& section, const QString& key,
                                const QString& fallback) {
    Section s(section);
    const QVariant value = s.settings.value(key);
    if (!value.isValid())
        return fallback;
    // A hand-edited value with an unquoted comma reads back as a list; keep it whole.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    if (!value.canConvert<QString>())
        return fallback;
    return value.toString();
}

bool SettingsStore::WriteText(const QString& section, const QString& key, const QString& text) {
    Section s(section);
    s.settings.setValue(key, text);
    return s.commit();
}

QString SettingsStore::DocumentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void SettingsStore::EnsureDefaults() {
    using namespace SettingKey;
    if (ReadInt(UserConfig, 0) != 0)
        return;
    WriteInt(UserConfig, 1);
    WriteText(DefaultFolder, DocumentsFolder());
    WriteInt(DownFileOver, 3);
    WriteInt(DownAutostart, 1);
    WriteInt(DownListDel, 0);
    WriteInt(UpAutostart, 1);
    WriteInt(UpCompleteShow, 1);
}

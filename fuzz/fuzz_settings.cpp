// The settings reads over a settings file of any content, in a private settings folder.
#include "core/SettingsStore.h"
#include "fuzz/FuzzCheck.h"

#include <QDir>
#include <QFile>

#include <limits>
#include <unistd.h>

namespace {

QString settingsFile;

const char* const kKeys[] = {"User_Config", "Default_folder", "DOWN_File_over", "a", "a/b", "%41"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/vaultry-fuzz-settings-XXXXXX";
    if (!::mkdtemp(folder))
        std::abort();
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    QDir(QString::fromLocal8Bit(folder)).mkpath(QStringLiteral("Vastrelle"));
    settingsFile = QString::fromLocal8Bit(folder) + QStringLiteral("/Vastrelle/Shuttlebox.conf");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        QFile file(settingsFile);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    for (const char* key : kKeys) {
        for (const char* section : {"Config", "General"}) {
            // A read gives the stored value or the fallback, never anything else: two reads
            // with different fallbacks either agree or each return its own fallback.
            const int low = SettingsStore::ReadInt(section, key, std::numeric_limits<int>::min());
            const int high = SettingsStore::ReadInt(section, key, std::numeric_limits<int>::max());
            FUZZ_CHECK(low == high || (low == std::numeric_limits<int>::min() &&
                                       high == std::numeric_limits<int>::max()));
            const QString a = SettingsStore::ReadText(section, key, QStringLiteral("\x01"));
            const QString b = SettingsStore::ReadText(section, key, QStringLiteral("\x02"));
            FUZZ_CHECK(a == b || (a == QStringLiteral("\x01") && b == QStringLiteral("\x02")));
        }
    }
    return 0;
}

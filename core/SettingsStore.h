#pragma once

#include <QString>

// The settings section shared by both clients: QSettings("Vastrelle", "Shuttlebox"), group
// "Config". Nothing is cached: every read opens the store again, so a value the other program
// saved a moment ago is what the next read returns.
class SettingsStore {
public:
    static constexpr const char* kSection = "Config";

    // A 32-bit integer, or the fallback when the key is absent or holds anything that is
    // not a 32-bit integer.
    static int ReadInt(const QString& section, const QString& key, int fallback);
    static bool WriteInt(const QString& section, const QString& key, int value);
    static QString ReadText(const QString& section, const QString& key, const QString& fallback);
    static bool WriteText(const QString& section, const QString& key, const QString& text);

    // First-run initialisation, the same in both programs.
    static void EnsureDefaults();

    // The same in the one section there is.
    static int ReadInt(const char* key, int fallback) { return ReadInt(kSection, key, fallback); }
    static bool WriteInt(const char* key, int value) { return WriteInt(kSection, key, value); }
    static QString ReadText(const char* key) { return ReadText(kSection, key, QString()); }
    static bool WriteText(const char* key, const QString& text) {
        return WriteText(kSection, key, text);
    }

    // The user's documents folder ("" when the platform cannot tell).
    static QString DocumentsFolder();
};

namespace SettingKey {
inline constexpr const char* UserConfig = "User_Config";
inline constexpr const char* DefaultFolder = "Default_folder";
inline constexpr const char* DefaultFolderUse = "Default_folder_use";
inline constexpr const char* DownFileOver = "DOWN_File_over";
inline constexpr const char* DownAutostart = "DOWN_Autostart";
inline constexpr const char* DownListDel = "DOWN_List_del";
inline constexpr const char* DownProgramEnd = "DOWN_Program_end";
inline constexpr const char* DownSystemEnd = "DOWN_System_end";
// The end of a list as a desktop notification too; on unless 0 (settings file only).
inline constexpr const char* DownNotify = "DOWN_Notify";
inline constexpr const char* UpAutostart = "UP_Autostart";
inline constexpr const char* UpTray = "UP_Tray";
inline constexpr const char* UpCompleteShow = "UP_Complute_show";
inline constexpr const char* UpProgramEnd = "UP_Program_end";
inline constexpr const char* UpSystemEnd = "UP_System_end";
inline constexpr const char* UpNotify = "UP_Notify";
} // namespace SettingKey

// What a download does with a local file of its name ("DOWN_File_over"); the stored numbers
// are these values.
enum class DuplicatePolicy { Overwrite = 1, Ask = 2, Resume = 3 };
// The stored value as the download reads it: 1 and 2 as they are, anything else resumes.
inline DuplicatePolicy DuplicatePolicyOf(int stored) {
    return stored == int(DuplicatePolicy::Overwrite) ? DuplicatePolicy::Overwrite
           : stored == int(DuplicatePolicy::Ask)     ? DuplicatePolicy::Ask
                                                     : DuplicatePolicy::Resume;
}

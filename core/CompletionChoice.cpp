#include "core/CompletionChoice.h"

#include "core/SettingsStore.h"

Completion DownloadCompletion() {
    if (SettingsStore::ReadInt(SettingKey::DownSystemEnd, 0) != 0)
        return Completion::PowerOff;
    if (SettingsStore::ReadInt(SettingKey::DownProgramEnd, 0) == 1)
        return Completion::EndProgram;
    return Completion::Report;
}

Completion UploadCompletion() {
    if (SettingsStore::ReadInt(SettingKey::UpSystemEnd, 0) != 0)
        return Completion::PowerOff;
    if (SettingsStore::ReadInt(SettingKey::UpProgramEnd, 0) != 0)
        return Completion::EndProgram;
    return Completion::Report;
}

#include "CompletionChoice.h"

#include "SettingsStore.h"

Completion DownloadCompletion() {
    if (SettingsStore::readInt(SettingKey::DownSystemEnd, 0) != 0)
        return Completion::PowerOff;
    if (SettingsStore::readInt(SettingKey::DownProgramEnd, 0) == 1)
        return Completion::EndProgram;
    return Completion::Report;
}

Completion UploadCompletion() {
    if (SettingsStore::readInt(SettingKey::UpSystemEnd, 0) != 0)
        return Completion::PowerOff;
    if (SettingsStore::readInt(SettingKey::UpProgramEnd, 0) != 0)
        return Completion::EndProgram;
    return Completion::Report;
}

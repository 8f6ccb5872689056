#pragma once

// What a client does when its whole list is done, from the shared settings.
enum class Completion { PowerOff, EndProgram, Report };

// The download client ends only on "DOWN_Program_end" exactly 1; the upload client on any
// non-zero "UP_Program_end". Shutting down wins over ending.
Completion DownloadCompletion();
Completion UploadCompletion();

#pragma once

// The upload client's start-up: the first-run settings, then the main window when the page
// control is open (it feeds the window its commands), else a pointer to the homepage.
// Returns the process's exit code.
int RunUploadClient();

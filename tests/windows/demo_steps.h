// Single steps on a program that someone else started (the demo script does, under
// Wine, so that it can take screenshots between them):
//
//   wait-window SECONDS         waits for the main window
//   command ID                  chooses a menu command (posts WM_COMMAND)
//   wait-line Y TEXT SECONDS    waits until the line at y shows a text beginning with TEXT
//   lines                       prints what each status line shows
//
// Returns 0 when the step did what it says, 1 otherwise.
#pragma once

int RunDemoStep(int argc, wchar_t** argv);

// The whole firmware update, run on a thread of its own.
#pragma once

// Starts UpdateWorker on a detached thread and returns at once. False when the
// thread could not be started.
bool StartUpdateWorker();

// The update from start to end: prepare, open the unit, programming mode, flash,
// leave programming mode, reset, close.
void UpdateWorker();

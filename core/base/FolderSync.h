#pragma once

#include <QString>

// Makes the folder's entries durable (fsync of the directory): after a file was
// created or renamed into it, a power cut keeps the new name. False when the
// folder cannot be opened or synced.
bool SyncFolder(const QString& folder);

// SyncFolder of the folder that holds `fileName`.
bool SyncFolderOf(const QString& fileName);

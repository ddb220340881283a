#pragma once

#include <QByteArray>
#include <QString>

// What every fuzz target needs around the code under test. Single-threaded callers only.
namespace tovi::fuzz {

// Creates the offscreen QGuiApplication that fonts and painting need, once per process, and
// points the XDG folders at the scratch folder so nothing touches the real home. Qt's messages
// are dropped: a broken file is expected, not news.
void ensureApplication();

// A private folder of this process, in /dev/shm where it exists; removed at exit, and by the
// next run when a crash left it behind.
QString scratchFolder();

// Writes `bytes` to `name` in the scratch folder, replacing what was there; returns the path.
// Aborts when the write fails, since every later result would be meaningless.
QString writeScratch(const QString& name, const QByteArray& bytes);

} // namespace tovi::fuzz

#pragma once

// How numbers read in the interface and the command line, each way named for where it is shown:
// Polish decimals (a comma) and dates, with the one exception the editor's sliders keep.

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace tovi::PolishFormat {

// Polish as spoken in Poland: decimal commas, month names, the order of names.
const QLocale& locale();

// The editor's sliders: "23.4 s", a dot as the sliders have always shown it.
QString sliderSeconds(double seconds);
// A GIF's length in "Na Tovi": "2,4 s".
QString shownSeconds(double seconds);
// A GIF's length in `tovi ls`: "2,40 s".
QString listedSeconds(double seconds);
// When a backup was made: "8 grudnia 2026, 14:05:09", local time.
QString backupDate(const QDateTime& when);
// A limit of whole mebibytes as the texts name it: 2 MiB is "2 MB".
QString limitMegabytes(qint64 bytes);
// A size against its limit, in mebibytes with at most two decimals: "1,94 MB z 2 MB" when it
// fits (rounded down, never shown above the limit; a few kilobytes are "0,01 MB"), "Za duży:
// 2,6 MB z 2 MB" when it does not (rounded up, never shown at the limit).
QString sizeOfLimit(qint64 bytes, qint64 limit);
// A size as a suggestion shows it: "1,9 MB", rounded down.
QString fittingMegabytes(qint64 bytes);
// A way out of a GIF too large, as it is offered: "Przy 9 kl./s: 1,9 MB" for a frame rate,
// "Przy 6,5 s: 1,9 MB" for a length; the size as fittingMegabytes shows it.
QString suggestionAtFps(int fps, qint64 bytes);
QString suggestionAtLength(double seconds, qint64 bytes);
// How fast a GIF plays: "0,5 ×", "1 ×".
QString speed(double times);

} // namespace tovi::PolishFormat

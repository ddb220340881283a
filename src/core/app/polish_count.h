#pragma once

#include <QString>

// Numbers in Polish text: the noun after a number agrees with it, and the rule is here only.
namespace tovi::PolishCount {

// The form that agrees with `n`: `one` for 1, `few` when it ends in 2–4 but not in 12–14, `many`
// otherwise (0, 5–21, 25–31, 112…): plural(22, "klatka", "klatki", "klatek") is "klatki".
QString plural(qint64 n, const QString& one, const QString& few, const QString& many);

// The number and its noun: "1 klatka", "3 klatki", "24 klatki", "25 klatek".
QString frames(qint64 n);
QString bytes(qint64 n);
QString files(qint64 n);

// Frames done of all, as the progress shows it: "3 z 24 klatek", "1 z 1 klatki" (after "z" the
// noun takes the genitive).
QString framesDone(qint64 done, qint64 total);

} // namespace tovi::PolishCount

#include "media_error.h"

#include "app/polish_count.h"
#include "app/polish_format.h"
#include "media/decode_budget.h"
#include "media/media_processor.h"

namespace tovi {

QString MediaError::message() const {
    switch (m_kind) {
    case unreadable:
        return QStringLiteral("Nie można odczytać tego materiału. Wybierz zdjęcie, GIF albo film "
                              "obsługiwany przez system.");
    case encode:
        return QStringLiteral("Nie udało się utworzyć pliku. Spróbuj krótszego fragmentu.");
    case empty:
        return QStringLiteral("Wybrany fragment nie zawiera klatek.");
    case tooLarge:
        return QStringLiteral("GIF przekracza %1. Skróć fragment lub zmniejsz liczbę klatek na "
                              "sekundę.")
            .arg(PolishFormat::limitMegabytes(MediaProcessor::maxGifBytes));
    case invalidFolder:
        return QStringLiteral("Wybierz folder Photo1, Photo2 lub Photo3 na dysku Tovi, albo "
                              "katalog główny zawierający te foldery.");
    case oversized:
        return QStringLiteral("Ten materiał jest za duży, by go odczytać: ma ponad %1 mln "
                              "pikseli, ponad %2 %3 albo dekoduje się dłużej niż %4 %5. "
                              "Wybierz mniejszy plik.")
            .arg(DecodeBudget::maxPixels / 1'000'000)
            .arg(PolishFormat::locale().toString(DecodeBudget::maxFrames),
                 PolishCount::plural(DecodeBudget::maxFrames, QStringLiteral("klatkę"),
                                     QStringLiteral("klatki"), QStringLiteral("klatek")))
            .arg(DecodeBudget::maxSeconds)
            .arg(PolishCount::plural(DecodeBudget::maxSeconds, QStringLiteral("sekundę"),
                                     QStringLiteral("sekundy"), QStringLiteral("sekund")));
    }
    return {};
}

} // namespace tovi

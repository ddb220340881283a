#include "app/platform_error.h"
#include "device/pack_error.h"
#include "media/media_error.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <utility>

using namespace tovi;

// The texts a person reads, word for word, typography included.
TEST(Errors, EachCaseSaysItsExactPolishSentence) {
    const std::pair<QString, const char*> cases[] = {
        {MediaError(MediaError::unreadable).message(),
         "Nie można odczytać tego materiału. Wybierz zdjęcie, GIF albo film obsługiwany przez "
         "system."},
        {MediaError(MediaError::encode).message(),
         "Nie udało się utworzyć pliku. Spróbuj krótszego fragmentu."},
        {MediaError(MediaError::empty).message(), "Wybrany fragment nie zawiera klatek."},
        {MediaError(MediaError::tooLarge).message(),
         "GIF przekracza 2 MB. Skróć fragment lub zmniejsz liczbę klatek na sekundę."},
        {MediaError(MediaError::invalidFolder).message(),
         "Wybierz folder Photo1, Photo2 lub Photo3 na dysku Tovi, albo katalog główny "
         "zawierający te foldery."},
        {MediaError(MediaError::oversized).message(),
         "Ten materiał jest za duży, by go odczytać: ma ponad 134 mln pikseli, ponad 10\u00a0000 "
         "klatek albo dekoduje się dłużej niż 60 sekund. Wybierz mniejszy plik."},
        {PackError(PackError::rollbackFailed, QStringLiteral("/tmp/x")).message(),
         "Zapis przerwano i nie udało się przywrócić wszystkich plików. Kopia jest zachowana: "
         "/tmp/x"},
        {PackError(PackError::missingResource).message(),
         "Brakuje części plików zestawu. Zainstaluj ponownie aplikację."},
        {PackError(PackError::folder).message(),
         "Wskaż folder Game1 na Tovi albo dysk Tovi zawierający Game1, Game2 i Game3."},
        {PackError(PackError::payload).message(),
         "Zestaw musi zawierać sześć GIF-ów 240 × 240 o nazwach 1.gif–6.gif."},
        {PackError(PackError::backupFailed).message(),
         "Nie udało się zweryfikować kopii poprzedniej zawartości. Niczego nie podmieniono."},
        {PackError(PackError::sourceChanged).message(),
         "Zawartość Game1 zmieniła się w trakcie operacji. Spróbuj ponownie."},
        {PackError(PackError::backupOnDevice).message(),
         "Kopii poprzedniego zestawu nie można zapisać na dysku Tovi. Wskaż folder na kopie na "
         "komputerze."},
    };
    for (const auto& [message, expected] : cases)
        EXPECT_EQ(message.toStdString(), expected);
    // The base class hands the same text to std::exception users.
    const MediaError error(MediaError::tooLarge);
    const std::exception& base = error;
    EXPECT_EQ(QString::fromUtf8(base.what()), error.message());
}

TEST(Errors, PlatformErrorsNameTheCauseAndThePath) {
    const PlatformError full = PlatformError::fromErrno(ENOSPC, QStringLiteral("/media/NO NAME"));
    EXPECT_EQ(full.kind(), PlatformError::outOfSpace);
    EXPECT_TRUE(full.message().startsWith(QStringLiteral("Brak miejsca na dysku")));
    EXPECT_TRUE(full.message().contains(QStringLiteral("/media/NO NAME")));
    EXPECT_EQ(PlatformError::fromErrno(ENOENT, {}).kind(), PlatformError::notFound);
    EXPECT_EQ(PlatformError::fromErrno(EROFS, {}).kind(), PlatformError::readOnly);
    EXPECT_EQ(PlatformError::fromErrno(EIO, {}).kind(), PlatformError::io);
}

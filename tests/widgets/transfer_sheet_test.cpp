#include "app/settings.h"
#include "device/bookmark.h"
#include "device/device_watch.h"
#include "device/mount_table.h"
#include "device/transfer_sheet.h"
#include "media/media_error.h"
#include "support/device_fixtures.h"
#include "support/fake_udisks.h"
#include "support/model_home.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace tovi;
using tovi::test::makeDevice;
using tovi::test::makeFolder;
using Kind = ToviTransferKind;
using Operation = ToviTransferSheet::Operation;
using EjectState = ToviTransferSheet::EjectState;

namespace {

const QString connectLabel = QStringLiteral("Połącz Tovi");

// The sheet as an opener wires it: every action is logged, and the model's answers (the new
// destination, album and cleared error) come straight back through the setters.
class TransferSheet : public ::testing::Test {
protected:
    ToviTransferSheet& open(Kind kind, const QString& destination = {}, bool show = true) {
        ToviTransferActions actions;
        actions.chooseDestination = [this](const QString& folder) {
            log << QStringLiteral("choose ") + folder;
            sheet->setDestination(folder);
        };
        actions.send = [this] { log << QStringLiteral("send"); };
        actions.exportFiles = [this] { log << QStringLiteral("export"); };
        actions.cancel = [this] { log << QStringLiteral("cancel"); };
        actions.stopWaiting = [this] { log << QStringLiteral("stopWaiting"); };
        actions.clearError = [this] {
            log << QStringLiteral("clearError");
            sheet->setError({});
        };
        actions.setAlbum = [this](const QString& album) {
            log << QStringLiteral("album ") + album;
            sheet->setAlbum(album);
        };
        actions.reportError = [this](const QString& error) {
            log << QStringLiteral("reportError ") + error;
        };
        sheet = std::make_unique<ToviTransferSheet>(kind, home.settings(), std::move(actions));
        sheet->setFolderChooser([this]() -> std::optional<QString> {
            ++chooserCalls;
            if (chooserFails)
                throw MediaError(MediaError::invalidFolder);
            return chosen;
        });
        sheet->setVolumeLister([this] { return volumes; });
        sheet->setOpener([this](const QStringList& files, const QString& folder) {
            opened << files.join(QLatin1Char('|')) + QStringLiteral(" → ") + folder;
        });
        // Never the machine's own bus: a connection to nothing finds no drive.
        sheet->setEjectBus(QDBusConnection(QStringLiteral("tovi-test-no-bus")), {});
        sheet->setDestination(destination);
        if (show)
            sheet->show();
        test::settle(); // the look at the destination, and for the Tovi

        return *sheet;
    }

    QString device(const QString& name) {
        const QString root = disks.filePath(name);
        makeDevice(root);
        return root;
    }

    // Shown texts only: a hidden block does not count.
    QLabel* label(const QString& text) const {
        for (QLabel* found : sheet->findChildren<QLabel*>())
            if (found->text() == text && found->isVisibleTo(sheet.get()))
                return found;
        return nullptr;
    }
    bool shows(const QString& text) const { return label(text) || button(text); }
    QAbstractButton* button(const QString& text) const {
        for (QAbstractButton* found : sheet->findChildren<QAbstractButton*>())
            if (found->text() == text && found->isVisibleTo(sheet.get()))
                return found;
        return nullptr;
    }
    // A send that the model reports verified.
    void completeSend() {
        click(mainButton()->text());
        sheet->setBusy(true);
        sheet->setMessage(QStringLiteral("Zapisano."));
        sheet->setBusy(false);
        ASSERT_TRUE(sheet->complete());
    }
    // Until the background lookup or ejection answers.
    bool settles() const {
        return QTest::qWaitFor(
            [this] {
                return sheet->ejectState() != EjectState::looking &&
                       sheet->ejectState() != EjectState::ejecting;
            },
            20000);
    }
    QWidget* part(const char* name) const {
        return sheet->findChild<QWidget*>(QString::fromLatin1(name));
    }
    QString symbol() const { return part("picture")->property("symbol").toString(); }
    QPushButton* mainButton() const {
        return sheet->findChild<QPushButton*>(QStringLiteral("mainButton"));
    }
    void click(const QString& text) {
        QAbstractButton* target = button(text);
        ASSERT_TRUE(target) << text.toStdString();
        ASSERT_TRUE(target->isEnabled()) << text.toStdString();
        QTest::mouseClick(target, Qt::LeftButton);
    }
    QStringList allTexts() const {
        QStringList texts;
        for (QLabel* found : sheet->findChildren<QLabel*>())
            texts << found->text();
        for (QAbstractButton* found : sheet->findChildren<QAbstractButton*>())
            texts << found->text();
        return texts;
    }

    test::ModelHome home;
    QTemporaryDir disks;
    std::unique_ptr<ToviTransferSheet> sheet;
    QStringList log;
    QStringList opened;
    QStringList volumes;
    std::optional<QString> chosen;
    bool chooserFails = false;
    int chooserCalls = 0;
};

// What each kind says before a Tovi is connected, once it is, and after a verified send. The
// texts of one state never linger into the next.
TEST_F(TransferSheet, EachKindSaysWhatEachStateNeeds) {
    const QStringList connect = {
        QStringLiteral("Połącz swój Tovi"), QStringLiteral("Podłącz Tovi przez USB"),
        QStringLiteral("W menu urządzenia ustaw USB Mode → Photo Sync."),
        QStringLiteral("W oknie wyboru otwórz dysk urządzenia (często NO NAME) i zatwierdź jego "
                       "główny folder. Zapamiętamy ten wybór."),
        QStringLiteral("Dysk musi być dostępny w menedżerze plików. Jeśli wybrany wcześniej dysk "
                       "zniknął, podłącz go ponownie lub wskaż jeszcze raz.")};
    const QStringList sixCards = {
        QStringLiteral("Losowane karty · Game1"),
        QStringLiteral("Podmienimy sześć kart. Photo, Game2 i Game3 pozostają bez zmian."),
        QStringLiteral("Przed podmianą sześciu kart zachowamy kopię obecnego zestawu. Zapis "
                       "zostanie sprawdzony.")};
    const QStringList ready = {QStringLiteral("Tovi gotowy do zapisu")};
    const QStringList done = {QStringLiteral("Gotowe"), QStringLiteral("Jest na Twoim Tovi."),
                              QStringLiteral("Zapis zweryfikowany"),
                              QStringLiteral("Zakończ połączenie z dyskiem w menedżerze plików."),
                              QStringLiteral("Wróć do słuchania")};
    const QString header = QStringLiteral("Wyślij na Tovi");
    const QString saveFile = QStringLiteral("Zapisz plik bez podłączania Tovi");
    const auto expectShown = [this](const QStringList& texts, bool shown) {
        for (const QString& text : texts)
            EXPECT_EQ(shows(text), shown) << text.toStdString();
    };
    struct Row {
        Kind kind;
        QString title, send, detail;
    };
    const QString game1 = QStringLiteral("Przełącz Tovi na DAC i otwórz Game1, aby losować karty.");
    const Row rows[] = {
        {Kind::artwork, QStringLiteral("Twój ekran na Tovi"), QStringLiteral("Wyślij grafikę"),
         QStringLiteral("Przełącz Tovi na DAC i otwórz wybrany album przyciskiem Vista.")},
        {Kind::cards, QStringLiteral("Twój zestaw na Tovi"),
         QStringLiteral("Zachowaj kopię i wyślij zestaw"), game1},
        {Kind::factory, QStringLiteral("Przywróć kostkę"),
         QStringLiteral("Zachowaj kopię i przywróć kostkę"), game1},
    };
    // A folder that is not on a Tovi is no better than none.
    const QString ordinary = disks.filePath(QStringLiteral("Dokumenty"));
    makeFolder(ordinary);
    const QString root = device(QStringLiteral("NO NAME"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title.toStdString());
        const bool six = row.kind != Kind::artwork;
        open(row.kind, ordinary).setSummary(QStringLiteral("GIF 240 × 240"));
        EXPECT_FALSE(sheet->ready());
        EXPECT_EQ(sheet->windowTitle(), header);
        EXPECT_TRUE(sheet->isModal());
        expectShown(
            {header, row.title, QStringLiteral("GIF 240 × 240"), QStringLiteral("Miejsce na Tovi")},
            true);
        expectShown(connect, true);
        expectShown(sixCards, six);
        expectShown(ready + done, false);
        // Only the factory restore has no file to save instead.
        EXPECT_EQ(shows(saveFile), row.kind != Kind::factory);
        EXPECT_EQ(mainButton()->text(), connectLabel);
        EXPECT_FALSE(part("errorLine")->isVisible());
        EXPECT_EQ(symbol(),
                  row.kind == Kind::factory ? QStringLiteral("dice") : QStringLiteral("photo"));
        for (const QString& text : allTexts())
            EXPECT_FALSE(text.contains(QStringLiteral("Finder"))) << text.toStdString();

        // A destination that changes under the open sheet is checked again.
        log.clear();
        sheet->setDestination(root);
        test::settle();
        EXPECT_TRUE(sheet->ready());
        expectShown(ready, true);
        expectShown(connect, false);
        EXPECT_EQ(mainButton()->text(), row.send);
        EXPECT_EQ(sheet->operation(), std::nullopt);
        click(row.send);
        EXPECT_EQ(sheet->operation(), Operation::send);
        EXPECT_EQ(log.last(), QStringLiteral("send"));
        EXPECT_EQ(chooserCalls, 0);

        sheet->setBusy(true);
        sheet->setMessage(QStringLiteral("Zapisano."));
        EXPECT_FALSE(sheet->complete()); // only when the work ends
        sheet->setBusy(false);
        EXPECT_TRUE(sheet->complete());
        expectShown(done + QStringList{row.detail}, true);
        expectShown({header, QStringLiteral("Otwórz kopię poprzedniego zestawu")}, false);
        EXPECT_EQ(mainButton()->text(), QStringLiteral("Wróć do tworzenia"));
    }
    // A row that wrote only some of its pictures does not say that all are there.
    sheet->setDoneTitle(QStringLiteral("Nie wszystko jest na Twoim Tovi."));
    expectShown({QStringLiteral("Nie wszystko jest na Twoim Tovi.")}, true);
    expectShown({QStringLiteral("Jest na Twoim Tovi.")}, false);
    // A picture from the opener replaces the symbol, except for the factory set.
    open(Kind::cards).setPreview(QImage(600, 600, QImage::Format_RGB32));
    EXPECT_EQ(symbol(), QString());
    open(Kind::factory).setPreview(QImage(600, 600, QImage::Format_RGB32));
    EXPECT_EQ(symbol(), QStringLiteral("dice"));

    // The six-card set takes Game1 itself, but never another game or an album folder.
    EXPECT_TRUE(open(Kind::cards, root + QStringLiteral("/Game1")).ready());
    EXPECT_FALSE(open(Kind::cards, root + QStringLiteral("/Game2")).ready());
    EXPECT_FALSE(open(Kind::factory, root + QStringLiteral("/Photo1")).ready());
    EXPECT_TRUE(open(Kind::artwork, root + QStringLiteral("/Photo3")).ready());
    EXPECT_FALSE(open(Kind::artwork, root + QStringLiteral("/Game1")).ready());
    sheet->setDestination({});
    test::settle();
    EXPECT_FALSE(sheet->ready());
    EXPECT_EQ(mainButton()->text(), connectLabel);
}

TEST_F(TransferSheet, AlbumFolderShowsItsAlbumAndTheRootOffersTheChoice) {
    const QString root = device(QStringLiteral("NO NAME"));
    open(Kind::artwork, root + QStringLiteral("/Photo2/"));
    EXPECT_TRUE(label(QStringLiteral("Album")));
    EXPECT_TRUE(label(QStringLiteral("Album 2")));
    EXPECT_TRUE(label(QStringLiteral("Połącz cały dysk Tovi, aby wybierać spośród trzech "
                                     "albumów.")));
    EXPECT_FALSE(label(QStringLiteral("Album na urządzeniu")));
    EXPECT_FALSE(button(QStringLiteral("Album 1")));

    open(Kind::artwork, root);
    sheet->setAlbum(QStringLiteral("Photo2"));
    test::settle();
    EXPECT_FALSE(label(QStringLiteral("Album")));
    EXPECT_TRUE(label(QStringLiteral("Album na urządzeniu")));
    EXPECT_TRUE(label(QStringLiteral("Dodamy nowy plik. Twoje obecne grafiki zostają w albumie.")));
    EXPECT_TRUE(button(QStringLiteral("Album 2"))->isChecked());
    EXPECT_FALSE(button(QStringLiteral("Album 1"))->isChecked());
    click(QStringLiteral("Album 3"));
    EXPECT_EQ(log.last(), QStringLiteral("album Photo3"));
    EXPECT_EQ(sheet->album(), QStringLiteral("Photo3"));
    EXPECT_TRUE(button(QStringLiteral("Album 3"))->isChecked());
    EXPECT_FALSE(button(QStringLiteral("Album 2"))->isChecked());
    // The three are read as one group and the sheet keeps its size where the screen holds it.
    const auto* choice = part("albumChoice");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QWidget*>(choice))->role(),
              QAccessible::Grouping);
    EXPECT_EQ(sheet->size(), QSize(520, 640));

    // The album is part of the connection check: a third album that is a file is not usable.
    ASSERT_TRUE(QDir(root + QStringLiteral("/Photo1")).removeRecursively());
    test::writeFile(root + QStringLiteral("/Photo1"), "x");
    EXPECT_TRUE(sheet->ready());
    click(QStringLiteral("Album 1"));
    test::settle();
    EXPECT_FALSE(sheet->ready());
    EXPECT_EQ(mainButton()->text(), connectLabel);
    sheet->setAlbum(QStringLiteral("Photo2"));
    test::settle();
    EXPECT_TRUE(sheet->ready());
    EXPECT_TRUE(button(QStringLiteral("Album 2"))->isChecked());

    // The other kinds have no albums to choose from.
    open(Kind::cards, root);
    EXPECT_FALSE(label(QStringLiteral("Album na urządzeniu")));
    EXPECT_FALSE(button(QStringLiteral("Album 1")));
}

TEST_F(TransferSheet, BusyShowsProgressInsteadOfTheButtons) {
    open(Kind::artwork, device(QStringLiteral("NO NAME")));
    click(QStringLiteral("Wyślij grafikę"));
    sheet->setBusy(true);
    const QLabel* text = label(QStringLiteral("Przygotowuję i zapisuję…"));
    ASSERT_TRUE(text);
    EXPECT_FALSE(mainButton()->isVisibleTo(sheet.get()));
    EXPECT_FALSE(button(QStringLiteral("Zapisz plik bez podłączania Tovi"))->isEnabled());
    EXPECT_FALSE(button(QStringLiteral("Album 2"))->isEnabled());
    auto* bar = sheet->findChild<QProgressBar*>();
    ASSERT_TRUE(bar);
    EXPECT_FALSE(bar->isVisibleTo(sheet.get())); // nothing counted yet

    sheet->setProgress(3, 12);
    EXPECT_TRUE(bar->isVisibleTo(sheet.get()));
    EXPECT_EQ(bar->maximum(), 12);
    EXPECT_EQ(bar->value(), 3);
    const QLabel* count = label(QStringLiteral("3 z 12 klatek"));
    ASSERT_TRUE(count);
    QApplication::processEvents();
    EXPECT_GT(bar->mapTo(sheet.get(), QPoint()).y(), text->mapTo(sheet.get(), QPoint()).y());

    // Finishing without a message is not a success; the next job starts uncounted.
    sheet->setBusy(false);
    EXPECT_FALSE(sheet->complete());
    EXPECT_TRUE(mainButton()->isVisibleTo(sheet.get()));
    EXPECT_FALSE(label(QStringLiteral("Przygotowuję i zapisuję…")));

    click(QStringLiteral("Wyślij grafikę"));
    sheet->setBusy(true);
    EXPECT_FALSE(bar->isVisibleTo(sheet.get()));
    sheet->setBusy(false);

    click(QStringLiteral("Zapisz plik bez podłączania Tovi"));
    EXPECT_EQ(sheet->operation(), Operation::exportFiles);
    EXPECT_EQ(log.last(), QStringLiteral("export"));
    sheet->setBusy(true);
    EXPECT_TRUE(label(QStringLiteral("Przygotowuję pliki…")));
    EXPECT_TRUE(part("spinner")->isVisible());
    sheet->setProgress(5, 12);
    EXPECT_FALSE(bar->isVisibleTo(sheet.get()));
    EXPECT_FALSE(label(QStringLiteral("5 z 12 klatek")));
}

TEST_F(TransferSheet, ASilentDeviceIsToldAndTheWaitCanEnd) {
    open(Kind::cards, device(QStringLiteral("NO NAME")));
    click(QStringLiteral("Zachowaj kopię i wyślij zestaw"));
    sheet->setBusy(true);
    const QString note = QStringLiteral("Usunięto z Game1 plik tymczasowy, który został po "
                                        "przerwanym zapisie: .3.gif.tovi-0a1b2c3d.tmp.");
    sheet->setMessage(note);
    EXPECT_TRUE(shows(note));
    EXPECT_FALSE(shows(QStringLiteral("Przestań czekać")));

    sheet->setStalled(true);
    EXPECT_TRUE(shows(DeviceWatch::stalledText()));
    EXPECT_FALSE(shows(note));
    click(QStringLiteral("Przestań czekać"));
    EXPECT_EQ(log.last(), QStringLiteral("stopWaiting"));
    // The device answered after all.
    sheet->setStalled(false);
    EXPECT_FALSE(shows(DeviceWatch::stalledText()));
    EXPECT_FALSE(shows(QStringLiteral("Przestań czekać")));
}

TEST_F(TransferSheet, VerifiedSendOffersTheBackupAndTheWayBack) {
    open(Kind::cards, device(QStringLiteral("NO NAME")));
    completeSend();
    EXPECT_FALSE(shows(QStringLiteral("Otwórz kopię poprzedniego zestawu")));
    // The backup of the replaced set can be opened; the way back closes the sheet.
    const QString backup = home.path() + QStringLiteral("/Game1-1");
    sheet->setBackup(backup);
    click(QStringLiteral("Otwórz kopię poprzedniego zestawu"));
    EXPECT_EQ(opened, QStringList{QStringLiteral(" → ") + backup});
    click(QStringLiteral("Wróć do tworzenia"));
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(log.count(QStringLiteral("send")), 1);

    // Once complete, a later failure does not take it back.
    sheet->setBusy(true);
    sheet->setError(QStringLiteral("Nie udało się."));
    sheet->setBusy(false);
    EXPECT_TRUE(sheet->complete());
}

TEST_F(TransferSheet, CompletedSendEjectsTheDriveThroughUDisks2) {
    test::PrivateBus bus;
    if (!bus.running())
        GTEST_SKIP() << "no private D-Bus: " << bus.failure().toStdString();
    const QString root = device(QStringLiteral("NO NAME"));
    const std::vector<Mount> mounts =
        MountTable::parse(test::mountinfoLine(root, test::FakeUDisks::device));
    const QString eject = QStringLiteral("Wysuń dysk");
    const QString ejected = QStringLiteral("Można bezpiecznie odłączyć Tovi.");
    const auto sent = [&](Kind kind, const QString& folder) {
        open(kind, folder);
        sheet->setEjectBus(bus.connect(), [mounts] { return mounts; });
        EXPECT_FALSE(shows(eject)); // only once the result is on the device
        completeSend();
        return settles();
    };
    // The bus answers, but nobody there is UDisks2: nothing to eject with.
    ASSERT_TRUE(sent(Kind::artwork, root));
    EXPECT_EQ(sheet->ejectState(), EjectState::none);
    EXPECT_FALSE(shows(eject));
    EXPECT_FALSE(part("ejectRow")->isVisibleTo(sheet.get()));
    EXPECT_TRUE(label(QStringLiteral("Zakończ połączenie z dyskiem w menedżerze plików.")));

    std::optional<test::FakeUDisks> fake(std::in_place, bus);
    ASSERT_TRUE(fake->registered());
    ASSERT_TRUE(sent(Kind::artwork, root));
    EXPECT_EQ(sheet->ejectState(), EjectState::offered);
    EXPECT_TRUE(fake->calls().isEmpty());

    click(eject);
    EXPECT_EQ(sheet->ejectState(), EjectState::ejecting);
    EXPECT_FALSE(shows(eject));
    EXPECT_TRUE(label(QStringLiteral("Wysuwam dysk…")));
    EXPECT_TRUE(part("ejectSpinner")->isVisible());
    ASSERT_TRUE(settles());
    EXPECT_EQ(fake->calls(), (QStringList{QStringLiteral("Unmount ") + test::FakeUDisks::block,
                                          QStringLiteral("PowerOff ") + test::FakeUDisks::drive}));
    EXPECT_TRUE(label(ejected));
    EXPECT_FALSE(shows(eject));
    EXPECT_FALSE(label(QStringLiteral("Wysuwam dysk…")));
    EXPECT_FALSE(part("errorLine")->isVisible());
    EXPECT_EQ(mainButton()->text(), QStringLiteral("Wróć do tworzenia"));

    // Files still open on the Tovi: the reason on the error line and the button for another try.
    fake.reset();
    fake.emplace(
        bus, test::FakeDrive::failing(QStringLiteral("org.freedesktop.UDisks2.Error.DeviceBusy")));
    ASSERT_TRUE(sent(Kind::cards, root + QStringLiteral("/Game1")));
    click(eject);
    ASSERT_TRUE(settles());
    const QString busy =
        QStringLiteral("Dysk jest jeszcze używany. Zamknij pliki z Tovi i spróbuj ponownie.");
    EXPECT_EQ(sheet->error(), busy);
    EXPECT_TRUE(label(busy));
    EXPECT_TRUE(part("errorLine")->isVisible());
    EXPECT_TRUE(button(eject));
    EXPECT_FALSE(label(ejected));
    EXPECT_EQ(fake->calls(), QStringList{QStringLiteral("Unmount ") + test::FakeUDisks::block});
}

TEST_F(TransferSheet, FailedSendKeepsTheSheetOpenWithTheError) {
    open(Kind::cards, device(QStringLiteral("NO NAME")));
    click(QStringLiteral("Zachowaj kopię i wyślij zestaw"));
    sheet->setBusy(true);
    const QString failure = QStringLiteral("Brak miejsca na dysku.");
    sheet->setMessage(QStringLiteral("Kopia zapasowa gotowa."));
    sheet->setError(failure);
    sheet->setBusy(false);
    EXPECT_FALSE(sheet->complete());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(label(failure));
    EXPECT_TRUE(part("errorLine")->isVisible());
    EXPECT_TRUE(label(QStringLiteral("Wyślij na Tovi")));
    EXPECT_EQ(mainButton()->text(), QStringLiteral("Zachowaj kopię i wyślij zestaw"));
    // The line is a red band with no edge drawn round it: its top edge is as red as its middle.
    auto* line = part("errorLine");
    const QImage band = line->grab().toImage();
    const QRgb middle = band.pixel(band.width() / 2, band.height() / 2);
    EXPECT_GT(qRed(middle), qBlue(middle) + 8);
    EXPECT_EQ(band.pixel(band.width() / 2, 0), middle);
    // Room on the Tovi is offered for a full Tovi only, known by its kind, not by its words.
    const auto* makeRoom = sheet->findChild<QPushButton*>(QStringLiteral("makeRoom"));
    EXPECT_FALSE(makeRoom->isVisible());
    sheet->setError(failure, FailureKind::deviceFull);
    EXPECT_TRUE(makeRoom->isVisible());

    // The model clears its error when the user tries again.
    sheet->setError({}, FailureKind::deviceFull);
    EXPECT_FALSE(label(failure));
    EXPECT_FALSE(makeRoom->isVisible());
}

TEST_F(TransferSheet, FileExportNeverCompletesAndSharesTheFiles) {
    open(Kind::artwork);
    click(QStringLiteral("Zapisz plik bez podłączania Tovi"));
    EXPECT_EQ(log.last(), QStringLiteral("export"));
    sheet->setBusy(true);
    const QString file = home.path() + QStringLiteral("/data/tovi-1.gif");
    sheet->setFiles({file});
    sheet->setMessage(QStringLiteral("Plik gotowy. Możesz go udostępnić lub zapisać w Plikach."));
    sheet->setBusy(false);
    EXPECT_FALSE(sheet->complete());
    EXPECT_TRUE(label(QStringLiteral("Wyślij na Tovi")));
    EXPECT_FALSE(shows(QStringLiteral("Zapisz plik bez podłączania Tovi")));
    click(QStringLiteral("Zapisz lub udostępnij pliki"));
    EXPECT_EQ(opened,
              QStringList{file + QStringLiteral(" → ") + home.path() + QStringLiteral("/data")});
    // Where the file went is said, and it can be saved elsewhere.
    EXPECT_TRUE(shows(QStringLiteral("Zapisz jako…")));
    const auto* note = sheet->findChild<QLabel*>(QStringLiteral("filesNote"));
    ASSERT_TRUE(note && note->isVisible());
    EXPECT_TRUE(note->text().contains(QStringLiteral("tovi-1.gif")));
    EXPECT_TRUE(note->text().contains(home.path() + QStringLiteral("/data")));

    // Starting a send hides the share control again; it belongs to the export.
    sheet->setDestination(device(QStringLiteral("NO NAME")));
    test::settle();
    click(QStringLiteral("Wyślij grafikę"));
    EXPECT_FALSE(shows(QStringLiteral("Zapisz lub udostępnij pliki")));
    EXPECT_TRUE(shows(QStringLiteral("Zapisz plik bez podłączania Tovi")));
}

TEST_F(TransferSheet, StartUpTakesOnlyAFreshRememberedRoot) {
    Settings& settings = home.settings();
    // Nothing remembered: the steps and "Połącz Tovi", and nothing chosen.
    open(Kind::artwork);
    EXPECT_FALSE(sheet->ready());
    EXPECT_EQ(mainButton()->text(), connectLabel);
    EXPECT_EQ(log, QStringList{QStringLiteral("clearError")});

    // A stale root (another folder at the path now) is ignored and stays stored.
    const QString root = device(QStringLiteral("NO NAME"));
    const QByteArray bookmark = Bookmark::make(root);
    settings.setBytes(Settings::rootPermission, bookmark);
    ASSERT_TRUE(QDir().rename(root, disks.filePath(QStringLiteral("moved"))));
    makeDevice(root);
    log.clear();
    open(Kind::cards);
    EXPECT_FALSE(sheet->ready());
    EXPECT_EQ(mainButton()->text(), connectLabel);
    EXPECT_TRUE(label(QStringLiteral("Podłącz Tovi przez USB")));
    EXPECT_EQ(log, QStringList{QStringLiteral("clearError")});
    EXPECT_EQ(settings.bytes(Settings::rootPermission), bookmark);

    // A fresh one is chosen silently, on every showing, after the error is cleared.
    settings.setBytes(Settings::rootPermission, Bookmark::make(root));
    log.clear();
    open(Kind::cards, {}, false);
    sheet->setError(QStringLiteral("Stary błąd"));
    sheet->show();
    test::settle();
    EXPECT_TRUE(sheet->ready());
    EXPECT_EQ(sheet->error(), QString());
    EXPECT_EQ(log, (QStringList{QStringLiteral("clearError"), QStringLiteral("choose ") + root}));
    EXPECT_EQ(mainButton()->text(), QStringLiteral("Zachowaj kopię i wyślij zestaw"));
    sheet->hide();
    sheet->setDestination({});
    test::settle();
    sheet->show();
    test::settle();
    EXPECT_TRUE(sheet->ready());
    EXPECT_EQ(log.count(QStringLiteral("choose ") + root), 2);

    // A destination that already works is kept, whatever is remembered.
    const QString other = device(QStringLiteral("TOVI"));
    log.clear();
    open(Kind::artwork, other + QStringLiteral("/Photo2"));
    EXPECT_TRUE(sheet->ready());
    EXPECT_EQ(log, QStringList{QStringLiteral("clearError")});
}

TEST_F(TransferSheet, StartUpTakesTheOneMountedTovi) {
    const QString first = device(QStringLiteral("NO NAME"));
    const QString partial = disks.filePath(QStringLiteral("USB"));
    for (const char* name : {"Photo1", "Photo2", "Photo3", "Game1", "Game2"})
        makeFolder(partial + QLatin1Char('/') + QLatin1String(name));
    volumes = {QStringLiteral("/"), partial, first};
    open(Kind::factory);
    EXPECT_TRUE(sheet->ready());
    EXPECT_EQ(log, (QStringList{QStringLiteral("clearError"), QStringLiteral("choose ") + first}));

    // Two attached Tovis leave the choice to the user.
    volumes << device(QStringLiteral("TOVI"));
    log.clear();
    open(Kind::factory);
    EXPECT_FALSE(sheet->ready());
    EXPECT_EQ(log, QStringList{QStringLiteral("clearError")});
    EXPECT_EQ(mainButton()->text(), connectLabel);
}

TEST_F(TransferSheet, FolderChooserResultOrCancellation) {
    open(Kind::artwork);
    sheet->setError(QStringLiteral("Poprzedni błąd"));
    log.clear();

    // Cancelled: nothing chosen, the error stays.
    click(connectLabel);
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(sheet->error(), QStringLiteral("Poprzedni błąd"));
    EXPECT_TRUE(label(QStringLiteral("Poprzedni błąd")));

    // A failing chooser shows its error.
    chooserFails = true;
    click(connectLabel);
    const QString refused = MediaError(MediaError::invalidFolder).message();
    EXPECT_EQ(sheet->error(), refused);
    EXPECT_TRUE(label(refused));
    EXPECT_EQ(log, QStringList{QStringLiteral("reportError ") + refused});

    // A chosen folder goes to the model and is checked.
    chooserFails = false;
    const QString album = device(QStringLiteral("NO NAME")) + QStringLiteral("/Photo3");
    chosen = album;
    log.clear();
    click(connectLabel);
    test::settle();
    EXPECT_EQ(log, (QStringList{QStringLiteral("clearError"), QStringLiteral("choose ") + album}));
    EXPECT_TRUE(sheet->ready());
    EXPECT_TRUE(sheet->error().isEmpty()) << "a choice that succeeds leaves no earlier error";
    EXPECT_EQ(mainButton()->text(), QStringLiteral("Wyślij grafikę"));
    EXPECT_TRUE(label(QStringLiteral("Album 3")));
    EXPECT_EQ(sheet->operation(), std::nullopt);
}

TEST_F(TransferSheet, CloseButtonDismisses) {
    open(Kind::cards);
    QAbstractButton* close = nullptr;
    for (QAbstractButton* found : sheet->findChildren<QAbstractButton*>())
        if (found->accessibleName() == QStringLiteral("Zamknij"))
            close = found;
    ASSERT_TRUE(close);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    EXPECT_FALSE(log.contains(QStringLiteral("cancel"))) << "nothing was running";

    // Closed while the model works: the work is asked to stop.
    open(Kind::artwork);
    sheet->setBusy(true);
    sheet->reject();
    EXPECT_EQ(log.count(QStringLiteral("cancel")), 1);
}

// The keyboard starts at the main button, and the window's send key presses it while it can be
// pressed: never by a key held down since it opened the sheet, never while the model works. The
// focus is back on it once the work is done.
TEST_F(TransferSheet, CtrlEnterSendsAsTheMainButtonWhereTheKeyboardStarts) {
    open(Kind::artwork, device(QStringLiteral("NO NAME")));
    QApplication::setActiveWindow(sheet.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet.get()));
    ASSERT_TRUE(sheet->ready());
    EXPECT_EQ(QApplication::focusWidget(), mainButton());
    QTest::simulateEvent(sheet.get(), true, Qt::Key_Return, Qt::ControlModifier, {}, true);
    QTest::keyClick(sheet.get(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(log.count(QStringLiteral("send")), 1) << "the held key sends nothing";
    sheet->setBusy(true);
    QTest::keyClick(sheet.get(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    sheet->setError(QStringLiteral("Nie udało się."));
    sheet->setBusy(false);
    EXPECT_EQ(QApplication::focusWidget(), mainButton());
    QTest::keyClick(sheet.get(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(log.count(QStringLiteral("send")), 2) << "one while idle, none while busy";
}

} // namespace

#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace tovi {

class DevicePreview;
class SegmentedControl;
class Settings;
class TutorialAnimatedDevice;

// The four-step introduction, from the factory animation and dice to the user's own, shown as a
// window-modal sheet. Only the close button, "Pomiń · zacznij tworzyć" and "Otwórz Studio" call
// `finish`, which records completion and closes the sheet; Esc or the window's own close button
// just closes it, so the tutorial is offered again. The sheet never deletes itself.
class StudioTutorialView : public QDialog {
    Q_OBJECT
public:
    static constexpr int stepCount = 4;
    // A uniform integer in [0, bound).
    using Random = std::function<int(int bound)>;
    using LinkOpener = std::function<void(const QUrl&)>;

    StudioTutorialView(Settings& settings, std::function<void()> finish, QWidget* parent = nullptr);
    ~StudioTutorialView() override;

    static const QStringList& titles();
    static const QStringList& descriptions();
    // Behind "Materiał z oficjalnej strony Karvel Audio": the maker's page is not known to us,
    // so a web search for the device.
    static QUrl makerPage();

    int step() const { return m_step; }
    // The drawn factory dice face, 1–6, and example card slot, 0–5.
    int dice() const { return m_dice; }
    int card() const { return m_card; }
    // The comparison shows "Po Twojemu" rather than "Fabrycznie".
    bool showYours() const { return m_showYours; }
    // Null until a picture could be read.
    const QImage& example() const { return m_example; }
    const QImage& factoryDice() const { return m_factoryDice; }
    const QString& deviceColor() const { return m_deviceColor; }

    // The close button, "Pomiń · zacznij tworzyć" and "Otwórz Studio": calls `finish`.
    void finishTutorial();
    // "Dalej" and "Wstecz"; nothing past either end.
    void next();
    void back();
    void setShowYours(bool yours);
    // "Rzuć kostką": a new factory face, shown on the factory side.
    void rollDice();
    // "Wylosuj kartę": a new example card, shown on the user's side.
    void drawCard();
    // Reads the current card and dice face from the bundle; a missing file keeps the previous
    // picture.
    void loadExamples();

    // Seams for tests; the defaults are the system generator and the desktop's browser.
    void setRandom(Random random);
    void setLinkOpener(LinkOpener opener);

protected:
    void changeEvent(QEvent* event) override;

private:
    void build();
    // The four pages (tutorial_pages.cpp).
    QWidget* buildFactoryPage();
    QWidget* buildDicePage();
    QWidget* buildEditingPage();
    QWidget* buildConnectionPage();
    void setStep(int step);
    void refresh();
    void refreshComparison();
    void restyle();

    std::function<void()> m_finish;
    Random m_random;
    LinkOpener m_openLink;
    int m_step = 0;
    int m_dice = 1;
    int m_card = 0;
    bool m_showYours = false;
    QImage m_example;
    QImage m_factoryDice;
    QString m_deviceColor;

    QLabel* m_header = nullptr;
    QToolButton* m_close = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_description = nullptr;
    QStackedWidget* m_pages = nullptr;
    SegmentedControl* m_factoryChoice = nullptr;
    QStackedWidget* m_factorySides = nullptr;
    SegmentedControl* m_diceChoice = nullptr;
    DevicePreview* m_diceDevice = nullptr;
    QLabel* m_diceCaption = nullptr;
    QWidget* m_dots = nullptr;
    QPushButton* m_skip = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_main = nullptr;
};

} // namespace tovi

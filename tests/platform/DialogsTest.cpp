#include "Dialogs.h"
#include "Helpers.h"
#include "Testing.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

using platform::AlertSpec;

// Answers the next modal window of its kind from inside its own event loop.
template <typename Window = QMessageBox, typename Answer> void answerNextBox(Answer answer)
{
    auto *poll = new QTimer(QApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, tries = 0]() mutable {
        auto *window = qobject_cast<Window *>(QApplication::activeModalWidget());
        if (window || ++tries == 500) {
            poll->stop();
            poll->deleteLater();
        }
        if (window)
            answer(*window);
    });
    poll->start(10);
}

QAbstractButton *button(QMessageBox &box, const QString &text)
{
    for (QAbstractButton *b : box.buttons())
        if (b->text() == text)
            return b;
    return nullptr;
}

TEST(QtAlerts, ShowsTheAppsIconAndExactlyTheGivenButtons)
{
    platform::QtAlerts alerts;
    bool answered = false;
    QPixmap red(32, 32);
    red.fill(Qt::red);
    QApplication::setWindowIcon(QIcon(red)); // the app's icon, as start-up sets it
    answerNextBox([&](QMessageBox &box) {
        QStringList texts;
        for (QAbstractButton *b : box.buttons())
            texts << b->text();
        EXPECT_EQ(texts, QStringList{"OK"});
        EXPECT_EQ(std::make_tuple(box.icon(), box.windowModality(), box.text(), box.informativeText()),
                  std::make_tuple(QMessageBox::NoIcon, Qt::ApplicationModal, QString("<i>x<u>y.mpeg"),
                                  QString("Body & <b>bold</b>")));
        EXPECT_EQ(box.iconPixmap().toImage().pixelColor(box.iconPixmap().width() / 2, box.iconPixmap().height() / 2),
                  QColor(Qt::red)); // not the warning triangle
        std::vector<Qt::TextFormat> formats;
        for (QLabel *label : box.findChildren<QLabel *>())
            if (label->text() == box.text() || label->text() == box.informativeText())
                formats.push_back(label->textFormat());
        EXPECT_EQ(formats, (std::vector<Qt::TextFormat>{Qt::PlainText, Qt::PlainText})); // shown as written
        EXPECT_EQ(box.defaultButton(), button(box, "OK"));                               // Return answers it
        answered = true;
        button(box, "OK")->click();
    });
    const auto outcome = alerts.runModal(AlertSpec{"<i>x<u>y.mpeg", "Body & <b>bold</b>", {"OK"}, std::nullopt});
    QApplication::setWindowIcon(QIcon());
    EXPECT_TRUE(answered);
    EXPECT_EQ(outcome.response, platform::kAlertFirstButton);
}

TEST(QtAlerts, TellsWhichButtonEndedIt)
{
    platform::QtAlerts alerts;
    answerNextBox([](QMessageBox &box) { button(box, "Cancel")->click(); });
    EXPECT_EQ(alerts.runModal(AlertSpec{"Q", "T", {"OK", "Cancel"}, std::nullopt}).response,
              platform::kAlertFirstButton + 1);

    // What the user typed into the box's field comes back with the answer.
    answerNextBox([](QMessageBox &box) {
        box.findChild<QLineEdit *>("accessoryText")->setText("typed");
        button(box, "OK")->click();
    });
    EXPECT_EQ(alerts.runModal(AlertSpec{"Q", "T", {"OK"}, QString("given")}).accessoryText, "typed");

    // Closing the window counts as Cancel, never as OK.
    answerNextBox([](QMessageBox &box) { box.close(); });
    EXPECT_NE(alerts.runModal(AlertSpec{"Q", "T", {"OK", "Cancel"}, std::nullopt}).response,
              platform::kAlertFirstButton);
}

TEST(QtAlerts, TheAppsQuestionsAnswerOKOnlyForOK)
{
    platform::QtAlerts alerts;
    platform::ServicesScope scope(platform::Services{.alerts = &alerts});
    for (const char *pressed : {"OK", "Cancel"}) {
        answerNextBox([&](QMessageBox &box) { button(box, pressed)->click(); });
        EXPECT_EQ(dialogOKCancel("Q", "T"), pressed == std::string("OK"));
        answerNextBox([&](QMessageBox &box) {
            auto *edit = box.findChild<QLineEdit *>("accessoryText");
            EXPECT_GE(box.layout()->indexOf(edit), 0); // laid out in the box, not lying over its icon
            EXPECT_LT(edit->geometry().bottom(), box.findChild<QDialogButtonBox *>()->geometry().top()); // nor under
            EXPECT_EQ(edit->text(), "given");
            EXPECT_EQ(std::make_pair(box.icon(), box.defaultButton()), // the app has no icon here: Qt's triangle
                      std::make_pair(QMessageBox::Warning, qobject_cast<QPushButton *>(button(box, "OK"))));
            edit->setText("typed");
            button(box, pressed)->click();
        });
        EXPECT_EQ(inputString("M", "Q", "given"), pressed == std::string("OK") ? "typed" : "");
    }
}

TEST(QtFileChooser, AsksForWhatTheCallerAllowsAndGivesBackTheChoice)
{
    TestHome home;
    QDir().mkpath(home.file("news/noon"));
    platform::QtFileChooser chooser;
    answerNextBox<QFileDialog>([&](QFileDialog &dialog) {
        EXPECT_EQ(std::make_tuple(dialog.windowTitle(), dialog.fileMode(), dialog.directory().path()),
                  std::make_tuple(QString("Pick"), QFileDialog::Directory, home.file("news")));
        EXPECT_TRUE(dialog.testOption(QFileDialog::ShowDirsOnly) && dialog.testOption(QFileDialog::ReadOnly));
        dialog.selectFile(home.file("news/noon"));
        QMetaObject::invokeMethod(&dialog, "accept"); // as the Choose button does
    });
    const auto chosen = chooser.runModal(
        {.title = "Pick", .canChooseDirectories = true, .canChooseFiles = false, .directory = home.file("news")});
    EXPECT_EQ(chosen.result, platform::kChooserOK);
    EXPECT_EQ(chosen.urls, std::vector{QUrl::fromLocalFile(home.file("news/noon"))});

    answerNextBox<QFileDialog>([&](QFileDialog &dialog) {
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
        EXPECT_FALSE(dialog.testOption(QFileDialog::ShowDirsOnly) || dialog.testOption(QFileDialog::ReadOnly));
        dialog.reject();
    });
    const auto cancelled = chooser.runModal(
        {.title = "Pick", .allowsMultipleSelection = true, .canCreateDirectories = true, .directory = {}});
    EXPECT_EQ(std::make_pair(cancelled.result, cancelled.urls.size()), std::make_pair(platform::kChooserCancel, 0ul));
}

} // namespace

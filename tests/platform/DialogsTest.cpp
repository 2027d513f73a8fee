#include "Dialogs.h"
#include "Testing.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>

namespace {

using platform::AlertSpec;

// Answers the next modal box from inside its own event loop.
void answerNextBox(const std::function<void(QMessageBox &)> &answer)
{
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [answer, tries, poll] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            answer(*box);
            return;
        }
        if (++*tries < 500)
            QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
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

} // namespace
